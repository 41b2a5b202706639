// Format and FormatV (base/text.h) for the stub, over the system's own
// formatter wvsprintfA: it knows every directive the texts use (%s, %d, %u,
// %c and %%, with a 0 flag and a width), and the stub then carries no
// formatting code of its own. tests/stub/check_stub_texts.py makes sure no
// text of the stub asks for more.
#include <windows.h>

#include "base/text.h"

namespace pvx {

bool FormatV(char* out, size_t cap, const char* fmt, va_list args) {
  if (cap == 0) return false;
  // The system writes at most 1024 bytes, its terminator included; a
  // result that fills them may have been cut.
  char all[1025];
  int n = wvsprintfA(all, fmt, args);
  size_t length = n > 0 ? static_cast<size_t>(n) : 0;
  size_t i = 0;
  for (; i + 1 < cap && i < length; ++i) out[i] = all[i];
  out[i] = 0;
  return i == length && length < 1023;
}

bool Format(char* out, size_t cap, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  bool ok = FormatV(out, cap, fmt, args);
  va_end(args);
  return ok;
}

}  // namespace pvx
