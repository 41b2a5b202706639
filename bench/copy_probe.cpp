// copy_probe: times the ways a POSIX join or cut can move its bytes, against
// cat and split, on a piece set laid out as parvex lays it out (piece 0 starts
// with a 284-byte head, so every data offset is off the page grid).
//
//   g++ -O2 -std=c++17 -o build/copy_probe bench/copy_probe.cpp
//   build/copy_probe [DIR] [SIZE_MIB] [ROUNDS]      (/tmp, 512, 5)
//
// Each round runs every method once, in a fixed order, with cat (for the
// joins) or split (for the cuts) in the same round; a ratio is the method's
// time over that round's cat/split time. Before each run the output is
// removed and sync(2) runs, both untimed; every output is compared with the
// source afterwards (untimed). One warm-up round is run and not counted.
// The CPU column is the median user + system time (of the child processes for
// cat and split), which a busy machine disturbs less than the wall time.
// It also reports whether ftruncate to the current size gives back blocks
// reserved past the end with fallocate(FALLOC_FL_KEEP_SIZE).
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr size_t kHead = 284;
constexpr size_t kPiece = 8u << 20;

std::string g_dir;
size_t g_size = 0;
std::vector<std::string> g_pieces;  // parvex-style set (head in piece 0)
std::vector<std::string> g_raw;     // split-style set (raw slices)

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "copy_probe: %s: %s\n", what.c_str(), std::strerror(errno));
  std::exit(1);
}

int OpenNew(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) Die("create " + path);
  return fd;
}

int OpenRead(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) Die("open " + path);
  return fd;
}

void WriteAll(int fd, const char* p, size_t n) {
  while (n > 0) {
    ssize_t w = ::write(fd, p, n);
    if (w < 0) {
      if (errno == EINTR) continue;
      Die("write");
    }
    p += w;
    n -= static_cast<size_t>(w);
  }
}

// Copies n bytes from in to out through buf (read/write), from in's position.
void CopyRw(int in, int out, size_t n, std::vector<char>& buf) {
  while (n > 0) {
    size_t want = std::min(n, buf.size());
    ssize_t r = ::read(in, buf.data(), want);
    if (r < 0) {
      if (errno == EINTR) continue;
      Die("read");
    }
    if (r == 0) {
      errno = EIO;
      Die("short input");
    }
    WriteAll(out, buf.data(), static_cast<size_t>(r));
    n -= static_cast<size_t>(r);
  }
}

// Copies n bytes with copy_file_range in chunks, from both files' positions.
void CopyCfr(int in, int out, size_t n, size_t chunk) {
  while (n > 0) {
    ssize_t r = ::copy_file_range(in, nullptr, out, nullptr, std::min(n, chunk), 0);
    if (r < 0) {
      if (errno == EINTR) continue;
      Die("copy_file_range");
    }
    if (r == 0) {
      errno = EIO;
      Die("short input (copy_file_range)");
    }
    n -= static_cast<size_t>(r);
  }
}

off_t SizeOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) Die("stat " + path);
  return st.st_size;
}

struct JoinOpts {
  size_t buf = 1u << 20;
  bool cfr = false;
  bool reserve = false;
  bool advise = false;
};

void Join(const std::string& out_path, const JoinOpts& o) {
  int out = OpenNew(out_path);
  if (o.reserve) {
    if (::fallocate(out, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(g_size)) != 0 &&
        errno != EOPNOTSUPP)
      Die("fallocate");
  }
  std::vector<char> buf(o.cfr ? 0 : o.buf);
  for (size_t i = 0; i < g_pieces.size(); ++i) {
    int in = OpenRead(g_pieces[i]);
    size_t len = static_cast<size_t>(SizeOf(g_pieces[i]));
    if (o.advise) ::posix_fadvise(in, 0, 0, POSIX_FADV_SEQUENTIAL);
    if (i == 0) {
      if (::lseek(in, kHead, SEEK_SET) < 0) Die("lseek");
      len -= kHead;
    }
    if (o.cfr)
      CopyCfr(in, out, len, o.buf);
    else
      CopyRw(in, out, len, buf);
    ::close(in);
  }
  if (::close(out) != 0) Die("close");
}

void Cut(const std::string& out_dir, bool reserve) {
  int in = OpenRead(g_dir + "/src.bin");
  std::vector<char> buf(1u << 20);
  std::vector<char> head(kHead, 'H');
  size_t left = g_size + kHead;  // bytes of the whole set
  for (int i = 0; left > 0; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "/p.c%02d", i);
    size_t len = std::min(left, kPiece);
    int out = OpenNew(out_dir + name);
    if (reserve) {
      if (::fallocate(out, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(len)) != 0 &&
          errno != EOPNOTSUPP)
        Die("fallocate");
    }
    size_t data = len;
    if (i == 0) {
      WriteAll(out, head.data(), kHead);
      data -= kHead;
    }
    CopyRw(in, out, data, buf);
    if (::close(out) != 0) Die("close");
    left -= len;
  }
  ::close(in);
}

// Runs argv (or "sh -c CMD"), returns when it has exited with status 0.
void Spawn(const std::string& shell_cmd) {
  const char* argv[] = {"sh", "-c", shell_cmd.c_str(), nullptr};
  pid_t pid;
  if (posix_spawnp(&pid, "sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
    Die("spawn");
  int st = 0;
  if (::waitpid(pid, &st, 0) < 0 || !WIFEXITED(st) || WEXITSTATUS(st) != 0) {
    errno = EIO;
    Die("command failed: " + shell_cmd);
  }
}

// Compares the bytes of the files (in order, skipping `skip` bytes of the
// first) with the source.
void CheckSame(const std::vector<std::string>& files, size_t skip, const std::string& what) {
  int src = OpenRead(g_dir + "/src.bin");
  std::vector<char> a(1u << 20), b(1u << 20);
  size_t total = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    int f = OpenRead(files[i]);
    if (i == 0 && skip) ::lseek(f, static_cast<off_t>(skip), SEEK_SET);
    for (;;) {
      ssize_t r = ::read(f, a.data(), a.size());
      if (r < 0) Die("read " + files[i]);
      if (r == 0) break;
      size_t got = 0;
      while (got < static_cast<size_t>(r)) {
        ssize_t s = ::read(src, b.data() + got, static_cast<size_t>(r) - got);
        if (s <= 0) {
          errno = EIO;
          Die(what + ": longer than the source");
        }
        got += static_cast<size_t>(s);
      }
      if (std::memcmp(a.data(), b.data(), static_cast<size_t>(r)) != 0) {
        errno = EIO;
        Die(what + ": differs from the source");
      }
      total += static_cast<size_t>(r);
    }
    ::close(f);
  }
  ::close(src);
  if (total != g_size) {
    errno = EIO;
    Die(what + ": shorter than the source");
  }
}

std::vector<std::string> ListPieces(const std::string& dir, const char* prefix, size_t n,
                                    bool letters) {
  std::vector<std::string> v;
  for (size_t i = 0; i < n; ++i) {
    char name[64];
    if (letters)
      std::snprintf(name, sizeof name, "/%s%c%c", prefix, static_cast<char>('a' + i / 26),
                    static_cast<char>('a' + i % 26));
    else
      std::snprintf(name, sizeof name, "/%s%02zu", prefix, i);
    v.push_back(dir + name);
  }
  return v;
}

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

struct Method {
  std::string name;
  std::function<void()> clean;  // untimed, before the run
  std::function<void()> run;    // timed
  std::function<void()> check;  // untimed, after the run
  std::vector<double> times;
  std::vector<double> cpu;  // user + system seconds, this process and children
};

double CpuNow() {
  double t = 0;
  for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
    struct rusage ru;
    ::getrusage(who, &ru);
    t += ru.ru_utime.tv_sec + ru.ru_utime.tv_usec / 1e6 + ru.ru_stime.tv_sec +
         ru.ru_stime.tv_usec / 1e6;
  }
  return t;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void RunRounds(const char* title, std::vector<Method>& ms, int rounds) {
  // ms.back() is the coreutils reference.
  for (int r = 0; r <= rounds; ++r) {
    for (auto& m : ms) {
      m.clean();
      ::sync();
      double c0 = CpuNow();
      double t0 = Now();
      m.run();
      double t1 = Now();
      double c1 = CpuNow();
      m.check();
      if (r > 0) {
        m.times.push_back(t1 - t0);
        m.cpu.push_back(c1 - c0);
      }
    }
    std::fprintf(stderr, ".");
  }
  std::fprintf(stderr, "\n");
  const Method& ref = ms.back();
  std::printf("\n%s (%d rounds after a warm-up; ratio = time / %s in the same round)\n", title,
              rounds, ref.name.c_str());
  std::printf("%-40s %9s %15s %7s %11s %7s\n", "method", "median s", "min-max s", "ratio",
              "min-max", "CPU s");
  for (const auto& m : ms) {
    std::vector<double> ratio;
    for (size_t i = 0; i < m.times.size(); ++i) ratio.push_back(m.times[i] / ref.times[i]);
    auto [tlo, thi] = std::minmax_element(m.times.begin(), m.times.end());
    auto [rlo, rhi] = std::minmax_element(ratio.begin(), ratio.end());
    std::printf("%-40s %9.3f %7.3f-%-7.3f %7.2f %5.2f-%-5.2f %7.3f\n", m.name.c_str(),
                Median(m.times), *tlo, *thi, Median(ratio), *rlo, *rhi, Median(m.cpu));
  }
}

void Rm(const std::string& path) {
  if (::unlink(path.c_str()) != 0 && errno != ENOENT) Die("unlink " + path);
}

void RmPieces(const std::string& dir) {
  Spawn("rm -rf '" + dir + "' && mkdir '" + dir + "'");
}

void ProbeTruncate() {
  std::string path = g_dir + "/reserve.bin";
  Rm(path);
  int fd = OpenNew(path);
  struct stat st;
  if (::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, 8 << 20) != 0) Die("fallocate");
  std::vector<char> mib(1u << 20, 'x');
  WriteAll(fd, mib.data(), mib.size());
  ::fstat(fd, &st);
  long before = static_cast<long>(st.st_blocks);
  ::fsync(fd);
  ::fstat(fd, &st);
  long synced = static_cast<long>(st.st_blocks);
  if (::ftruncate(fd, static_cast<off_t>(mib.size())) != 0) Die("ftruncate");
  ::fstat(fd, &st);
  long after = static_cast<long>(st.st_blocks);
  ::close(fd);
  ::stat(path.c_str(), &st);
  long closed = static_cast<long>(st.st_blocks);
  ::sync();
  ::stat(path.c_str(), &st);
  long later = static_cast<long>(st.st_blocks);
  std::printf(
      "\nftruncate(fd, current size) after fallocate(KEEP_SIZE, 8 MiB) and a 1 MiB write:\n"
      "  st_blocks (512 B) after write %ld, after fsync %ld, after ftruncate %ld, "
      "after close %ld, after sync %ld\n  -> %s\n",
      before, synced, after, closed, later,
      after < synced ? "ftruncate to the same size gives the reserved blocks back"
                     : "ftruncate to the same size does NOT give the reserved blocks back");
  Rm(path);
}

}  // namespace

int main(int argc, char** argv) {
  g_dir = argc > 1 ? argv[1] : "/tmp";
  size_t mib = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 512;
  int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
  g_dir += "/copy_probe." + std::to_string(::getpid());
  if (::mkdir(g_dir.c_str(), 0755) != 0) Die("mkdir " + g_dir);
  g_size = mib << 20;

  // The source, a parvex-style set and a split-style set, all in the cache.
  {
    std::mt19937_64 rng(12345);
    std::vector<uint64_t> block((1u << 20) / 8);
    int src = OpenNew(g_dir + "/src.bin");
    for (size_t done = 0; done < g_size; done += 1u << 20) {
      for (auto& w : block) w = rng();
      WriteAll(src, reinterpret_cast<const char*>(block.data()), 1u << 20);
    }
    ::close(src);
  }
  ::mkdir((g_dir + "/set").c_str(), 0755);
  Cut(g_dir + "/set", false);
  size_t npieces = (g_size + kHead + kPiece - 1) / kPiece;
  g_pieces = ListPieces(g_dir + "/set", "p.c", npieces, false);
  CheckSame(g_pieces, kHead, "reference set");
  Spawn("mkdir '" + g_dir + "/raw' && split -b 8M '" + g_dir + "/src.bin' '" + g_dir +
        "/raw/x'");
  g_raw = ListPieces(g_dir + "/raw", "x", (g_size + kPiece - 1) / kPiece, true);
  CheckSame(g_raw, 0, "split set");
  std::string raw_list;
  for (const auto& p : g_raw) raw_list += " '" + p + "'";

  long nproc = ::sysconf(_SC_NPROCESSORS_ONLN);
  std::printf("copy_probe: %zu MiB, pieces of 8 MiB, head of %zu bytes in piece 0, "
              "%d rounds, nproc %ld, folder %s\n",
              mib, kHead, rounds, nproc, g_dir.c_str());

  const std::string jout = g_dir + "/joined.bin";
  auto jclean = [&] { Rm(jout); };
  auto jcheck = [&] {
    CheckSame({jout}, 0, "join output");
    Rm(jout);
  };
  auto join = [&](const char* name, JoinOpts o) {
    return Method{name, jclean, [=] { Join(jout, o); }, jcheck, {}, {}};
  };
  std::vector<Method> joins;
  joins.push_back(join("join read/write 32 KiB", {32u << 10, false, false, false}));
  joins.push_back(join("join read/write 128 KiB", {128u << 10, false, false, false}));
  joins.push_back(join("join read/write 256 KiB", {256u << 10, false, false, false}));
  joins.push_back(join("join read/write 1 MiB", {1u << 20, false, false, false}));
  joins.push_back(join("join read/write 4 MiB", {4u << 20, false, false, false}));
  joins.push_back(join("join copy_file_range 32 KiB", {32u << 10, true, false, false}));
  joins.push_back(join("join copy_file_range 1 MiB", {1u << 20, true, false, false}));
  joins.push_back(join("join r/w 128 KiB + fallocate", {128u << 10, false, true, false}));
  joins.push_back(join("join r/w 1 MiB + fallocate", {1u << 20, false, true, false}));
  joins.push_back(join("join r/w 1 MiB + fallocate + fadvise", {1u << 20, false, true, true}));
  joins.push_back(Method{"cat pieces > out", jclean,
                         [&] { Spawn("cat" + raw_list + " > '" + jout + "'"); }, jcheck, {}, {}});
  RunRounds("Join", joins, rounds);

  const std::string cdir = g_dir + "/cut";
  auto cclean = [&] { RmPieces(cdir); };
  auto ccheck_set = [&] {
    CheckSame(ListPieces(cdir, "p.c", npieces, false), kHead, "cut output");
  };
  auto ccheck_split = [&] {
    CheckSame(ListPieces(cdir, "x", g_raw.size(), true), 0, "split output");
  };
  std::vector<Method> cuts;
  cuts.push_back(
      Method{"cut read/write 1 MiB", cclean, [&] { Cut(cdir, false); }, ccheck_set, {}, {}});
  cuts.push_back(Method{"cut r/w 1 MiB + fallocate per piece", cclean, [&] { Cut(cdir, true); },
                        ccheck_set, {}, {}});
  cuts.push_back(Method{"split -b 8M", cclean,
                        [&] { Spawn("split -b 8M '" + g_dir + "/src.bin' '" + cdir + "/x'"); },
                        ccheck_split, {}, {}});
  RunRounds("Cut", cuts, rounds);

  ProbeTruncate();
  Spawn("rm -rf '" + g_dir + "'");
  return 0;
}
