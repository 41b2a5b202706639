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

char* KilobyteDigits(uint64_t bytes, char (&buf)[kKilobyteDigitsCap]) {
  // The kilobytes lie below 2^54: as two 27-bit halves, each step of the
  // long division by 10 divides a value below 10 * 2^27, which 32 bits hold.
  uint32_t high = static_cast<uint32_t>(bytes >> 37);
  uint32_t low = static_cast<uint32_t>(bytes >> 10) & 0x7FFFFFF;
  char* d = buf + kKilobyteDigitsCap - 1;
  *d = 0;
  do {
    const uint32_t x = high % 10 << 27 | low;
    high /= 10;
    *--d = static_cast<char>('0' + x % 10);
    low = x / 10;
  } while (high | low);
  return d;
}

void KilobyteText(uint64_t bytes, char* out, size_t cap) {
  char digits[kKilobyteDigitsCap];
  GroupDigits(KilobyteDigits(bytes, digits), out, cap);
}

}  // namespace pvx
