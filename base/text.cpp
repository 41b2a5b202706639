#include "base/text.h"

namespace pvx {

size_t StrLen(const char* s) {
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}

bool StrCopy(char* dst, size_t cap, const char* src) {
  if (cap == 0) return false;
  size_t i = 0;
  for (; src[i]; ++i) {
    if (i + 1 >= cap) {
      dst[i] = 0;
      return false;
    }
    dst[i] = src[i];
  }
  dst[i] = 0;
  return true;
}

bool StrAppend(char* dst, size_t cap, const char* src) {
  size_t n = StrLen(dst);
  if (n >= cap) return false;
  return StrCopy(dst + n, cap - n, src);
}

int StrCompare(const char* a, const char* b) {
  const unsigned char* x = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* y = reinterpret_cast<const unsigned char*>(b);
  while (*x && *x == *y) ++x, ++y;
  return static_cast<int>(*x) - static_cast<int>(*y);
}

static unsigned char Lower(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c | 0x20) : c;
}

int StrCompareNoCase(const char* a, const char* b) {
  const unsigned char* x = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* y = reinterpret_cast<const unsigned char*>(b);
  while (*x && Lower(*x) == Lower(*y)) ++x, ++y;
  return static_cast<int>(Lower(*x)) - static_cast<int>(Lower(*y));
}

bool MemEqual(const void* a, const void* b, size_t n) {
  const unsigned char* x = static_cast<const unsigned char*>(a);
  const unsigned char* y = static_cast<const unsigned char*>(b);
  for (size_t i = 0; i < n; ++i)
    if (x[i] != y[i]) return false;
  return true;
}

void MemCopy(void* dst, const void* src, size_t n) {
  unsigned char* d = static_cast<unsigned char*>(dst);
  const unsigned char* s = static_cast<const unsigned char*>(src);
  for (size_t i = 0; i < n; ++i) d[i] = s[i];
}

void MemZero(void* dst, size_t n) {
  volatile unsigned char* d = static_cast<unsigned char*>(dst);
  for (size_t i = 0; i < n; ++i) d[i] = 0;
}

}  // namespace pvx
