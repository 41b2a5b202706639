#include "platform/percent.h"

#include <stdint.h>

#include "base/text.h"

namespace pvx {
namespace {

// x without its fraction (toward zero), for |x| below 2^63.
double Trunc(double x) {
  return static_cast<double>(static_cast<int64_t>(x));
}

}  // namespace

void PercentText(int pos, char* out, size_t cap, int low, int high) {
  int percent = 0;
  if (low == kRangeLow && high == kRangeHigh) {
    // The bar's own range, the only one the Windows programs use, in 32-bit
    // integers: each whole span gives 100, the remainder (with the sign of
    // pos) its share, each quotient truncated toward zero as the whole one
    // is.
    static_assert(kRangeLow == 0, "pos is then its distance from low");
    percent = pos / kRangeHigh * 100 + pos % kRangeHigh * 100 / kRangeHigh;
    if (percent != 100) percent %= 100;
  } else {
    // In double precision, which holds every integer here exactly: |num| is
    // below 2^39. A quotient that is not a whole number lies at least
    // 1/|span| (or 1/100) from the next one, far more than its rounding
    // error, so each truncation below is the exact integer one: toward
    // zero, the remainder keeping the sign of the dividend. The Windows
    // programs link without the compiler's 64-bit division helpers; this
    // needs none.
    double num = (static_cast<double>(pos) - low) * 100;
    double span = static_cast<double>(high) - low;
    if (span != 0) {
      double q = Trunc(num / span);
      if (q != 100) q -= Trunc(q / 100) * 100;
      percent = static_cast<int>(q);
    }
  }
  Format(out, cap, "%d%c", percent, '%');
}

}  // namespace pvx
