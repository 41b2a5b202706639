// What the fuzz targets share: the engines' platform over an in-memory disk
// (files and folders in maps, answers from the fuzz input, every write and
// every folder recorded; nothing reaches the real disk and a run costs
// microseconds), a reader of values off the fuzz input, and property checks
// that abort, which libFuzzer reports as a finding. Name conversions are the
// POSIX platform's own.
#pragma once

#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <string>
#include <vector>

#include "format/piece_format.h"
#include "platform/posix/posix_platform.h"

namespace pvx::fuzz {

using Bytes = std::vector<uint8_t>;

// "/a//b/./c/../d" -> "/a/b/d"; ".." at the root stays at the root.
std::string Normalize(const std::string& path);
// The folder of a normalized path ("/" for "/x").
std::string ParentOf(const std::string& normalized);

class MemPlatform final : public PosixPlatform {
 public:
  MemPlatform() { folders.insert("/"); }

  // The disk, keyed by normalized path. Files are never removed.
  std::unordered_map<std::string, Bytes> files;
  std::unordered_set<std::string> folders;
  void PutFile(const std::string& path, const Bytes& bytes);
  void PutFolder(const std::string& path);
  uint64_t capacity = UINT64_MAX;  // bytes all files may hold together
  uint32_t max_read = 0;           // a Read delivers at most this (0: all)
  int fail_read_at = 0;            // this Read (1-based) fails
  uint32_t answers = ~0u;          // bit i answers question i (1: OK)
  int cancel_at_check = 0;         // Cancel before this check (1-based)
  bool progress_fails = false;

  // What happened.
  std::vector<std::string> written;  // paths opened for writing
  std::vector<std::string> made;     // folders created
  std::vector<std::string> notices;
  int position = -1;  // the last ProgressPos
  bool answered_ok = false, answered_cancel = false, cancelled = false;
  bool finished = false;  // the closing report was shown
  bool progress_open = false;
  int open_handles = 0;

  FileHandle OpenRead(const char* path, Failure* why) override;
  FileHandle OpenSource(const char* path, Failure* why) override {
    return OpenRead(path, why);
  }
  FileHandle OpenWrite(const char* path, FileHandle like, bool replace,
                       Failure* why) override;
  bool Truncate(FileHandle f, Failure* why) override;
  bool Reserve(FileHandle, uint64_t, Failure*) override { return true; }
  bool Commit(FileHandle, bool, bool* taken, Failure*) override {
    *taken = false;
    return true;
  }
  bool IsFileAt(FileHandle f, const char* path) override;
  uint32_t ChunkSize() override { return kChunk; }
  uint8_t* ChunkBuffer() override { return buffer_; }
  bool Length(FileHandle f, uint64_t* length, Failure* why) override;
  bool Seek(FileHandle f, uint64_t offset, Failure* why) override;
  bool Read(FileHandle f, void* buf, uint32_t n, uint32_t* got,
            Failure* why) override;
  bool Write(FileHandle f, const void* buf, uint32_t n, Failure* why) override;
  bool Copy(FileHandle src, FileHandle dst, void* buf, uint32_t n,
            uint32_t* got, Failure* why) override {
    return CopyByReadWrite(*this, src, dst, buf, n, got, why);
  }
  bool SameFile(FileHandle a, FileHandle b) override;
  void Close(FileHandle f) override;
  const char* PathOf(FileHandle f) override;
  bool Exists(const char* path) override;
  bool IsFolder(const char* path) override;
  bool MakeFolder(const char* path) override;
  bool AcceptsName(const char*) override { return true; }

  Lang Language() override { return Lang::kEnglish; }
  void Notify(const char* text) override { notices.push_back(text); }
  bool Confirm(const char* text) override;
  bool ConfirmReplace(const char*, const char* text) override {
    return Confirm(text);
  }
  bool AwaitDisk(const char*) override { return true; }
  bool ProgressCreate() override { return progress_open = !progress_fails; }
  void ProgressCaption(const char*) override {}
  void ProgressLabel(const char*) override {}
  void ProgressPos(int pos) override { position = pos; }
  bool ProgressCheckCancel() override;
  void ProgressFinish(const char*, bool) override { finished = true; }
  void ProgressDestroy() override { progress_open = false; }

 private:
  // Why p cannot be reached (a folder above it missing or a file); null when
  // it can.
  const char* Unreachable(const std::string& p) const;
  uint64_t used_ = 0;  // bytes all files hold
  uint8_t buffer_[kChunk];
  int reads_ = 0, questions_ = 0, checks_ = 0;
};

// Values off the front of the fuzz input; past its end, zeros and nothing.
class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), left_(size) {}
  uint8_t U8() { return left_ ? (--left_, *data_++) : 0; }
  uint16_t U16() { return static_cast<uint16_t>(U8() | U8() << 8); }
  Bytes Take(size_t n);
  Bytes Rest() { return Take(left_); }
  size_t left() const { return left_; }

 private:
  const uint8_t* data_;
  size_t left_;
};

[[noreturn]] void Violation(const std::string& what);
#define FUZZ_CHECK(holds, what) \
  do {                          \
    if (!(holds)) ::pvx::fuzz::Violation(what); \
  } while (0)

uint32_t Le(const Bytes& b, size_t at, int bytes);  // little-endian, 1..4

}  // namespace pvx::fuzz
