#include "integrity/hashing_platform.h"

#include <stdexcept>

#include "base/text.h"
#include "engines/own_texts.h"

namespace pvx {
namespace {

// Four buffers of the copy's chunk: the copy reads into one while the
// others wait to be hashed. Two workers hash a piece's and the output's
// digest of the same bytes side by side.
constexpr size_t kBuffers = 4;
constexpr size_t kWorkers = 2;

void HashFailure(Failure* why, const char* path, const std::exception& e) {
  if (why) Format(why->text, sizeof why->text, "%s: SHA-256: %s", path, e.what());
}

}  // namespace

HashingPlatform::HashingPlatform(Platform& inner) : inner_(inner) {}
HashingPlatform::~HashingPlatform() = default;

void HashingPlatform::StartDigests() {
  if (!hasher_)
    hasher_ = std::make_unique<Hasher>(kBuffers, ChunkSize() + 8192, kWorkers);
}

void HashingPlatform::Expect(std::map<std::string, Sha256> pieces,
                             const Sha256* output, std::string output_name,
                             std::string list) {
  output_name_ = std::move(output_name);
  expect_ = std::move(pieces);
  expect_output_ = output != nullptr;
  if (output) output_ = *output;
  list_ = std::move(list);
}

HashingPlatform::Open* HashingPlatform::Find(FileHandle f) {
  auto it = open_.find(f);
  return it == open_.end() ? nullptr : &it->second;
}

FileHandle HashingPlatform::Track(FileHandle f, bool writing) {
  if (f && hasher_) {
    Open& o = open_[f];
    o.stream = hasher_->NewStream();
    o.writing = writing;
  }
  return f;
}

bool HashingPlatform::Finish(Hasher::Stream s, Sha256* d, Failure* why) {
  try {
    *d = hasher_->Finish(s);
    return true;
  } catch (const std::exception& e) {
    HashFailure(why, list_.c_str(), e);
    return false;
  }
}

bool HashingPlatform::Hash(FileHandle f, const void* data, uint32_t n,
                           Failure* why) {
  Open* o = Find(f);
  if (!o || o->broken || n == 0) return true;
  try {
    hasher_->SubmitCopy(data, n, {o->stream});
  } catch (const std::exception& e) {
    HashFailure(why, PathOf(f), e);
    return false;
  }
  o->pos += n;
  return true;
}

bool HashingPlatform::CheckPieces(bool all, Failure* why) {
  // The last piece closed may still have bytes in the queue: unless all
  // are asked for, it waits for the next call, so that the copy never
  // waits for the hasher at a piece boundary.
  size_t end = closed_.size();
  if (!all) {
    while (end > 0 && closed_[end - 1].written) --end;
    if (end > 0) --end;
  }
  // Everything before first_unchecked_ is done: each check looks at the
  // pieces closed since the last one, not at all of them again.
  for (size_t i = first_unchecked_; i < end; ++i) {
    Closed& c = closed_[i];
    if (c.checked || c.written) {
      if (i == first_unchecked_) ++first_unchecked_;
      continue;
    }
    c.checked = true;
    if (i == first_unchecked_) ++first_unchecked_;
    Sha256 d;
    if (!Finish(c.stream, &d, why)) return false;
    digests_[c.path] = d;
    auto want = expect_.find(c.path);
    if (want == expect_.end() || want->second == d) continue;
    mismatched_ = true;
    if (why) {
      Format(why->text, sizeof why->text,
             Tr(Language(),
                "parvex: %s: damaged: its SHA-256 is %s, but %s lists %s"),
             c.path.c_str(), ToHex(d).c_str(), list_.c_str(),
             ToHex(want->second).c_str());
    }
    return false;
  }
  return true;
}

FileHandle HashingPlatform::OpenRead(const char* path, Failure* why) {
  if (hasher_ && !CheckPieces(false, why)) return nullptr;
  return Track(inner_.OpenRead(path, why), false);
}

FileHandle HashingPlatform::OpenSource(const char* path, Failure* why) {
  if (hasher_ && !CheckPieces(false, why)) return nullptr;
  return Track(inner_.OpenSource(path, why), false);
}

FileHandle HashingPlatform::OpenWrite(const char* path, FileHandle like,
                                      bool replace, Failure* why) {
  return Track(inner_.OpenWrite(path, like, replace, why), true);
}

FileHandle HashingPlatform::OpenStandardInput(Failure* why) {
  FileHandle f = Track(inner_.OpenStandardInput(why), false);
  if (Open* o = Find(f)) o->is_stream = true;
  return f;
}

bool HashingPlatform::Seek(FileHandle f, uint64_t offset, Failure* why) {
  Open* o = Find(f);
  if (!o || o->broken || offset == o->pos)
    return inner_.Seek(f, offset, why);
  if (o->writing || o->is_stream) {
    o->broken = true;  // written out of order: no digest of the file
    return inner_.Seek(f, offset, why);
  }
  if (offset < o->pos) {
    o->broken = true;  // read again from elsewhere: no digest of the file
    return inner_.Seek(f, offset, why);
  }
  // Skipping forward (past a stub image, say): the skipped bytes are read
  // and hashed, so that the digest still covers the whole file.
  uint8_t skipped[4096];
  while (o->pos < offset) {
    uint64_t left = offset - o->pos;
    uint32_t n = left < sizeof skipped ? static_cast<uint32_t>(left)
                                       : static_cast<uint32_t>(sizeof skipped);
    uint32_t got = 0;
    if (!inner_.Read(f, skipped, n, &got, why)) return false;
    if (got == 0) {
      o->broken = true;
      return inner_.Seek(f, offset, why);
    }
    if (!Hash(f, skipped, got, why)) return false;
  }
  return true;
}

bool HashingPlatform::Read(FileHandle f, void* buf, uint32_t n, uint32_t* got,
                           Failure* why) {
  return inner_.Read(f, buf, n, got, why) && Hash(f, buf, *got, why);
}

bool HashingPlatform::ReadStream(FileHandle f, void* buf, uint32_t n,
                                 uint32_t* got, Failure* why) {
  if (!inner_.ReadStream(f, buf, n, got, why)) return false;
  // An empty read is the end, unless the user cancelled meanwhile; then
  // the cut ends too, and lists nothing.
  Open* o = Find(f);
  if (o && *got == 0) o->ended = true;
  return Hash(f, buf, *got, why);
}

bool HashingPlatform::Write(FileHandle f, const void* buf, uint32_t n,
                            Failure* why) {
  return Hash(f, buf, n, why) && inner_.Write(f, buf, n, why);
}

bool HashingPlatform::Copy(FileHandle src, FileHandle dst, void* buf,
                           uint32_t n, uint32_t* got, Failure* why) {
  if (!hasher_) return inner_.Copy(src, dst, buf, n, got, why);
  Open* in = Find(src);
  Open* out = Find(dst);
  Hasher::Buffer* b = nullptr;
  try {
    b = hasher_->Acquire();
  } catch (const std::exception& e) {
    HashFailure(why, PathOf(src), e);
    return false;
  }
  // The chunk sits at the output's offset within a page, as the POSIX
  // platform places its own: the copy into the page cache then moves whole
  // pages. A tracked output is written from its start.
  uintptr_t base = reinterpret_cast<uintptr_t>(b->data);
  base = (base + 4095) & ~uintptr_t{4095};
  const size_t offset = base - reinterpret_cast<uintptr_t>(b->data) +
                        (out ? static_cast<size_t>(out->pos & 4095) : 0);
  uint8_t* at = b->data + offset;
  if (n > b->size - offset) n = static_cast<uint32_t>(b->size - offset);
  bool read = inner_.Read(src, at, n, got, why);
  if (!read || *got == 0) {
    hasher_->Release(b);
    return read;
  }
  Hasher::Stream a = in && !in->broken ? in->stream : 0;
  Hasher::Stream c = out && !out->broken ? out->stream : 0;
  try {
    if (a && c) hasher_->Submit(b, offset, *got, {a, c});
    else if (a || c) hasher_->Submit(b, offset, *got, {a ? a : c});
    else hasher_->Release(b);
  } catch (const std::exception& e) {
    HashFailure(why, PathOf(src), e);
    return false;
  }
  if (a) in->pos += *got;
  if (c) out->pos += *got;
  return inner_.Write(dst, at, *got, why);
}

bool HashingPlatform::Commit(FileHandle f, bool replace, bool* taken,
                             Failure* why) {
  *taken = false;
  Open* o = Find(f);
  // The join is complete: every piece, then the result, must match. The
  // pieces are checked also when the list has no line for the result (a
  // list of pieces only): the last ones have not been checked yet.
  if (o && o->writing && !expect_.empty() && !CheckPieces(true, why))
    return false;
  if (o && expect_output_ && !o->broken) {
    Sha256 d;
    if (!Finish(o->stream, &d, why)) return false;
    o->stream = 0;
    o->broken = true;
    digests_[PathOf(f)] = d;
    if (d != output_) {
      mismatched_ = true;
      if (why) {
        Format(why->text, sizeof why->text,
               Tr(Language(),
                  "parvex: %s: the joined bytes have SHA-256 %s, but %s "
                  "lists %s for %s"),
               PathOf(f), ToHex(d).c_str(), list_.c_str(),
               ToHex(output_).c_str(), output_name_.c_str());
      }
      return false;
    }
  }
  return inner_.Commit(f, replace, taken, why);
}

void HashingPlatform::Close(FileHandle f) {
  auto it = open_.find(f);
  if (it != open_.end()) {
    Open o = it->second;
    open_.erase(it);
    uint64_t length = 0;
    Failure ignored;
    bool whole = !o.broken && o.stream != 0 &&
                 (o.is_stream ? o.ended
                              : inner_.Length(f, &length, &ignored) &&
                                    length == o.pos);
    if (whole) {
      closed_.push_back({PathOf(f), o.writing, o.stream});
    } else if (o.stream != 0) {
      try {
        hasher_->Discard(o.stream);
      } catch (const std::exception&) {
      }
    }
  }
  inner_.Close(f);
}

bool HashingPlatform::Digests(std::vector<FileDigest>* out, Failure* why) {
  out->clear();
  if (!hasher_) return true;
  for (Closed& c : closed_) {
    if (!c.checked) {
      c.checked = true;
      Sha256 d;
      if (!Finish(c.stream, &d, why)) return false;
      digests_[c.path] = d;
    }
    out->push_back({c.path, c.written, digests_[c.path]});
  }
  return true;
}

}  // namespace pvx
