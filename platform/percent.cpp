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
  // In double precision, which holds every integer here exactly: |num| is
  // below 2^39. A quotient that is not a whole number lies at least 1/|span|
  // (or 1/100) from the next one, far more than its rounding error, so each
  // truncation below is the exact integer one: toward zero, the remainder
  // keeping the sign of the dividend. The Windows programs link without the
  // compiler's 64-bit division helpers; this needs none.
  double num = (static_cast<double>(pos) - low) * 100;
  double span = static_cast<double>(high) - low;
  int percent = 0;
  if (span != 0) {
    double q = Trunc(num / span);
    if (q != 100) q -= Trunc(q / 100) * 100;
    percent = static_cast<int>(q);
  }
  Format(out, cap, "%d%c", percent, '%');
}

}  // namespace pvx
