// What every layer shares: the longest path, a failure as the user reads
// it, the user's language, and the small constants of names and paths.
// Compiled into the CRT-free stub: no standard library here.
#pragma once

#include <stddef.h>

namespace pvx {

// The longest path a program handles, with its NUL: the build sets it to the
// system's limit (PATH_MAX) where that is larger than the Windows programs'.
#ifndef PVX_PATH_CAP
#define PVX_PATH_CAP 1024
#endif

constexpr size_t kPathCap = PVX_PATH_CAP;   // every path buffer, with NUL
constexpr size_t kNameCap = 512;            // a name without folder, with NUL

#ifdef _WIN32
constexpr char kNativeSep = '\\';
#else
constexpr char kNativeSep = '/';
#endif

// What went wrong, as the user reads it: "<file>: <cause>".
struct Failure {
  char text[PVX_PATH_CAP + 512];
};

enum class Lang { kEnglish, kJapanese };

}  // namespace pvx
