#include "platform/names.h"

#include "base/text.h"

namespace pvx {

bool IsWindowsDeviceOrTrimmedName(const char* name) {
  size_t len = StrLen(name);
  if (len == 0) return false;
  if (name[len - 1] == '.' || name[len - 1] == ' ') return true;
  // The part before the first dot, without the blanks at its end: what
  // Windows compares with its device names.
  size_t end = 0;
  while (name[end] && name[end] != '.') ++end;
  while (end > 0 && name[end - 1] == ' ') --end;
  char stem[8];
  if (end >= sizeof stem) return false;
  MemCopy(stem, name, end);
  stem[end] = 0;
  // COM and LPT take one digit or a superscript 1, 2 or 3 (UTF-8 C2 B9,
  // C2 B2, C2 B3); the others stand alone. Each list ends in an empty name.
  const bool numbered =
      (end == 4 && stem[3] >= '0' && stem[3] <= '9') ||
      (end == 5 && stem[3] == '\xC2' &&
       (stem[4] == '\xB9' || stem[4] == '\xB2' || stem[4] == '\xB3'));
  if (numbered) stem[3] = 0;
  for (const char* device =
           numbered ? "COM\0LPT\0" : "CON\0PRN\0AUX\0NUL\0CONIN$\0CONOUT$\0";
       *device; device += StrLen(device) + 1)
    if (StrCompareNoCase(stem, device) == 0) return true;
  return false;
}

}  // namespace pvx
