// The progress window's rules, shared by every front end: the bar's range
// and the percent text shown under it.
#pragma once

#include <stddef.h>

namespace pvx {

constexpr int kRangeLow = 0;
constexpr int kRangeHigh = 65535;

// "%d%c" of the percent for pos: (pos - low) * 100 / (high - low), shown
// modulo 100 unless it is exactly 100. 57% for 37500; 0% for 2 * 65535.
void PercentText(int pos, char* out, size_t cap, int low = kRangeLow,
                 int high = kRangeHigh);

}  // namespace pvx
