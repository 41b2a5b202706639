// wine_copy: the bare 32768-byte ReadFile/WriteFile loop, as a yardstick for
// the Windows programs under Wine (bench/wine.sh). No window, no progress.
//
//   wine_copy.exe join OUT HEAD IN...        IN... into OUT, skipping HEAD
//                                            bytes of the first
//   wine_copy.exe cut SRC PIECE HEAD PREFIX  SRC into PREFIX.c00, .c01, ...
//                                            of PIECE bytes, HEAD zero bytes
//                                            first in piece 0
//
// i686-w64-mingw32-g++ -O2 -static -s -o wine_copy.exe bench/wine_copy.cpp
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const DWORD kChunk = 32768;
char g_buf[kChunk];

HANDLE Open(const char* path, bool write) {
  HANDLE h = CreateFileA(path, write ? GENERIC_WRITE : GENERIC_READ,
                         write ? 0 : FILE_SHARE_READ, nullptr,
                         write ? CREATE_NEW : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                         nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    std::fprintf(stderr, "wine_copy: cannot open %s (%lu)\n", path, GetLastError());
    std::exit(1);
  }
  return h;
}

void Put(HANDLE out, const char* p, DWORD n) {
  DWORD w = 0;
  if (!WriteFile(out, p, n, &w, nullptr) || w != n) {
    std::fprintf(stderr, "wine_copy: write failed (%lu)\n", GetLastError());
    std::exit(1);
  }
}

// Copies up to `left` bytes (all when left < 0); returns the bytes copied.
long long Copy(HANDLE in, HANDLE out, long long left) {
  long long done = 0;
  while (left != 0) {
    DWORD want = kChunk;
    if (left > 0 && left < (long long)want) want = (DWORD)left;
    DWORD r = 0;
    if (!ReadFile(in, g_buf, want, &r, nullptr)) {
      std::fprintf(stderr, "wine_copy: read failed (%lu)\n", GetLastError());
      std::exit(1);
    }
    if (r == 0) break;
    Put(out, g_buf, r);
    done += r;
    if (left > 0) left -= r;
  }
  return done;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 5 && std::strcmp(argv[1], "join") == 0) {
    HANDLE out = Open(argv[2], true);
    long head = std::atol(argv[3]);
    for (int i = 4; i < argc; ++i) {
      HANDLE in = Open(argv[i], false);
      if (i == 4) SetFilePointer(in, head, nullptr, FILE_BEGIN);
      Copy(in, out, -1);
      CloseHandle(in);
    }
    CloseHandle(out);
    return 0;
  }
  if (argc == 6 && std::strcmp(argv[1], "cut") == 0) {
    HANDLE in = Open(argv[2], false);
    long long piece = std::atoll(argv[3]);
    DWORD head = (DWORD)std::atol(argv[4]);
    static char zeros[4096];
    for (int i = 0;; ++i) {
      char name[MAX_PATH];
      std::snprintf(name, sizeof name, "%s.c%02d", argv[5], i);
      HANDLE out = Open(name, true);
      long long room = piece;
      if (i == 0) {
        Put(out, zeros, head);
        room -= head;
      }
      long long got = Copy(in, out, room);
      CloseHandle(out);
      if (got < room) break;
    }
    CloseHandle(in);
    return 0;
  }
  std::fprintf(stderr, "usage: wine_copy join OUT HEAD IN... | cut SRC PIECE HEAD PREFIX\n");
  return 2;
}
