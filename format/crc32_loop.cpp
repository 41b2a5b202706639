#include "format/crc32.h"

namespace pvx {

// Bit by bit: a few instructions instead of zlib's table, for the stub's
// sake. It only ever runs over a header's record (at most 263 bytes).
__attribute__((noinline)) uint32_t Crc32(const uint8_t* data, size_t n) {
  uint32_t crc = 0xFFFFFFFFu;
  while (n--) {
    crc ^= *data++;
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

}  // namespace pvx
