// Taking a path apart, and numbers shown with their digits grouped.
#pragma once

#include <stddef.h>
#include <stdint.h>

#include "base/base.h"

namespace pvx {

// Path parts. folder keeps its trailing separator; ext keeps its dot.
struct PathParts {
  char folder[kPathCap];
  char name[kPathCap];
  char base[kPathCap];
  char ext[kPathCap];
};
// False when the path does not fit kPathCap.
bool SplitPath(const char* path, PathParts* out, char sep = kNativeSep);

// The name in path: what follows its last separator (all of it when it has
// none).
const char* NameOf(const char* path, char sep = kNativeSep);

// "1234567" -> "1,234,567".
void GroupDigits(const char* digits, char* out, size_t cap);
// Room for the kilobytes of any 64-bit byte count in decimal (17 digits at
// most), with the NUL.
constexpr size_t kKilobyteDigitsCap = 18;
// Bytes in whole kilobytes, in decimal at the end of buf: 1457664 -> "1423".
// Returns the first digit. Needs no 64-bit division, which the Windows
// programs have no helper for.
char* KilobyteDigits(uint64_t bytes, char (&buf)[kKilobyteDigitsCap]);
// Bytes in whole kilobytes, grouped: 1457664 -> "1,423".
void KilobyteText(uint64_t bytes, char* out, size_t cap);

}  // namespace pvx
