// Format and FormatV of base/text.h: the portable formatter. The stub
// uses the system's instead (platform/win32/format.cpp).
#include "base/text.h"

namespace pvx {

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
