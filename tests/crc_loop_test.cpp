// The Windows programs' bitwise CRC-32 (format/crc32_loop.cpp) against
// zlib's, which the native programs use: a set cut by one is read by the
// other. Built on its own, as both define pvx::Crc32.
#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

#include "format/crc32.h"

namespace {

TEST(Crc32Loop, AgreesWithZlib) {
  std::mt19937 rng(932);
  for (size_t n = 0; n <= 300; ++n) {
    std::vector<uint8_t> bytes(n);
    for (auto& b : bytes) b = static_cast<uint8_t>(rng());
    EXPECT_EQ(pvx::Crc32(bytes.data(), n),
              crc32(0, bytes.data(), static_cast<uInt>(n)))
        << n;
  }
  // The check value of the gzip/PNG CRC-32.
  const char* digits = "123456789";
  EXPECT_EQ(pvx::Crc32(reinterpret_cast<const uint8_t*>(digits), 9),
            0xCBF43926u);
}

}  // namespace
