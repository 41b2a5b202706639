// UTF-8 <-> UTF-16 at the Win32 API boundary. Programs keep UTF-8 inside and
// hand UTF-16 to the W functions.
#pragma once

#include <stddef.h>
#include <wchar.h>

namespace pvx {

// UTF-8 to UTF-16 into out (cap wide characters, terminated). False when the
// text is not valid UTF-8 or does not fit; out is then empty.
bool ToWide(const char* utf8, wchar_t* out, size_t cap);
// UTF-16 to UTF-8 into out (cap bytes, terminated). False when it does not
// fit; out is then empty.
bool FromWide(const wchar_t* wide, char* out, size_t cap);

}  // namespace pvx
