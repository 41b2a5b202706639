#include "integrity/par2_io.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

namespace pvx::par2 {

Fd::~Fd() {
  if (fd_ >= 0) close(fd_);
}
bool Fd::Close() {
  int fd = fd_;
  fd_ = -1;
  return fd < 0 || close(fd) == 0;
}
Fd& Fd::operator=(Fd&& o) noexcept {
  if (this != &o) {
    if (fd_ >= 0) close(fd_);
    fd_ = o.fd_;
    o.fd_ = -1;
  }
  return *this;
}

std::string ErrnoText(int err) { return strerror(err); }

OpenResult OpenInput(const std::string& path, InputFile* f,
                     std::string* error) {
  // O_NONBLOCK: a FIFO or a device does not hold us up; we refuse it below.
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return OpenResult::kMissing;
    *error = path + ": cannot open: " + ErrnoText(errno);
    return OpenResult::kError;
  }
  Fd owned(fd);
  struct stat st;
  if (fstat(fd, &st) != 0) {
    *error = path + ": cannot read its status: " + ErrnoText(errno);
    return OpenResult::kError;
  }
  if (!S_ISREG(st.st_mode)) {
    *error = path + ": not a regular file";
    return OpenResult::kError;
  }
  int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  f->fd = std::move(owned);
  f->path = path;
  f->size = static_cast<uint64_t>(st.st_size);
  f->dev = st.st_dev;
  f->ino = st.st_ino;
  return OpenResult::kOk;
}

bool ReadAt(int fd, uint64_t off, void* buf, size_t len,
            const std::string& path, std::string* error) {
  char* p = static_cast<char*>(buf);
  while (len) {
    ssize_t n = pread(fd, p, len, static_cast<off_t>(off));
    if (n < 0) {
      if (errno == EINTR) continue;
      *error = path + ": read error: " + ErrnoText(errno);
      return false;
    }
    if (n == 0) {
      *error = path + ": the file ended early (it changed while we read it)";
      return false;
    }
    p += n;
    off += static_cast<uint64_t>(n);
    len -= static_cast<size_t>(n);
  }
  return true;
}

bool WriteAt(int fd, uint64_t off, const void* buf, size_t len,
             const std::string& path, std::string* error) {
  const char* p = static_cast<const char*>(buf);
  while (len) {
    ssize_t n = pwrite(fd, p, len, static_cast<off_t>(off));
    if (n < 0) {
      if (errno == EINTR) continue;
      *error = path + ": write error: " + ErrnoText(errno);
      return false;
    }
    p += n;
    off += static_cast<uint64_t>(n);
    len -= static_cast<size_t>(n);
  }
  return true;
}

bool CreateNew(const std::string& path, Fd* fd, std::string* error) {
  int f = open(path.c_str(),
               O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
  if (f < 0) {
    *error = path + ": cannot create: " + ErrnoText(errno);
    if (errno == EEXIST) *error += " (left from an earlier run? remove it)";
    return false;
  }
  *fd = Fd(f);
  return true;
}

int Probe(const std::string& path, dev_t* dev, ino_t* ino) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return 0;
  if (dev) *dev = st.st_dev;
  if (ino) *ino = st.st_ino;
  return S_ISREG(st.st_mode) ? 1 : 2;
}

std::string DirName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string JoinPath(const std::string& dir, const std::string& name) {
  if (dir.empty() || dir == ".") return name;
  if (dir.back() == '/') return dir + name;
  return dir + "/" + name;
}

std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* e = readdir(dir)) {
      std::string name = e->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
  }
  return names;
}

bool MakeTempFolder(const std::string& pattern, std::string* path,
                    std::string* error) {
  std::vector<char> temp(pattern.begin(), pattern.end());
  temp.push_back('\0');
  if (!mkdtemp(temp.data())) {
    *error = pattern + ": " + ErrnoText(errno);
    return false;
  }
  *path = temp.data();
  return true;
}

bool LinkToFile(const std::string& target, const std::string& link,
                std::string* error) {
  char* real = realpath(target.c_str(), nullptr);
  if (!real) {
    *error = target + ": " + ErrnoText(errno);
    return false;
  }
  const int made = symlink(real, link.c_str());
  const int err = errno;
  free(real);
  if (made != 0) *error = link + ": " + ErrnoText(err);
  return made == 0;
}

bool RemoveFile(const std::string& path, std::string* error) {
  if (unlink(path.c_str()) == 0 || errno == ENOENT) return true;
  *error = path + ": " + ErrnoText(errno);
  return false;
}

bool RemoveFolder(const std::string& path, std::string* error) {
  if (rmdir(path.c_str()) == 0) return true;
  *error = path + ": " + ErrnoText(errno);
  return false;
}

}  // namespace pvx::par2
