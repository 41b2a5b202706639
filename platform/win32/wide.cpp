#include "platform/win32/wide.h"

#include <windows.h>

namespace pvx {

bool ToWide(const char* utf8, wchar_t* out, size_t cap) {
  if (cap == 0) return false;
  int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, -1, out,
                              static_cast<int>(cap));
  if (n <= 0) {
    out[0] = 0;
    return false;
  }
  return true;
}

bool FromWide(const wchar_t* wide, char* out, size_t cap) {
  if (cap == 0) return false;
  int n = WideCharToMultiByte(CP_UTF8, 0, wide, -1, out, static_cast<int>(cap),
                              nullptr, nullptr);
  if (n <= 0) {
    out[0] = 0;
    return false;
  }
  return true;
}

}  // namespace pvx
