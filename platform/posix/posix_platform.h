// Files, folders and names on POSIX. The user-facing half (questions,
// progress) is left to the front end that derives from this class.
#pragma once

#include "platform/platform.h"

namespace pvx {

class PosixPlatform : public Platform {
 public:
  FileHandle OpenRead(const char* path, Failure* why) override;
  FileHandle OpenSource(const char* path, Failure* why) override;
  FileHandle OpenWrite(const char* path, Failure* why) override;
  bool Truncate(FileHandle f, Failure* why) override;
  bool Length(FileHandle f, uint64_t* length, Failure* why) override;
  bool Seek(FileHandle f, uint64_t offset, Failure* why) override;
  bool Read(FileHandle f, void* buf, uint32_t n, uint32_t* got,
            Failure* why) override;
  bool Write(FileHandle f, const void* buf, uint32_t n, Failure* why) override;
  // Uses copy_file_range where the kernel has it, read and write otherwise.
  bool Copy(FileHandle src, FileHandle dst, void* buf, uint32_t n,
            uint32_t* got, Failure* why) override;
  bool SameFile(FileHandle a, FileHandle b) override;
  void Close(FileHandle f) override;

  bool Exists(const char* path) override;
  bool IsFolder(const char* path) override;
  bool MakeFolder(const char* path) override;
  // Code page 932 through iconv ("CP932").
  bool ToHeaderName(const char* name, char* out, size_t cap) override;
  bool FromHeaderName(const char* raw, char* out, size_t cap) override;
  // The stub program built into this binary, if any (see SetStubImage).
  bool StubImage(const uint8_t** image, uint32_t* length) override;

  void SetStubImage(const uint8_t* image, uint32_t length) {
    stub_ = image;
    stub_length_ = length;
  }

  // The path a handle was opened with, for messages.
  static const char* PathOf(FileHandle f);

 private:
  const uint8_t* stub_ = nullptr;
  uint32_t stub_length_ = 0;
};

}  // namespace pvx
