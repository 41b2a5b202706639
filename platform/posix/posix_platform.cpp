#include "platform/posix/posix_platform.h"

#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "format/text.h"

namespace pvx {

struct FileTag {
  int fd;
  std::string path;
};

namespace {

FileTag* Tag(FileHandle f) { return reinterpret_cast<FileTag*>(f); }
FileHandle Handle(FileTag* t) { return reinterpret_cast<FileHandle>(t); }

void Describe(Failure* why, const char* path, int err) {
  if (why) Format(why->text, sizeof why->text, "%s: %s", path, strerror(err));
}

FileHandle OpenWith(const char* path, int flags, Failure* why) {
  int fd;
  do {
    fd = open(path, flags | O_CLOEXEC, 0666);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    Describe(why, path, errno);
    return nullptr;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
    close(fd);
    Describe(why, path, err);
    return nullptr;
  }
  return Handle(new FileTag{fd, path});
}

bool Convert(const char* to, const char* from, const char* in, char* out,
             size_t cap) {
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  char* src = const_cast<char*>(in);
  size_t src_left = strlen(in);
  char* dst = out;
  size_t dst_left = cap > 0 ? cap - 1 : 0;
  size_t r = iconv(cd, &src, &src_left, &dst, &dst_left);
  bool ok = r != static_cast<size_t>(-1) &&
            iconv(cd, nullptr, nullptr, &dst, &dst_left) !=
                static_cast<size_t>(-1) &&
            src_left == 0;
  iconv_close(cd);
  if (cap > 0) *dst = 0;
  // iconv may map a character it cannot represent to another one without
  // an error; a conversion that is not exact must fail, so check both ways.
  return ok && r == 0;
}

}  // namespace

const char* PosixPlatform::PathOf(FileHandle f) {
  return f ? Tag(f)->path.c_str() : "";
}

FileHandle PosixPlatform::OpenRead(const char* path, Failure* why) {
  return OpenWith(path, O_RDONLY, why);
}

FileHandle PosixPlatform::OpenSource(const char* path, Failure* why) {
  // POSIX has no deny-write sharing; the engines guard the source instead
  // by refusing to open it as an output (SameFile).
  return OpenWith(path, O_RDONLY, why);
}

FileHandle PosixPlatform::OpenWrite(const char* path, Failure* why) {
  return OpenWith(path, O_WRONLY | O_CREAT, why);
}

bool PosixPlatform::Truncate(FileHandle f, Failure* why) {
  // An empty file is left alone: ext4 treats any truncate as "replacing the
  // contents" and flushes the whole file at close, which triples the time
  // of a join into a new file.
  struct stat st;
  bool empty = fstat(Tag(f)->fd, &st) == 0 && st.st_size == 0;
  if ((!empty && ftruncate(Tag(f)->fd, 0) != 0) ||
      lseek(Tag(f)->fd, 0, SEEK_SET) != 0) {
    Describe(why, Tag(f)->path.c_str(), errno);
    return false;
  }
  return true;
}

bool PosixPlatform::Length(FileHandle f, uint64_t* length, Failure* why) {
  struct stat st;
  if (fstat(Tag(f)->fd, &st) != 0) {
    Describe(why, Tag(f)->path.c_str(), errno);
    return false;
  }
  *length = static_cast<uint64_t>(st.st_size);
  return true;
}

bool PosixPlatform::Seek(FileHandle f, uint64_t offset, Failure* why) {
  if (lseek(Tag(f)->fd, static_cast<off_t>(offset), SEEK_SET) < 0) {
    Describe(why, Tag(f)->path.c_str(), errno);
    return false;
  }
  return true;
}

bool PosixPlatform::Read(FileHandle f, void* buf, uint32_t n, uint32_t* got,
                         Failure* why) {
  ssize_t r;
  do {
    r = read(Tag(f)->fd, buf, n);
  } while (r < 0 && errno == EINTR);
  if (r < 0) {
    *got = 0;
    Describe(why, Tag(f)->path.c_str(), errno);
    return false;
  }
  *got = static_cast<uint32_t>(r);
  return true;
}

bool PosixPlatform::Write(FileHandle f, const void* buf, uint32_t n,
                          Failure* why) {
  const char* p = static_cast<const char*>(buf);
  while (n > 0) {
    ssize_t w = write(Tag(f)->fd, p, n);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      Describe(why, Tag(f)->path.c_str(), w < 0 ? errno : ENOSPC);
      return false;
    }
    p += w;
    n -= static_cast<uint32_t>(w);
  }
  return true;
}

bool PosixPlatform::Copy(FileHandle src, FileHandle dst, void* buf,
                         uint32_t n, uint32_t* got, Failure* why) {
#ifdef __linux__
  static bool kernel_copy = true;
  if (kernel_copy) {
    ssize_t r;
    do {
      r = copy_file_range(Tag(src)->fd, nullptr, Tag(dst)->fd, nullptr, n, 0);
    } while (r < 0 && errno == EINTR);
    if (r >= 0) {
      *got = static_cast<uint32_t>(r);
      return true;
    }
    if (errno == ENOSPC || errno == EDQUOT || errno == EFBIG) {
      *got = 0;
      Describe(why, Tag(dst)->path.c_str(), errno);
      return false;
    }
    // Not supported between these files (or another failure): the plain
    // copy below either works or names the file that failed.
    if (errno == ENOSYS || errno == EXDEV || errno == EOPNOTSUPP ||
        errno == EINVAL)
      kernel_copy = false;
  }
#endif
  return CopyByReadWrite(*this, src, dst, buf, n, got, why);
}

bool PosixPlatform::SameFile(FileHandle a, FileHandle b) {
  if (!a || !b) return false;
  struct stat sa, sb;
  if (fstat(Tag(a)->fd, &sa) != 0 || fstat(Tag(b)->fd, &sb) != 0)
    return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

void PosixPlatform::Close(FileHandle f) {
  if (!f) return;
  close(Tag(f)->fd);
  delete Tag(f);
}

bool PosixPlatform::Exists(const char* path) {
  struct stat st;
  return lstat(path, &st) == 0;
}

bool PosixPlatform::IsFolder(const char* path) {
  struct stat st;
  return stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool PosixPlatform::MakeFolder(const char* path) {
  return mkdir(path, 0777) == 0;
}

bool PosixPlatform::ToHeaderName(const char* name, char* out, size_t cap) {
  // glibc gives some characters (WAVE DASH, MINUS SIGN, EM DASH, ...) the
  // bytes of another one (FULLWIDTH TILDE, ...) without counting them as
  // irreversible; a join would then write another name. Only a name that
  // reads back unchanged has a code page 932 form.
  std::string back(strlen(name) + 1, '\0');
  return Convert("CP932", "UTF-8", name, out, cap) &&
         Convert("UTF-8", "CP932", out, &back[0], back.size()) &&
         strcmp(back.c_str(), name) == 0;
}

bool PosixPlatform::FromHeaderName(const char* raw, char* out, size_t cap) {
  return Convert("UTF-8", "CP932", raw, out, cap);
}

bool PosixPlatform::StubImage(const uint8_t** image, uint32_t* length) {
  if (!stub_ || stub_length_ == 0) return false;
  *image = stub_;
  *length = stub_length_;
  return true;
}

}  // namespace pvx
