#include "cli/sizes.h"

#include "cli/cli_platform.h"
#include "engines/own_texts.h"
#include "format/piece_format.h"

namespace pvx {

SizeError ParseSize(const std::string& text, uint32_t* bytes) {
  if (text == "1.44M" || text == "1.44m") {
    *bytes = kSize144;
    return SizeError::kNone;
  }
  if (text == "1.25M" || text == "1.25m") {
    *bytes = kSize125;
    return SizeError::kNone;
  }
  size_t i = 0;
  uint64_t value = 0;
  bool overflow = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (!overflow) value = value * 10 + static_cast<uint64_t>(text[i] - '0');
    if (value > UINT32_MAX) overflow = true;  // later digits only add
  }
  if (i == 0) return SizeError::kMalformed;

  int power = 0;
  if (i < text.size()) {
    switch (text[i]) {
      case 'K': case 'k': power = 1; break;
      case 'M': case 'm': power = 2; break;
      case 'G': case 'g': power = 3; break;
      default: return SizeError::kMalformed;
    }
    const std::string unit = text.substr(i + 1);
    uint64_t base;
    if (unit.empty() || unit == "iB") {
      base = 1024;
    } else if (unit == "B") {
      base = 1000;
    } else {
      return SizeError::kMalformed;
    }
    for (int k = 0; k < power && !overflow; ++k) {
      value *= base;
      if (value > UINT32_MAX) overflow = true;
    }
  }
  if (overflow) return SizeError::kTooLarge;
  *bytes = static_cast<uint32_t>(value);
  return SizeError::kNone;
}

std::string SizeErrorText(Lang lang, SizeError error, const std::string& text) {
  if (error == SizeError::kTooLarge) {
    return std::string(Tr(lang, "parvex: size too large: '")) + text +
           Tr(lang,
              "'; a piece holds at most 4294967295 bytes (less than 4 GiB)");
  }
  return std::string(Tr(lang, "parvex: invalid size: '")) + text +
         Tr(lang,
            "'; SIZE is a number of bytes, optionally followed by K, M, G "
            "or KiB, MiB, GiB (powers of 1024) or KB, MB, GB (powers of "
            "1000); 1.44M (1457664) and 1.25M (1250304) are the diskette "
            "sizes");
}

bool ParsePieceCount(const std::string& text, uint32_t* n) {
  if (text.empty() || text.size() > 9) return false;
  uint32_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  *n = value;
  return true;
}

}  // namespace pvx
