// Piece sizes as the command line gives them (-s SIZE, --pieces N).
#pragma once

#include <stdint.h>

#include <string>

#include "platform/platform.h"

namespace pvx {

enum class SizeError {
  kNone,
  kMalformed,  // not a number with one of the accepted suffixes
  kTooLarge,   // 4 GiB or more: a piece length is a 32-bit count
};

// SIZE as coreutils reads it: a whole number of bytes, optionally followed
// by K, M, G or KiB, MiB, GiB (powers of 1024) or KB, MB, GB (powers of
// 1000); the first letter of a suffix may be lower case. "1.44M" and "1.25M"
// are the diskette sizes 1457664 and 1250304. *bytes is set on kNone only.
SizeError ParseSize(const std::string& text, uint32_t* bytes);

// The usage error for text, saying what is accepted, with "parvex: " first.
std::string SizeErrorText(Lang lang, SizeError error, const std::string& text);

// --pieces N: a plain whole number (its bounds are the caller's). False
// when text is none.
bool ParsePieceCount(const std::string& text, uint32_t* n);

}  // namespace pvx
