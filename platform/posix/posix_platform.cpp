#include "platform/posix/posix_platform.h"
#include "platform/posix/system_calls.h"
#include "platform/posix/interrupt.h"

#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <utility>

#include "base/path.h"
#include "base/text.h"

namespace pvx {

namespace {

int SystemOpen(const char* path, int flags, mode_t mode) {
  return ::open(path, flags, mode);
}
int SystemFallocate(int fd, int mode, off_t offset, off_t length) {
#ifdef __linux__
  return ::fallocate(fd, mode, offset, length);
#else
  (void)fd, (void)mode, (void)offset, (void)length;
  errno = EOPNOTSUPP;
  return -1;
#endif
}
int SystemRenameNoReplace(const char* from, const char* to) {
#ifdef RENAME_NOREPLACE
  return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
#else
  (void)from, (void)to;
  errno = ENOSYS;
  return -1;
#endif
}
int SystemFcntl(int fd, int cmd, int arg) { return ::fcntl(fd, cmd, arg); }
int SystemStat(const char* path, struct stat* st) { return ::stat(path, st); }
int SystemLstat(const char* path, struct stat* st) { return ::lstat(path, st); }
int SystemFstat(int fd, struct stat* st) { return ::fstat(fd, st); }

SystemCalls g_calls = {
    SystemOpen,  ::close,   ::read,           ::write,
    ::lseek,     SystemFstat, SystemStat,     SystemLstat,
    ::ftruncate, SystemFallocate, SystemRenameNoReplace, ::rename,
    ::link,      ::unlink,  ::mkdir,          SystemFcntl,
    ::readlink,
};

SystemCalls& Sys() { return g_calls; }

}  // namespace

SystemCalls& PosixSystemCalls() { return g_calls; }

struct FileTag {
  FileTag(int f, std::string p) : fd(f), path(std::move(p)) {}
  int fd;
  std::string path;   // the name it is open under, for messages
  std::string final;  // written under path until Commit renames it here
  bool replace = false;   // the user agreed to replace what is at final
  bool writing = false;
  bool reserved = false;  // room reserved past what was written
  uint64_t reserved_length = 0;
  bool stream = false;    // standard output: written as it stands
};

namespace {

FileTag* Tag(FileHandle f) { return reinterpret_cast<FileTag*>(f); }
FileHandle Handle(FileTag* t) { return reinterpret_cast<FileHandle>(t); }

void Describe(Failure* why, const char* path, int err) {
  if (why) Format(why->text, sizeof why->text, "%s: %s", path, strerror(err));
}

bool Usable(mode_t mode) { return S_ISREG(mode) || S_ISLNK(mode); }

// Whether two stats describe the same file.
bool SameEntry(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Gives back what Reserve set aside past the end of the file. A file
// written to its reserved length is left alone: ext4 takes any truncate of
// a file as a rewrite of it and starts writing it all back at close, which
// costs a join a third of its time.
void Release(FileTag* t) {
  if (!t->reserved) return;
  struct stat st;
  if (Sys().fstat(t->fd, &st) == 0 &&
      static_cast<uint64_t>(st.st_size) < t->reserved_length) {
    int r;
    do {
      r = Sys().ftruncate(t->fd, st.st_size);
    } while (r != 0 && errno == EINTR);
  }
  t->reserved = false;
}

// rename() that fails with EEXIST instead of replacing an entry.
int RenameNoReplace(const char* from, const char* to) {
  if (Sys().rename_noreplace(from, to) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return -1;
  // A file system without it: link() never replaces either.
  if (Sys().link(from, to) != 0) return -1;
  Sys().unlink(from);
  return 0;
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

// One iconv conversion, open for as long as it lives.
class Recoder {
 public:
  Recoder(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Recoder() {
    if (ok()) iconv_close(cd_);
  }
  Recoder(const Recoder&) = delete;
  Recoder& operator=(const Recoder&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  // All n bytes of in into out (cap bytes); *len: the bytes written. False
  // when in is not valid or the result does not fit.
  bool Run(const char* in, size_t n, char* out, size_t cap, size_t* len) {
    char* src = const_cast<char*>(in);
    char* dst = out;
    size_t dst_left = cap;
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    bool done =
        iconv(cd_, &src, &n, &dst, &dst_left) != static_cast<size_t>(-1) &&
        iconv(cd_, nullptr, nullptr, &dst, &dst_left) !=
            static_cast<size_t>(-1) &&
        n == 0;
    *len = cap - dst_left;
    return done;
  }

 private:
  iconv_t cd_;
};

}  // namespace

// What an entry that is not a regular file is, for the message that
// refuses it.
void PosixPlatform::DescribeKind(Failure* why, const char* path, unsigned mode,
                                 Lang lang) {
  if (S_ISDIR(mode)) return Describe(why, path, EISDIR);
  const bool ja = lang == Lang::kJapanese;
  const char* kind =
      S_ISFIFO(mode)   ? (ja ? "FIFO です (通常のファイルではありません)"
                             : "is a FIFO, not a regular file")
      : S_ISCHR(mode) || S_ISBLK(mode)
          ? (ja ? "デバイスです (通常のファイルではありません)"
                : "is a device, not a regular file")
      : S_ISSOCK(mode) ? (ja ? "ソケットです (通常のファイルではありません)"
                             : "is a socket, not a regular file")
                       : (ja ? "通常のファイルではありません"
                             : "is not a regular file");
  if (why) Format(why->text, sizeof why->text, "%s: %s", path, kind);
}

const char* PosixPlatform::PathOf(FileHandle f) {
  return f ? Tag(f)->path.c_str() : "";
}

bool PosixPlatform::StatOf(FileHandle f, struct stat* st) {
  if (!f) {
    errno = EBADF;
    return false;
  }
  return Sys().fstat(Tag(f)->fd, st) == 0;
}

FileHandle PosixPlatform::OpenRead(const char* path, Failure* why) {
  // What is not a regular file is refused before it is opened (opening a
  // FIFO waits for a writer; a device may act on being opened), and again
  // on the open file, in case the name changed between the two.
  struct stat st;
  if (Sys().stat(path, &st) == 0 && !S_ISREG(st.st_mode)) {
    DescribeKind(why, path, st.st_mode, Language());
    return nullptr;
  }
  int fd;
  do {
    fd = Sys().open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    Describe(why, path, errno);
    return nullptr;
  }
  if (Sys().fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    int err = errno;
    bool stated = S_ISREG(st.st_mode) || err == 0;
    Sys().close(fd);
    if (stated) DescribeKind(why, path, st.st_mode, Language());
    else Describe(why, path, err);
    return nullptr;
  }
  Sys().fcntl(fd, F_SETFL, Sys().fcntl(fd, F_GETFL, 0) & ~O_NONBLOCK);
  return Handle(new FileTag(fd, path));
}

FileHandle PosixPlatform::OpenSource(const char* path, Failure* why) {
  // POSIX has no deny-write sharing; the engines guard the source instead
  // by refusing to open it as an output (IsFileAt, SameFile).
  return OpenRead(path, why);
}

void PosixPlatform::Redirect(const std::string& engine_path,
                             const std::string& target) {
  redirect_from_ = engine_path;
  redirect_to_ = target;
}

bool PosixPlatform::Redirected(const char* path) const {
  return !redirect_from_.empty() && redirect_from_ == path;
}

FileHandle PosixPlatform::OpenWrite(const char* path, FileHandle like,
                                    bool replace, Failure* why) {
  if (Redirected(path)) {
    if (RedirectedToStandardOutput()) return OpenStandardOutput(why);
    path = redirect_to_.c_str();
  }
  struct stat st;
  if (Sys().lstat(path, &st) == 0 && !Usable(st.st_mode)) {
    DescribeKind(why, path, st.st_mode, Language());
    return nullptr;
  }
  mode_t mode = 0666;
  // A pipe's bits say nothing of the data's owner: only a file's are taken.
  if (like && Sys().fstat(Tag(like)->fd, &st) == 0 && S_ISREG(st.st_mode))
    mode = st.st_mode & 0777;

  // A "<name>.part" left by an earlier run is replaced; what else stands
  // there (a folder, a FIFO, the file being read) is not.
  const std::string temp = std::string(path) + ".part";
  int fd = -1;
  for (int attempt = 0; fd < 0; ++attempt) {
    fd = Sys().open(temp.c_str(),
              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC,
              mode);
    if (fd >= 0) break;
    int err = errno;
    if (err == EINTR) continue;
    if (err != EEXIST || attempt == 3) {
      Describe(why, temp.c_str(), err);
      return nullptr;
    }
    if (Sys().lstat(temp.c_str(), &st) != 0) continue;
    if (!Usable(st.st_mode)) {
      DescribeKind(why, temp.c_str(), st.st_mode, Language());
      return nullptr;
    }
    if ((like && IsFileAt(like, temp.c_str())) || Sys().unlink(temp.c_str()) != 0) {
      Describe(why, temp.c_str(), errno ? errno : EEXIST);
      return nullptr;
    }
  }
  FileTag* t = new FileTag(fd, temp);
  t->final = path;
  t->replace = replace;
  t->writing = true;
  return Handle(t);
}

bool PosixPlatform::Truncate(FileHandle f, Failure* why) {
  if (Tag(f)->stream) return true;
  // An empty file is left alone: ext4 treats any truncate as "replacing the
  // contents" and flushes the whole file at close, which triples the time
  // of a join into a new file.
  struct stat st;
  bool empty = Sys().fstat(Tag(f)->fd, &st) == 0 && st.st_size == 0;
  if ((!empty && Sys().ftruncate(Tag(f)->fd, 0) != 0) ||
      Sys().lseek(Tag(f)->fd, 0, SEEK_SET) != 0) {
    Describe(why, Tag(f)->path.c_str(), errno);
    return false;
  }
  return true;
}

bool PosixPlatform::Reserve(FileHandle f, uint64_t length, Failure* why) {
#ifdef __linux__
  // Knowing the length lets the file system lay the file out in one go (a
  // join then takes about 0.6 of the time without), and a disk too small is
  // known before any data is written.
  FileTag* t = Tag(f);
  if (length == 0 || t->stream) return true;
  int r;
  do {
    r = Sys().fallocate(t->fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(length));
  } while (r != 0 && errno == EINTR);
  if (r == 0) {
    t->reserved = true;
    t->reserved_length = length;
  } else if (errno == ENOSPC || errno == EDQUOT || errno == EFBIG) {
    // Nothing has been written yet: name the file the user asked for.
    Describe(why, (t->final.empty() ? t->path : t->final).c_str(), errno);
    return false;
  }
#else
  (void)f;
  (void)length;
  (void)why;
#endif
  return true;
}

bool PosixPlatform::Commit(FileHandle f, bool replace, bool* taken,
                           Failure* why) {
  if (!RenamePart(f, replace, taken, why)) return false;
  committed_.push_back(PathOf(f));
  return true;
}

std::vector<std::string> PosixPlatform::TakeCommitted() {
  return std::exchange(committed_, {});
}

bool PosixPlatform::RenamePart(FileHandle f, bool replace, bool* taken,
                               Failure* why) {
  FileTag* t = Tag(f);
  *taken = false;
  Release(t);
  if (t->final.empty()) return true;
  const char* temp = t->path.c_str();
  const char* final = t->final.c_str();
  int r = t->replace || replace ? Sys().rename(temp, final)
                                : RenameNoReplace(temp, final);
  if (r != 0 && errno == EEXIST) {
    // Something took the name after the question was (not) asked: only a
    // file or a link may be replaced, and only once the user says so.
    struct stat st;
    if (Sys().lstat(final, &st) == 0 && !Usable(st.st_mode)) {
      DescribeKind(why, final, st.st_mode, Language());
      return false;
    }
    *taken = true;
    errno = EEXIST;
  }
  if (r != 0) {
    Describe(why, final, errno);
    return false;
  }
  t->path = t->final;
  t->final.clear();
  return true;
}

bool PosixPlatform::Length(FileHandle f, uint64_t* length, Failure* why) {
  struct stat st;
  if (Sys().fstat(Tag(f)->fd, &st) != 0) {
    Describe(why, Tag(f)->path.c_str(), errno);
    return false;
  }
  *length = static_cast<uint64_t>(st.st_size);
  return true;
}

bool PosixPlatform::Seek(FileHandle f, uint64_t offset, Failure* why) {
  if (Sys().lseek(Tag(f)->fd, static_cast<off_t>(offset), SEEK_SET) < 0) {
    Describe(why, Tag(f)->path.c_str(), errno);
    return false;
  }
  return true;
}

bool PosixPlatform::Read(FileHandle f, void* buf, uint32_t n, uint32_t* got,
                         Failure* why) {
  ssize_t r;
  do {
    r = Sys().read(Tag(f)->fd, buf, n);
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
    ssize_t w = Sys().write(Tag(f)->fd, p, n);
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

bool PosixPlatform::Copy(FileHandle src, FileHandle dst, void*, uint32_t n,
                         uint32_t* got, Failure* why) {
  // Plain read and write. Piece 0's data starts 284 bytes off the page
  // grid, so every copy of a set moves between misaligned offsets, where
  // copy_file_range measured slower than this loop (1 MiB chunks: 1.48
  // times cat against 0.78 times, 512 MiB in 8 MiB pieces, warm cache).
  // The buffer sits at the output's offset within a page: a join then took
  // 0.10 to 0.12 s where a buffer on the page grid took 0.12 to 0.18 s and
  // cat 0.13 to 0.16 s.
  if (n > chunk_) n = chunk_;
  return CopyByReadWrite(*this, src, dst, BufferFor(dst), n, got, why);
}

uint8_t* PosixPlatform::BufferFor(FileHandle dst) {
  constexpr uintptr_t kPage = 4096;
  if (buffer_.size() != chunk_ + 2 * kPage)
    buffer_.assign(chunk_ + 2 * kPage, 0);
  uintptr_t base = reinterpret_cast<uintptr_t>(buffer_.data());
  base = (base + kPage - 1) & ~(kPage - 1);
  return reinterpret_cast<uint8_t*>(base + PageOffsetOf(dst));
}

uint32_t PosixPlatform::PageOffsetOf(FileHandle dst) {
  off_t at = dst ? Sys().lseek(Tag(dst)->fd, 0, SEEK_CUR) : 0;
  return at < 0 ? 0 : static_cast<uint32_t>(at & 4095);
}

bool PosixPlatform::SameFile(FileHandle a, FileHandle b) {
  if (!a || !b) return false;
  struct stat sa, sb;
  if (Sys().fstat(Tag(a)->fd, &sa) != 0 || Sys().fstat(Tag(b)->fd, &sb) != 0)
    return false;
  return SameEntry(sa, sb);
}

bool PosixPlatform::IsFileAt(FileHandle f, const char* path) {
  if (Redirected(path)) {
    if (RedirectedToStandardOutput()) return false;
    path = redirect_to_.c_str();
  }
  if (!f) return false;
  struct stat sf, sp;
  if (Sys().fstat(Tag(f)->fd, &sf) != 0 || Sys().lstat(path, &sp) != 0) return false;
  return SameEntry(sf, sp);
}

uint8_t* PosixPlatform::ChunkBuffer() { return BufferFor(nullptr); }

void PosixPlatform::Close(FileHandle f) {
  if (!f) return;
  FileTag* t = Tag(f);
  if (t->writing) {
    Release(t);
    if (!t->final.empty()) {
      // Closed before Commit: partial output stays under its ".part" name;
      // an empty one held nothing and goes.
      struct stat st;
      if (Sys().fstat(t->fd, &st) == 0 && st.st_size == 0) {
        if (IsFileAt(f, t->path.c_str())) Sys().unlink(t->path.c_str());
      } else {
        kept_.push_back(t->path);
      }
    }
  }
  Sys().close(t->fd);
  delete t;
}

FileHandle PosixPlatform::OpenStandardOutput(Failure* why) {
  const char* name =
      Language() == Lang::kJapanese ? "標準出力" : "standard output";
  int fd = Sys().fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  if (fd < 0) {
    Describe(why, name, errno);
    return nullptr;
  }
  FileTag* t = new FileTag(fd, name);
  t->writing = true;
  t->stream = true;
  return Handle(t);
}

FileHandle PosixPlatform::OpenStandardInput(Failure* why) {
  const char* name =
      Language() == Lang::kJapanese ? "標準入力" : "standard input";
  int fd = Sys().fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3);
  if (fd < 0) {
    Describe(why, name, errno);
    return nullptr;
  }
  return Handle(new FileTag(fd, name));
}

bool PosixPlatform::ReadStream(FileHandle f, void* buf, uint32_t n,
                               uint32_t* got, Failure* why) {
  if (!EndingSignalsCaught()) return PosixPlatform::Read(f, buf, n, got, why);
  if (ReadUnlessInterrupted(Tag(f)->fd, buf, n, got)) return true;
  Describe(why, PathOf(f), errno);
  return false;
}

PosixPlatform::OutputBlock PosixPlatform::CheckOutput(
    const std::string& path, const std::vector<std::string>& inputs) {
  OutputBlock block;
  struct stat out, part, in;
  const bool there = Sys().lstat(path.c_str(), &out) == 0;
  // A "<name>.part" found there is replaced: it must not be an input
  // either.
  const std::string part_path = path + ".part";
  const bool part_there = Sys().lstat(part_path.c_str(), &part) == 0;
  for (const std::string& input : inputs) {
    const bool in_there = Sys().stat(input.c_str(), &in) == 0;
    if (input == path || (there && in_there && SameEntry(out, in)))
      block.path = path;
    else if (input == part_path || (part_there && in_there && SameEntry(part, in)))
      block.path = part_path;
    else
      continue;
    block.kind = OutputBlock::kIsInput;
    return block;
  }
  if (there && !Usable(out.st_mode)) {
    block.kind = OutputBlock::kNotAFile;
    DescribeKind(&block.why, path.c_str(), out.st_mode, Language());
    return block;
  }
  const char* name = NameOf(path.c_str());
  const std::string folder = path.substr(0, path.size() - strlen(name));
  block.most = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
  if (block.most <= 0) block.most = 255;
  block.length = strlen(name);
  if (block.length + strlen(".part") > static_cast<size_t>(block.most))
    block.kind = OutputBlock::kNameTooLong;
  return block;
}

PosixPlatform::OutputBlock PosixPlatform::CheckStandardOutput(
    const std::vector<std::string>& inputs) {
  OutputBlock block;
  struct stat out, in;
  if (Sys().fstat(STDOUT_FILENO, &out) != 0 || !S_ISREG(out.st_mode))
    return block;
  for (const std::string& input : inputs) {
    if (Sys().stat(input.c_str(), &in) == 0 && SameEntry(out, in)) {
      block.kind = OutputBlock::kIsInput;
      block.path = input;
      break;
    }
  }
  return block;
}

std::vector<std::string> PosixPlatform::TakeKept() {
  std::vector<std::string> out;
  out.swap(kept_);
  return out;
}

bool PosixPlatform::Exists(const char* path) {
  if (Redirected(path)) {
    // Standard output is written as it stands: nothing there to replace.
    if (RedirectedToStandardOutput()) return false;
    path = redirect_to_.c_str();
  }
  struct stat st;
  return Sys().lstat(path, &st) == 0;
}

bool PosixPlatform::RegularFileSize(const char* path, uint64_t* size) {
  struct stat st;
  if (Sys().stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return false;
  *size = static_cast<uint64_t>(st.st_size);
  return true;
}

bool PosixPlatform::IsFolder(const char* path) {
  struct stat st;
  return Sys().stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool PosixPlatform::MakeFolder(const char* path) {
  if (Sys().mkdir(path, 0777) != 0) return false;
  made_.push_back(path);
  return true;
}

void PosixPlatform::RemoveMadeFolders() {
  for (auto it = made_.rbegin(); it != made_.rend(); ++it) rmdir(it->c_str());
  made_.clear();
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

bool PosixPlatform::ToHeaderStandIn(const char* name, char* out, size_t cap) {
  if (cap == 0) return false;
  out[0] = 0;
  // Four bytes a character (no more characters than the name has bytes).
  const size_t n = strlen(name);
  std::string wide(4 * n, '\0');
  size_t wide_len = 0;
  Recoder split("UTF-32LE", "UTF-8"), join("UTF-8", "UTF-32LE");
  if (!split.ok() || !join.ok() ||
      !split.Run(name, n, &wide[0], wide.size(), &wide_len))
    return false;
  for (size_t i = 0; i < wide_len; i += 4) {
    char one[8];
    char part[8];
    size_t len = 0;
    if (!join.Run(&wide[i], 4, one, sizeof one - 1, &len)) return false;
    one[len] = 0;
    if (!ToHeaderName(one, part, sizeof part)) StrCopy(part, sizeof part, "_");
    if (!StrAppend(out, cap, part)) return false;
  }
  return true;
}

bool PosixPlatform::FromHeaderName(const char* raw, char* out, size_t cap) {
  return Convert("UTF-8", "CP932", raw, out, cap);
}

bool PosixPlatform::ConfirmReplace(const char* path, const char* text) {
  char target[kPathCap];
  ssize_t n = Sys().readlink(path, target, sizeof target - 1);
  if (n < 0) return Confirm(text);
  target[n] = 0;
  char question[3 * kPathCap];
  Format(question, sizeof question,
         Language() == Lang::kJapanese
             ? "%s\n%s は %s へのシンボリックリンクです. OK "
               "でリンクそのものを置き換えます (リンク先は変わりません)."
             : "%s\n%s is a symbolic link to %s; OK replaces the link "
               "itself, not the file it points to.",
         text, NameOf(path), target);
  return Confirm(question);
}

bool PosixPlatform::StubImage(const uint8_t** image, uint32_t* length) {
  if (!stub_ || stub_length_ == 0) return false;
  *image = stub_;
  *length = stub_length_;
  return true;
}

}  // namespace pvx
