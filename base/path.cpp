#include "base/path.h"

#include "base/text.h"

namespace pvx {

bool SplitPath(const char* path, PathParts* out, char sep) {
  out->folder[0] = out->name[0] = out->base[0] = out->ext[0] = 0;
  size_t len = StrLen(path);
  if (len >= kPathCap) return false;
  size_t name_start = 0;
  for (size_t i = 0; i < len; ++i)
    if (path[i] == sep) name_start = i + 1;
  MemCopy(out->folder, path, name_start);
  out->folder[name_start] = 0;
  StrCopy(out->name, kPathCap, path + name_start);
  size_t name_len = len - name_start;
  size_t dot = name_len;
  for (size_t i = 0; i < name_len; ++i)
    if (out->name[i] == '.') dot = i;
  StrCopy(out->ext, kPathCap, out->name + dot);
  MemCopy(out->base, out->name, dot);
  out->base[dot] = 0;
  return true;
}

const char* NameOf(const char* path, char sep) {
  const char* name = path;
  for (const char* c = path; *c; ++c)
    if (*c == sep) name = c + 1;
  return name;
}

void GroupDigits(const char* digits, char* out, size_t cap) {
  size_t n = StrLen(digits);
  size_t r = n % 3;
  size_t o = 0;
  for (size_t i = 0; i < n; ++i) {
    if (i >= r && (i - r) % 3 == 0 && i != 0) {
      if (o + 1 < cap) out[o++] = ',';
    }
    if (o + 1 < cap) out[o++] = digits[i];
  }
  if (cap) out[o < cap ? o : cap - 1] = 0;
}

void KilobyteText(uint64_t bytes, char* out, size_t cap) {
  // Digit by digit, by subtraction: the Windows programs need no 64-bit
  // division for this. Below 2^54 kilobytes: 17 digits at most.
  static const uint64_t kPowers[] = {
      10000000000000000ull, 1000000000000000ull, 100000000000000ull,
      10000000000000ull, 1000000000000ull, 100000000000ull, 10000000000ull,
      1000000000ull, 100000000ull, 10000000ull, 1000000ull, 100000ull,
      10000ull, 1000ull, 100ull, 10ull, 1ull};
  uint64_t kb = bytes >> 10;
  char digits[24];
  size_t n = 0;
  for (uint64_t power : kPowers) {
    char digit = '0';
    while (kb >= power) {
      kb -= power;
      ++digit;
    }
    if (n != 0 || digit != '0' || power == 1) digits[n++] = digit;
  }
  digits[n] = 0;
  GroupDigits(digits, out, cap);
}

}  // namespace pvx
