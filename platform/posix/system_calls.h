// The system calls the POSIX platform makes, through a table: a test can
// put its own function in any entry (fail the third write with ENOSPC, a
// rename with EXDEV) and so reach every failure path without root, a full
// disk or a 4 GiB file. Each entry has the system call's contract.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

namespace pvx {

struct SystemCalls {
  int (*open)(const char* path, int flags, mode_t mode);
  int (*close)(int fd);
  ssize_t (*read)(int fd, void* buf, size_t n);
  ssize_t (*write)(int fd, const void* buf, size_t n);
  off_t (*lseek)(int fd, off_t offset, int whence);
  int (*fstat)(int fd, struct stat* st);
  int (*stat)(const char* path, struct stat* st);
  int (*lstat)(const char* path, struct stat* st);
  int (*ftruncate)(int fd, off_t length);
  // fallocate(2); a system without it fails with EOPNOTSUPP.
  int (*fallocate)(int fd, int mode, off_t offset, off_t length);
  // renameat2(2) with AT_FDCWD; a system without it fails with ENOSYS.
  int (*rename_noreplace)(const char* from, const char* to);
  int (*rename)(const char* from, const char* to);
  int (*link)(const char* from, const char* to);
  int (*unlink)(const char* path);
  int (*mkdir)(const char* path, mode_t mode);
  // fcntl(2) with an int argument (F_GETFL, F_SETFL, F_DUPFD_CLOEXEC).
  int (*fcntl)(int fd, int cmd, int arg);
  ssize_t (*readlink)(const char* path, char* buf, size_t n);
};

// The table PosixPlatform calls through; the system's own functions until
// a test changes an entry (and puts it back: see the tests' SystemCallScope).
SystemCalls& PosixSystemCalls();

}  // namespace pvx
