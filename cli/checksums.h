// The checksum list that travels with a set (STEM.sha256 beside piece 0):
// written by a cut, checked by a join, and `parvex verify`.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "cli/cli_platform.h"
#include "cli/digest.h"
#include "cli/piece_set.h"
#include "cli/stream_cut.h"

namespace pvx {

// The list beside a piece 0: its name without the extension + ".sha256".
std::string ListPathFor(const std::string& piece0_path);

// The companion a cut writes beside its pieces: STEM + this.
constexpr const char* kListSuffix = ".sha256";

// After a cut with digests: writes the list of the pieces as written, then
// the source under source_name, beside piece 0, as the cut wrote its
// pieces (the cut asked about a list that was there already, as one of its
// set's names). source: the file cut, whose permission bits the list takes
// and which it never replaces; empty for standard input, which passes what
// it hashed itself (stream). Returns the exit status (0, or 1 after a
// message).
int WriteCutList(CliPlatform& p, const std::string& source_name,
                 const std::string& source,
                 const StreamDigests* stream = nullptr);

// What a join checks, taken from a list and a surveyed set.
struct JoinCheck {
  std::string list;                      // its path, for messages
  std::map<std::string, Sha256> pieces;  // by path
  bool has_output = false;
  Sha256 output = {};
};

// Finds the list (named, or beside piece 0) and maps it onto the set. Warns
// about pieces and the output that it does not cover. False when no list
// is there (*check untouched) or, after a message, when it cannot be read
// (*failed set).
bool PrepareCheck(CliPlatform& p, const SetSurvey& s, const std::string& named,
                  JoinCheck* check, bool* failed);

// `parvex verify FILE`: reads every piece of the set and checks it against
// the list. Returns the exit status: 0 complete and matching, 1 otherwise,
// 130 after Ctrl-C.
int VerifySet(CliPlatform& p, const std::string& file,
              const std::string& named_list, bool quiet);

}  // namespace pvx
