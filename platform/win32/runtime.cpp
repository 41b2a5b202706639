// The few run-time routines that compiled C++ expects, for Windows programs
// linked without the C run-time (the stub): the memory block functions and
// strlen (the compiler emits calls to them for struct copies, zeroing and
// counting loops) and the pure virtual call trap. There is no operator new
// or delete: these programs allocate nothing, and their classes have no
// virtual destructors.
//
// Built with the loop-to-library-call pattern matching switched off, so the
// loops below stay loops instead of becoming calls to themselves.
#pragma GCC optimize("no-tree-loop-distribute-patterns")

#include <stddef.h>
#include <windows.h>

extern "C" {

void* memcpy(void* dst, const void* src, size_t n) {
  unsigned char* d = static_cast<unsigned char*>(dst);
  const unsigned char* s = static_cast<const unsigned char*>(src);
  while (n--) *d++ = *s++;
  return dst;
}

void* memmove(void* dst, const void* src, size_t n) {
  unsigned char* d = static_cast<unsigned char*>(dst);
  const unsigned char* s = static_cast<const unsigned char*>(src);
  if (d < s) {
    while (n--) *d++ = *s++;
  } else {
    while (n--) d[n] = s[n];
  }
  return dst;
}

void* memset(void* dst, int c, size_t n) {
  unsigned char* d = static_cast<unsigned char*>(dst);
  while (n--) *d++ = static_cast<unsigned char>(c);
  return dst;
}

int memcmp(const void* a, const void* b, size_t n) {
  const unsigned char* x = static_cast<const unsigned char*>(a);
  const unsigned char* y = static_cast<const unsigned char*>(b);
  for (; n; --n, ++x, ++y)
    if (*x != *y) return *x - *y;
  return 0;
}

size_t strlen(const char* s) {
  const char* e = s;
  while (*e) ++e;
  return static_cast<size_t>(e - s);
}

// Only a broken object calls a pure virtual function: stop at once (the
// system reports the fault).
void __cxa_pure_virtual() { __builtin_trap(); }

}  // extern "C"
