// How much wall time SHA-256 adds to a copy loop, serial and through the
// background hasher. Copies one file (page cache warm) to a new file per run
// (a sync before each) and prints the median wall time of each way:
//   copy            read + write, no digest
//   copy+inline     the copier hashes each buffer itself after writing it
//   copy+hasher     the buffer goes to the hasher (one stream), copier reads on
//   copy+hasher x2  the same bytes into two streams (a piece's and the output's)
//   x2, 2 workers   the same with two hashing threads, one per stream
//   hash only       Digest over the bytes in memory, no I/O
//   sha256sum       coreutils over the source (for comparison)
// with the median CPU time of all threads and of the copier thread alone:
// CPU above wall time is overlap; the copier's own CPU is the copy's cost.
// Usage: pvx_hash_bench [SIZE_MIB=512] [REPS=5] [DIR=$TMPDIR or /tmp]
//                       [BUFFERS=4] [BUFFER_KIB=1024]
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <time.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "integrity/digest.h"

using pvx::Digest;
using pvx::Hasher;
using pvx::Sha256;
using pvx::ToHex;

namespace {

// CPU seconds used so far by this process's threads and waited-for children.
double Cpu() {
  double t = 0;
  for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
    struct rusage u;
    getrusage(who, &u);
    t += double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
  }
  return t;
}

// CPU seconds used so far by the calling thread (the copier).
double ThreadCpu() {
  struct timespec ts;
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

double Now() {
  using namespace std::chrono;
  return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void Die(const char* what, const std::string& path) {
  fprintf(stderr, "pvx_hash_bench: %s: %s: %s\n", what, path.c_str(),
          strerror(errno));
  exit(1);
}

struct Files {
  int in;
  int out;
};

Files Open(const std::string& src, const std::string& dst) {
  unlink(dst.c_str());
  Files f{open(src.c_str(), O_RDONLY), -1};
  if (f.in < 0) Die("open", src);
  f.out = open(dst.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
  if (f.out < 0) Die("create", dst);
  return f;
}

void Close(Files f, const std::string& dst) {
  close(f.in);
  if (close(f.out) != 0) Die("close", dst);
}

size_t ReadFull(int fd, uint8_t* p, size_t n) {
  size_t got = 0;
  while (got < n) {
    ssize_t r = read(fd, p + got, n - got);
    if (r < 0) Die("read", "source");
    if (r == 0) break;
    got += size_t(r);
  }
  return got;
}

void WriteFull(int fd, const uint8_t* p, size_t n) {
  while (n) {
    ssize_t w = write(fd, p, n);
    if (w < 0) Die("write", "output");
    p += w;
    n -= size_t(w);
  }
}

}  // namespace

int main(int argc, char** argv) {
  size_t mib = argc > 1 ? strtoul(argv[1], nullptr, 10) : 512;
  int reps = argc > 2 ? atoi(argv[2]) : 5;
  const char* tmp = getenv("TMPDIR");
  std::string dir = argc > 3 ? argv[3] : (tmp && *tmp ? tmp : "/tmp");
  size_t nbuf = argc > 4 ? strtoul(argv[4], nullptr, 10) : 4;
  size_t bufsize = (argc > 5 ? strtoul(argv[5], nullptr, 10) : 1024) * 1024;
  std::string src = dir + "/pvx-hash-bench.src";
  std::string dst = dir + "/pvx-hash-bench.out";
  uint64_t size = uint64_t(mib) << 20;

  {  // the source: pseudo-random bytes, then read once into the page cache
    unlink(src.c_str());
    int fd = open(src.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    if (fd < 0) Die("create", src);
    std::vector<uint8_t> block(bufsize);
    uint64_t x = 88172645463325252ull;
    for (uint64_t done = 0; done < size; done += block.size()) {
      for (size_t i = 0; i + 8 <= block.size(); i += 8) {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        memcpy(&block[i], &x, 8);
      }
      WriteFull(fd, block.data(), std::min<uint64_t>(block.size(), size - done));
    }
    close(fd);
  }
  std::vector<uint8_t> warm(bufsize);
  {
    int fd = open(src.c_str(), O_RDONLY);
    while (ReadFull(fd, warm.data(), warm.size()) > 0) {
    }
    close(fd);
  }
  sync();  // the source is written back before the first run

  std::string expect;
  struct Way {
    const char* name;
    std::function<std::string()> run;
  };
  std::vector<Way> ways = {
      {"copy", [&] {
         Files f = Open(src, dst);
         std::vector<uint8_t> buf(bufsize);
         size_t n;
         while ((n = ReadFull(f.in, buf.data(), buf.size())) > 0)
           WriteFull(f.out, buf.data(), n);
         Close(f, dst);
         return std::string();
       }},
      {"copy+inline", [&] {
         Files f = Open(src, dst);
         std::vector<uint8_t> buf(bufsize);
         Digest d;
         size_t n;
         while ((n = ReadFull(f.in, buf.data(), buf.size())) > 0) {
           WriteFull(f.out, buf.data(), n);
           d.Update(buf.data(), n);
         }
         Close(f, dst);
         return ToHex(d.Final());
       }},
      {"copy+hasher", [&] {
         Files f = Open(src, dst);
         Hasher h(nbuf, bufsize);
         Hasher::Stream s = h.NewStream();
         for (;;) {
           Hasher::Buffer* b = h.Acquire();
           size_t n = ReadFull(f.in, b->data, b->size);
           if (n == 0) {
             h.Release(b);
             break;
           }
           h.Submit(b, n, {s});
           WriteFull(f.out, b->data, n);
         }
         std::string hex = ToHex(h.Finish(s));
         Close(f, dst);
         return hex;
       }},
      {"copy+hasher x2", [&] {
         Files f = Open(src, dst);
         Hasher h(nbuf, bufsize);
         Hasher::Stream s = h.NewStream(), t = h.NewStream();
         for (;;) {
           Hasher::Buffer* b = h.Acquire();
           size_t n = ReadFull(f.in, b->data, b->size);
           if (n == 0) {
             h.Release(b);
             break;
           }
           h.Submit(b, n, {s, t});
           WriteFull(f.out, b->data, n);
         }
         std::string hex = ToHex(h.Finish(s));
         if (ToHex(h.Finish(t)) != hex) return std::string("mismatch");
         Close(f, dst);
         return hex;
       }},
      {"x2, 2 workers", [&] {
         Files f = Open(src, dst);
         Hasher h(nbuf, bufsize, 2);
         Hasher::Stream s = h.NewStream(), t = h.NewStream();
         for (;;) {
           Hasher::Buffer* b = h.Acquire();
           size_t n = ReadFull(f.in, b->data, b->size);
           if (n == 0) {
             h.Release(b);
             break;
           }
           h.Submit(b, n, {s, t});
           WriteFull(f.out, b->data, n);
         }
         std::string hex = ToHex(h.Finish(s));
         if (ToHex(h.Finish(t)) != hex) return std::string("mismatch");
         Close(f, dst);
         return hex;
       }},
      {"hash only", [&] {
         // The same bytes from memory: the digest's own speed.
         std::vector<uint8_t> buf(bufsize);
         int fd = open(src.c_str(), O_RDONLY);
         ReadFull(fd, buf.data(), buf.size());
         close(fd);
         Digest d;
         for (uint64_t done = 0; done < size; done += buf.size())
           d.Update(buf.data(), std::min<uint64_t>(buf.size(), size - done));
         d.Final();
         return std::string();
       }},
      {"sha256sum", [&] {
         std::string cmd = "sha256sum '" + src + "' > /dev/null";
         if (system(cmd.c_str()) != 0) return std::string("failed");
         return std::string();
       }},
  };

  printf("%zu MiB, %d runs each, median; hasher pool %zu x %zu KiB\n", mib,
         reps, nbuf, bufsize / 1024);
  // Round after round, each way once per round after a sync, so that a
  // change in the machine's load falls on all ways alike.
  std::vector<std::vector<double>> times(ways.size()), cpu(ways.size()),
      copier(ways.size());
  for (int r = 0; r < reps; ++r) {
    for (size_t w = 0; w < ways.size(); ++w) {
      sync();
      double t0 = Now(), c0 = Cpu(), k0 = ThreadCpu();
      std::string hex = ways[w].run();
      times[w].push_back(Now() - t0);
      cpu[w].push_back(Cpu() - c0);
      copier[w].push_back(ThreadCpu() - k0);
      if (hex.empty()) continue;
      if (expect.empty()) expect = hex;
      if (hex != expect) {
        fprintf(stderr, "pvx_hash_bench: %s: digest %s, expected %s\n",
                ways[w].name, hex.c_str(), expect.c_str());
        return 1;
      }
    }
  }
  double copy_median = 0;
  for (size_t w = 0; w < ways.size(); ++w) {
    std::sort(times[w].begin(), times[w].end());
    std::sort(cpu[w].begin(), cpu[w].end());
    std::sort(copier[w].begin(), copier[w].end());
    double med = times[w][times[w].size() / 2];
    if (w == 0) copy_median = med;
    printf("%-15s %7.3f s %6.0f MiB/s %5.2fx copy  cpu %.3f s, copier %.3f s"
           "  (wall min %.3f max %.3f)\n",
           ways[w].name, med, double(mib) / med, med / copy_median,
           cpu[w][cpu[w].size() / 2], copier[w][copier[w].size() / 2],
           times[w].front(), times[w].back());
  }
  printf("digest %s\n", expect.c_str());
  unlink(src.c_str());
  unlink(dst.c_str());
  return 0;
}
