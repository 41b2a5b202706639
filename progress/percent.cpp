#include "progress/percent.h"

#include <stdint.h>

#include "format/text.h"

namespace pvx {
namespace {

// n / d, and n % d in *rem, by shift and subtract. The Windows programs link
// without the compiler's 64-bit division helpers, which would cost more room
// than this loop. One copy of the loop serves both divisions.
[[gnu::noinline]] uint64_t DivMod(uint64_t n, uint32_t d, uint32_t* rem) {
  uint64_t q = 0, r = 0;
  for (int bit = 63; bit >= 0; --bit) {
    r = (r << 1) | ((n >> bit) & 1);
    q <<= 1;
    if (r >= d) {
      r -= d;
      q |= 1;
    }
  }
  *rem = static_cast<uint32_t>(r);
  return q;
}

}  // namespace

void PercentText(int pos, char* out, size_t cap, int low, int high) {
  // Done in 64 bits so that positions far past the range cannot overflow;
  // within 32 bits the result is the same. The quotient is truncated toward
  // zero and keeps the sign of the dividend.
  int64_t num = (static_cast<int64_t>(pos) - low) * 100;
  int64_t span = static_cast<int64_t>(high) - low;
  int percent = 0;
  if (span != 0) {
    bool negative = (num < 0) != (span < 0);
    uint32_t r = 0;
    uint64_t q = DivMod(num < 0 ? 0 - static_cast<uint64_t>(num) : num,
                        static_cast<uint32_t>(span < 0 ? -span : span), &r);
    if (q == 100 && !negative) {
      percent = 100;
    } else {
      DivMod(q, 100, &r);
      percent = negative ? -static_cast<int>(r) : static_cast<int>(r);
    }
  }
  Format(out, cap, "%d%c", percent, '%');
}

}  // namespace pvx
