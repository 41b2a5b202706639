// CRC-32 as zlib's crc32() computes it (polynomial 0xEDB88320, the one of
// gzip and PNG), over n bytes from a start of 0.
//
// A link-time dependency rather than a function pointer handed to the
// parser: every caller of the header code gets it without being told, and
// each program links the one definition that suits it. Natively that is
// zlib's (format/crc32_zlib.cpp); the Windows programs, whose stub has
// no room for a 1 KiB table and no zlib, link a bitwise loop
// (format/crc32_loop.cpp).
#pragma once

#include <stddef.h>
#include <stdint.h>

namespace pvx {

uint32_t Crc32(const uint8_t* data, size_t n);

}  // namespace pvx
