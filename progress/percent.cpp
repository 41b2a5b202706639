#include "progress/percent.h"

#include "format/text.h"

namespace pvx {

void PercentText(int pos, char* out, size_t cap, int low, int high) {
  // 32-bit arithmetic in the original; done in 64 bits here so that positions
  // far past the range cannot overflow, with the same result modulo 100.
  int64_t span = static_cast<int64_t>(high) - low;
  int64_t percent =
      span == 0 ? 0 : (static_cast<int64_t>(pos) - low) * 100 / span;
  if (percent != 100) percent %= 100;
  Format(out, cap, "%d%c", static_cast<int>(percent), '%');
}

}  // namespace pvx
