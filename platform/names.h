// What a name may be on Windows: the rule the Win32 platform applies to
// every name it creates (and the tests' stand-in of that platform).
#pragma once

namespace pvx {

// True when Windows would not create a file of exactly this name: a device
// name (CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-COM9, LPT0-LPT9, COM and
// LPT with a superscript 1, 2 or 3), in any case, alone or before a dot,
// blanks before the dot ignored ("nul.tar.gz", "NUL .txt"); or a name
// ending in "." or " ", which Windows trims ("report.c01." is report.c01).
bool IsWindowsDeviceOrTrimmedName(const char* name);

}  // namespace pvx
