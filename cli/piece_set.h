// Finding the piece set that a file name selects, and `parvex info`.
#pragma once

#include <stdint.h>

#include <string>

#include "cli/cli_platform.h"

namespace pvx {

struct SetLocation {
  bool self_joining = false;
  std::string folder;  // the pieces' folder, with its trailing '/', or empty
  std::string stem;    // pieces 1, 2, ... are stem.c01, stem.c02, ...
  std::string piece0;  // stem.c00, or the self-joining program stem.exe
};

// Which set file selects:
// - a name ending in .exe is a self-joining piece 0, unless a plain stem.c00
//   lies beside it and the program carries no piece header;
// - otherwise a plain set when stem.c00 exists;
// - otherwise the self-joining set stem.exe, or _sStem.exe (the set cut from
//   a file of that name), when one lies beside it;
// - otherwise the plain set, whose engine reports the missing piece 0.
// False when the name is too long to take apart.
bool LocateSet(Platform& p, const char* file, SetLocation* out);

// The length of the stub image heading the program at path, from its first
// bytes: 0 when they are not a program image the stub walk understands.
// False + *why when the file cannot be read.
bool ProbeStubImage(Platform& p, const char* path, uint32_t* size,
                    Failure* why);

// `parvex info FILE`: prints the set's header and its pieces; writes
// nothing. Returns the exit status: 0 for a complete set, 1 otherwise.
int ShowInfo(CliPlatform& p, const char* file);

}  // namespace pvx
