// The checksum list as parvex uses it: written after a cut, checked during
// a join, and `parvex verify`.
#pragma once

#include <map>
#include <string>

#include "cli/cli_platform.h"
#include "cli/stream_cut.h"
#include "engines/piece_set.h"
#include "integrity/checksums.h"
#include "integrity/digest.h"

namespace pvx {

// After a cut with digests: writes the list of the pieces as written, then
// the source under source_name, beside piece 0, as the cut wrote its
// pieces (the cut asked about a list that was there already, as one of its
// set's names). source: the file cut, whose permission bits the list takes
// and which it never replaces ("-": standard input, which passes what it
// hashed itself in stream). Returns the exit status (0, or 1 after a
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
