// Reading a built program whole, for the native tools that check and pack
// the stub.
#pragma once

#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

#include <vector>

// The bytes of the file at path. False, with the cause printed after the
// path on standard error, when it cannot be opened or read.
inline bool ReadProgram(const char* path, std::vector<uint8_t>* bytes) {
  FILE* in = fopen(path, "rb");
  if (!in) {
    perror(path);
    return false;
  }
  uint8_t chunk[4096];
  size_t got;
  while ((got = fread(chunk, 1, sizeof chunk, in)) > 0)
    bytes->insert(bytes->end(), chunk, chunk + got);
  const int error = ferror(in) ? errno : 0;
  fclose(in);
  if (error) fprintf(stderr, "%s: %s\n", path, strerror(error));
  return error == 0;
}
