// What parvex checks before a join writes, and `parvex info`.
#pragma once

#include <string>

#include "cli/cli_platform.h"
#include "engines/piece_set.h"

namespace pvx {

// Why a join of s cannot write its output at out_path, or empty: it would
// be one of the files the join reads (a piece, the self-joining program,
// the checksum list at list), something other than a regular file or a
// link stands there, or the name with ".part" is longer than a name may be.
std::string OutputProblem(Lang lang, const SetSurvey& s,
                          const std::string& out_path,
                          const std::string& list);

// The same for standard output: "" unless it is one of the files the join
// reads.
std::string StandardOutputProblem(Lang lang, const SetSurvey& s,
                                  const std::string& list);

// `parvex info FILE`: prints the set's header and its pieces; writes
// nothing. Returns the exit status: 0 exactly when a join would accept the
// set, 1 otherwise.
int ShowInfo(CliPlatform& p, const char* file);

}  // namespace pvx
