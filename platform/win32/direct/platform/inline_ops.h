// The Win32 platform's operations that have nothing to do, inline (see
// binding.h beside this file): a file written in place bears its name at
// once, so nothing is reserved, committed or written beside a set.
#pragma once

namespace pvx {

inline bool Platform::Reserve(FileHandle, uint64_t, Failure*) { return true; }

inline bool Platform::Commit(FileHandle, bool, bool* taken, Failure*) {
  *taken = false;
  return true;
}

inline const char* Platform::Companions() { return ""; }

}  // namespace pvx
