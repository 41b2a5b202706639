// Reading every piece of a set and checking it against the set's checksum
// list: what `parvex verify` reports.
#pragma once

#include <stddef.h>

#include <functional>
#include <string>
#include <vector>

#include "engines/piece_set.h"
#include "integrity/checksums.h"

namespace pvx {

// One line of the report: a piece, a file beside the set, or the output.
struct VerifyLine {
  enum Verdict {
    kOk,
    kMissing,
    kUnusable,    // detail: why (a survey's "<path>: <cause>")
    kShort,
    kSurplus,     // a piece longer than the set needs there
    kBeside,      // a further piece beside the set, not part of it
    kNotListed,
    kUnreadable,  // detail: the read failure
    kDamaged,
  };
  std::string name;
  Verdict verdict = kOk;
  std::string detail;
};

struct SetVerification {
  bool cancelled = false;
  std::vector<VerifyLine> lines;
  int bad = 0;              // the checks that failed
  bool data_whole = false;  // every piece there with its length
  bool source_checked = false;  // the list's line for the output, compared
  bool Passed() const { return !cancelled && bad == 0 && data_whole; }
};

// Reads every piece of the surveyed set s (its header sound) and compares
// it with list (not found: the lengths are all there is to check), and the
// joined bytes with the list's line for the output. Each line goes to
// on_line (when given) as soon as it is decided. The progress window, when
// the caller made one, follows the pieces; Cancel stops the reading.
SetVerification VerifyAgainstList(
    Platform& p, const SetSurvey& s, const SetList& list,
    const std::function<void(const VerifyLine&)>& on_line = nullptr);

}  // namespace pvx
