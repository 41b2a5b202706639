#include "tests/fuzz/mem_platform.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace pvx::fuzz {

namespace {

struct MemFile {
  std::string shown;  // the path as the engine gave it, for messages
  Bytes* data;
  uint64_t pos;
};

MemFile* Tag(FileHandle f) { return reinterpret_cast<MemFile*>(f); }

void Describe(Failure* why, const std::string& path, const char* cause) {
  snprintf(why->text, sizeof why->text, "%s: %s", path.c_str(), cause);
}

}  // namespace

std::string Normalize(const std::string& path) {
  std::vector<std::string> parts;
  for (size_t i = 0; i <= path.size();) {
    size_t j = path.find('/', i);
    if (j == std::string::npos) j = path.size();
    std::string part = path.substr(i, j - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = j + 1;
  }
  std::string out;
  for (const auto& part : parts) out += "/" + part;
  return out.empty() ? "/" : out;
}

std::string ParentOf(const std::string& p) {
  size_t slash = p.rfind('/');
  return slash == 0 || slash == std::string::npos ? "/" : p.substr(0, slash);
}

void MemPlatform::PutFolder(const std::string& path) {
  std::string p = Normalize(path);
  if (p != "/") PutFolder(ParentOf(p));
  folders.insert(p);
}

void MemPlatform::PutFile(const std::string& path, const Bytes& bytes) {
  std::string p = Normalize(path);
  PutFolder(ParentOf(p));
  used_ += bytes.size();
  used_ -= files[p].size();
  files[p] = bytes;
}

const char* MemPlatform::Unreachable(const std::string& p) const {
  std::vector<std::string> chain;
  for (std::string up = ParentOf(p); up != "/"; up = ParentOf(up))
    chain.push_back(up);
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (files.count(*it)) return "Not a directory";
    if (!folders.count(*it)) return "No such file or directory";
  }
  return nullptr;
}

FileHandle MemPlatform::OpenRead(const char* path, Failure* why) {
  std::string p = Normalize(path);
  const char* cause = Unreachable(p);
  if (!cause && folders.count(p)) cause = "Is a directory";
  if (!cause && !files.count(p)) cause = "No such file or directory";
  if (cause) {
    Describe(why, path, cause);
    return nullptr;
  }
  ++open_handles;
  return reinterpret_cast<FileHandle>(new MemFile{path, &files[p], 0});
}

FileHandle MemPlatform::OpenWrite(const char* path, FileHandle, bool,
                                   Failure* why) {
  std::string p = Normalize(path);
  const char* cause = Unreachable(p);
  if (!cause && folders.count(p)) cause = "Is a directory";
  if (cause) {
    Describe(why, path, cause);
    return nullptr;
  }
  written.push_back(p);
  ++open_handles;
  return reinterpret_cast<FileHandle>(new MemFile{path, &files[p], 0});
}

bool MemPlatform::Truncate(FileHandle f, Failure*) {
  used_ -= Tag(f)->data->size();
  Tag(f)->data->clear();
  Tag(f)->pos = 0;
  return true;
}

bool MemPlatform::Length(FileHandle f, uint64_t* length, Failure*) {
  *length = Tag(f)->data->size();
  return true;
}

bool MemPlatform::Seek(FileHandle f, uint64_t offset, Failure*) {
  Tag(f)->pos = offset;
  return true;
}

bool MemPlatform::Read(FileHandle f, void* buf, uint32_t n, uint32_t* got,
                       Failure* why) {
  *got = 0;
  if (++reads_ == fail_read_at) {
    Describe(why, Tag(f)->shown, "Input/output error");
    return false;
  }
  const Bytes& data = *Tag(f)->data;
  uint64_t pos = Tag(f)->pos;
  uint64_t take = pos < data.size() ? data.size() - pos : 0;
  if (take > n) take = n;
  if (max_read && take > max_read) take = max_read;
  if (take) memcpy(buf, data.data() + pos, take);
  Tag(f)->pos += take;
  *got = static_cast<uint32_t>(take);
  return true;
}

bool MemPlatform::Write(FileHandle f, const void* buf, uint32_t n,
                        Failure* why) {
  Bytes& data = *Tag(f)->data;
  uint64_t pos = Tag(f)->pos;
  uint64_t end = pos + n;
  uint64_t grow = end > data.size() ? end - data.size() : 0;
  uint64_t room = capacity > used_ ? capacity - used_ : 0;
  bool fits = grow <= room;
  if (!fits) {  // a full disk takes what fits, then fails
    end = data.size() + room > pos ? data.size() + room : pos;
    n = static_cast<uint32_t>(end - pos);
  }
  if (data.size() < end) {
    used_ += end - data.size();
    data.resize(end);
  }
  if (n) memcpy(data.data() + pos, buf, n);
  Tag(f)->pos = end;
  if (!fits) Describe(why, Tag(f)->shown, "No space left on device");
  return fits;
}

bool MemPlatform::SameFile(FileHandle a, FileHandle b) {
  return a && b && Tag(a)->data == Tag(b)->data;
}

bool MemPlatform::IsFileAt(FileHandle f, const char* path) {
  auto it = files.find(Normalize(path));
  return f && it != files.end() && &it->second == Tag(f)->data;
}

const char* MemPlatform::PathOf(FileHandle f) {
  return f ? Tag(f)->shown.c_str() : "";
}

void MemPlatform::Close(FileHandle f) {
  if (!f) return;
  --open_handles;
  delete Tag(f);
}

bool MemPlatform::Exists(const char* path) {
  std::string p = Normalize(path);
  return !Unreachable(p) && (files.count(p) || folders.count(p));
}

bool MemPlatform::IsFolder(const char* path) {
  std::string p = Normalize(path);
  return !Unreachable(p) && folders.count(p);
}

bool MemPlatform::MakeFolder(const char* path) {
  std::string p = Normalize(path);
  if (Unreachable(p) || files.count(p) || folders.count(p)) return false;
  folders.insert(p);
  made.push_back(p);
  return true;
}

bool MemPlatform::Confirm(const char*) {
  bool ok = questions_ >= 32 || ((answers >> questions_) & 1u);
  ++questions_;
  (ok ? answered_ok : answered_cancel) = true;
  return ok;
}

bool MemPlatform::ProgressCheckCancel() {
  if (finished) return true;  // the user presses OK at once
  if (++checks_ != cancel_at_check) return false;
  return cancelled = true;
}

Bytes Input::Take(size_t n) {
  if (n > left_) n = left_;
  Bytes out(data_, data_ + n);
  data_ += n;
  left_ -= n;
  return out;
}

void Violation(const std::string& what) {
  fprintf(stderr, "PROPERTY VIOLATED: %s\n", what.c_str());
  abort();
}

uint32_t Le(const Bytes& b, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | b.at(at + i);
  return v;
}

}  // namespace pvx::fuzz
