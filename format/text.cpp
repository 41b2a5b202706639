#include "format/text.h"

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

namespace {

// Output cursor that never writes past cap - 1 and remembers overflow.
struct Out {
  char* p;
  size_t cap;
  size_t n;
  bool cut;
  void Put(char c) {
    if (n + 1 < cap) {
      p[n++] = c;
    } else {
      cut = true;
    }
  }
};

// 32-bit on purpose: 64-bit division would need a helper library in the
// stub.
void PutNumber(Out* o, uint32_t v, bool negative, int width, bool zero) {
  char digits[24];
  int k = 0;
  do {
    digits[k++] = static_cast<char>('0' + v % 10);
    v /= 10;
  } while (v);
  int len = k + (negative ? 1 : 0);
  if (negative && zero) o->Put('-');
  for (; len < width; ++len) o->Put(zero ? '0' : ' ');
  if (negative && !zero) o->Put('-');
  while (k) o->Put(digits[--k]);
}

}  // namespace

bool FormatV(char* out, size_t cap, const char* fmt, va_list args) {
  if (cap == 0) return false;
  Out o = {out, cap, 0, false};
  for (const char* f = fmt; *f; ++f) {
    if (*f != '%') {
      o.Put(*f);
      continue;
    }
    ++f;
    bool zero = false;
    int width = 0;
    if (*f == '0') {
      zero = true;
      ++f;
    }
    while (*f >= '0' && *f <= '9') width = width * 10 + (*f++ - '0');
    switch (*f) {
      case 's': {
        const char* s = va_arg(args, const char*);
        if (!s) s = "(null)";
        while (*s) o.Put(*s++);
        break;
      }
      case 'd': {
        int v = va_arg(args, int);
        uint32_t mag = v < 0 ? 0u - static_cast<uint32_t>(v)
                             : static_cast<uint32_t>(v);
        PutNumber(&o, mag, v < 0, width, zero);
        break;
      }
      case 'u':
        PutNumber(&o, va_arg(args, unsigned int), false, width, zero);
        break;
      case 'c':
        o.Put(static_cast<char>(va_arg(args, int)));
        break;
      case '%':
        o.Put('%');
        break;
      case 0:
        --f;  // a lone '%' at the end
        break;
      default:
        o.Put('%');
        o.Put(*f);
        break;
    }
  }
  out[o.n] = 0;
  return !o.cut;
}

bool Format(char* out, size_t cap, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  bool ok = FormatV(out, cap, fmt, args);
  va_end(args);
  return ok;
}

}  // namespace pvx
