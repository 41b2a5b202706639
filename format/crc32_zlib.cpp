#include "format/crc32.h"

#include <zlib.h>

namespace pvx {

uint32_t Crc32(const uint8_t* data, size_t n) {
  return static_cast<uint32_t>(crc32_z(0, data, n));
}

}  // namespace pvx
