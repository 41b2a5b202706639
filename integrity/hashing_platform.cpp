#include "integrity/hashing_platform.h"

#include <stdexcept>

#include "base/text.h"
#include "engines/own_texts.h"

namespace pvx {
namespace {

// Four buffers of the copy's chunk: the copy reads into one while the
// others wait to be hashed. Two workers hash a piece's and the output's
// digest of the same bytes side by side. With PAR2 checksums, sixteen: the
// copy runs up to 16 chunks ahead of a piece's MD5, into the next piece,
// whose MD5 the other worker can then take.
constexpr size_t kBuffers = 4;
constexpr size_t kPar2Buffers = 16;
constexpr size_t kWorkers = 2;

void HashFailure(Failure* why, const char* path, const std::exception& e) {
  if (why) Format(why->text, sizeof why->text, "%s: SHA-256: %s", path, e.what());
}

// A written file's bytes into one half of its PAR2 checksums.
class Par2Sink final : public Hasher::Sink {
 public:
  Par2Sink(std::shared_ptr<par2::FileChecksums> sums, bool md5)
      : sums_(std::move(sums)), md5_(md5) {}
  void Update(const uint8_t* data, size_t len) override {
    if (md5_) sums_->UpdateMd5(data, len);
    else sums_->UpdateCrc(data, len);
  }

 private:
  std::shared_ptr<par2::FileChecksums> sums_;
  bool md5_;
};

}  // namespace

HashingPlatform::HashingPlatform(Platform& inner) : inner_(inner) {}
HashingPlatform::~HashingPlatform() = default;

void HashingPlatform::StartHasher() {
  if (!hasher_)
    hasher_ = std::make_unique<Hasher>(par2_ ? kPar2Buffers : kBuffers,
                                       ChunkSize() + 8192, kWorkers);
}

void HashingPlatform::StartDigests() {
  StartHasher();
  take_digests_ = true;
}

void HashingPlatform::StartPar2Checksums(StampOf stamp_of,
                                         uint64_t slice_size) {
  par2_ = true;
  par2_slice_ = slice_size;
  stamp_of_ = std::move(stamp_of);
  StartHasher();
}

void HashingPlatform::Drop(Hasher::Stream s) {
  try {
    hasher_->Discard(s);
  } catch (const std::exception&) {
  }
}

std::vector<par2::TakenChecksums> HashingPlatform::TakePar2Checksums() {
  std::vector<par2::TakenChecksums> out;
  for (ClosedPar2& c : closed_par2_) {
    try {
      hasher_->Complete(c.md5);
    } catch (const std::exception&) {
      Drop(c.crc);
      continue;  // left out: the recovery data reads the file instead
    }
    try {
      hasher_->Complete(c.crc);
      out.push_back({c.file, c.sums});
    } catch (const std::exception&) {
    }
  }
  closed_par2_.clear();
  return out;
}

size_t HashingPlatform::StreamsOf(const Open& o, Hasher::Stream out[3]) {
  size_t n = 0;
  if (o.broken) return 0;
  if (o.stream) out[n++] = o.stream;
  if (o.par2_md5) out[n++] = o.par2_md5;
  if (o.par2_crc) out[n++] = o.par2_crc;
  return n;
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
  if (f && take_digests_) {
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
  Hasher::Stream streams[3];
  const size_t count = StreamsOf(*o, streams);
  try {
    if (count) hasher_->SubmitCopy(data, n, streams, count);
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
  FileHandle f = Track(inner_.OpenWrite(path, like, replace, why), true);
  if (f && par2_) {
    try {
      auto sums = std::make_shared<par2::FileChecksums>(par2_slice_);
      auto md5 = std::make_shared<Par2Sink>(sums, true);
      auto crc = std::make_shared<Par2Sink>(sums, false);
      Open& o = open_[f];
      o.writing = true;
      o.par2_md5 = hasher_->NewStream(std::move(md5));
      o.par2_crc = hasher_->NewStream(std::move(crc));
      o.sums = std::move(sums);
    } catch (const std::exception&) {
      // No checksums for this file: the recovery data reads it instead.
    }
  }
  return f;
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
  // The source's digest, and the output's digest and PAR2 checksums.
  Hasher::Stream streams[6];
  size_t count = 0;
  if (in) count += StreamsOf(*in, streams + count);
  if (out) count += StreamsOf(*out, streams + count);
  try {
    if (count) hasher_->Submit(b, offset, *got, streams, count);
    else hasher_->Release(b);
  } catch (const std::exception& e) {
    HashFailure(why, PathOf(src), e);
    return false;
  }
  if (in && !in->broken) in->pos += *got;
  if (out && !out->broken) out->pos += *got;
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
  if (o && expect_output_ && !o->broken && o->stream) {
    Sha256 d;
    if (!Finish(o->stream, &d, why)) return false;
    o->stream = 0;
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
    bool whole = !o.broken &&
                 (o.is_stream ? o.ended
                              : inner_.Length(f, &length, &ignored) &&
                                    length == o.pos);
    if (o.stream != 0 && whole) closed_.push_back({PathOf(f), o.writing, o.stream});
    else if (o.stream != 0) Drop(o.stream);
    // The file as it is now, after the last byte written: a later change
    // to it tells that these checksums are no longer its.
    par2::FileStamp stamp;
    if (o.par2_md5 != 0 && o.par2_crc != 0 && whole && stamp_of_ &&
        stamp_of_(f, &stamp)) {
      closed_par2_.push_back({o.par2_md5, o.par2_crc, stamp, o.sums});
    } else {
      if (o.par2_md5 != 0) Drop(o.par2_md5);
      if (o.par2_crc != 0) Drop(o.par2_crc);
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
