// Files as the PAR2 code reads and writes them: inputs opened without
// blocking on a FIFO or device and only when regular; outputs created
// fresh as NAME.part (never through a symbolic link) and renamed into
// place once complete. Errors name the file and the cause.
#pragma once

#include <stdint.h>
#include <sys/types.h>

#include <string>
#include <vector>

#include "integrity/par2_format.h"

namespace pvx::par2 {

// An open file descriptor, closed on destruction.
class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd();
  Fd(Fd&& o) noexcept : fd_(o.fd_) { o.fd_ = -1; }
  Fd& operator=(Fd&& o) noexcept;
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }
  // Closes now; false (errno set) when the system reports an error, as it
  // may for a write that failed late.
  bool Close();

 private:
  int fd_ = -1;
};

struct InputFile {
  Fd fd;
  std::string path;
  uint64_t size = 0;
  dev_t dev = 0;
  ino_t ino = 0;
};

enum class OpenResult { kOk, kMissing, kError };
// Opens a regular file for reading. kMissing: nothing by that name.
OpenResult OpenInput(const std::string& path, InputFile* f,
                     std::string* error);

// Reads exactly len bytes at off; a file that ends first is an error.
bool ReadAt(int fd, uint64_t off, void* buf, size_t len,
            const std::string& path, std::string* error);
bool WriteAt(int fd, uint64_t off, const void* buf, size_t len,
             const std::string& path, std::string* error);

// Creates path (which must not exist; a symbolic link there is not
// followed) for writing.
bool CreateNew(const std::string& path, Fd* fd, std::string* error);

// What is at path: 0 nothing, 1 a regular file, 2 anything else; the
// device and inode when there is something.
int Probe(const std::string& path, dev_t* dev = nullptr, ino_t* ino = nullptr);

std::string DirName(const std::string& path);   // "." for a bare name
std::string BaseName(const std::string& path);
std::string JoinPath(const std::string& dir, const std::string& name);
std::string ErrnoText(int err);

// The names in folder ("." and ".." left out), in the order the system
// gives them; empty when it cannot be read.
std::vector<std::string> FolderNames(const std::string& folder);
// Makes a new folder of its own from pattern, whose last six characters
// are "XXXXXX" (mkdtemp): *path is its name. False + *error.
bool MakeTempFolder(const std::string& pattern, std::string* path,
                    std::string* error);
// A symbolic link at link to the file target resolves to (an absolute
// path, every link on the way followed). False + *error, naming the file.
bool LinkToFile(const std::string& target, const std::string& link,
                std::string* error);
// Removes a file (nothing there is no failure) or an empty folder. False +
// *error, naming it.
bool RemoveFile(const std::string& path, std::string* error);
bool RemoveFolder(const std::string& path, std::string* error);

// A ByteSource over an open file.
class FileSource final : public ByteSource {
 public:
  FileSource(int fd, uint64_t size, std::string path)
      : fd_(fd), size_(size), path_(std::move(path)) {}
  uint64_t Size() const override { return size_; }
  bool Read(uint64_t off, void* buf, size_t len, std::string* error) override {
    return ReadAt(fd_, off, buf, len, path_, error);
  }

 private:
  int fd_;
  uint64_t size_;
  std::string path_;
};

}  // namespace pvx::par2
