// Small string helpers over fixed buffers. The core uses these instead of the
// C library so that it links into the stub without a run-time.
#pragma once

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

namespace pvx {

size_t StrLen(const char* s);
// Copies src into dst (cap bytes, always terminated). False when cut short.
bool StrCopy(char* dst, size_t cap, const char* src);
// Appends src to dst (cap bytes, always terminated). False when cut short.
bool StrAppend(char* dst, size_t cap, const char* src);
// Byte comparison: <0, 0, >0 like strcmp.
int StrCompare(const char* a, const char* b);
// Comparison ignoring the case of ASCII letters only, like _mbsicmp under a
// UTF-8 or code page 932 locale (multibyte characters compare as bytes).
int StrCompareNoCase(const char* a, const char* b);
bool MemEqual(const void* a, const void* b, size_t n);
void MemCopy(void* dst, const void* src, size_t n);
void MemZero(void* dst, size_t n);

// printf-like formatting into out (cap bytes, always terminated).
// Knows %s, %d, %u, %c and %%, with an optional 0 flag and width (%02d).
// Returns false when the result was cut short.
bool Format(char* out, size_t cap, const char* fmt, ...);
bool FormatV(char* out, size_t cap, const char* fmt, va_list args);

}  // namespace pvx
