// PAR2 recovery data on the command line: written by cut --recovery,
// checked by verify, used by repair and by a join of a damaged set.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "cli/cli_platform.h"
#include "integrity/par2_engine.h"

namespace pvx {

// The suffixes of the recovery files for `slices` recovery slices (".par2",
// ".vol0+1.par2", ...), each followed by a NUL, as SetCompanions takes
// them after the list's.
std::string RecoverySuffixes(uint32_t slices);

// The index beside piece 0: its name without the extension + ".par2".
std::string RecoveryIndexFor(const std::string& piece0_path);

// Turns "N" / "N%" into a number of recovery slices; false after a usage
// message in *error.
bool RecoveryAmount(Lang lang, const std::string& text, uint32_t pieces,
                    uint32_t* slices, std::string* error);

// After a cut: writes STEM.par2 and its recovery files beside piece 0 for
// the pieces (piece 0 first). The cut asked about those names already; a
// file there is replaced only when the user agreed to it. Returns the exit
// status (0, 1 after a message, 130 cancelled).
int WriteRecovery(CliPlatform& p, const std::vector<std::string>& pieces,
                  uint32_t slices);

// The terminal's progress line for a PAR2 pass: Ctrl-C cancels. The caller
// brackets it with ProgressCreate / ProgressDestroy.
par2::Progress TerminalProgress(CliPlatform& p);

}  // namespace pvx

namespace pvx {

// The PAR2 file to read for the set that file selects: file itself when it
// is a .par2 file, else STEM.par2 beside piece 0, else a STEM.vol*.par2
// there. Empty when there is none.
std::string FindRecoveryIndex(CliPlatform& p, const std::string& file);

// `parvex repair FILE`: rebuilds the set's missing, short or damaged pieces
// in place (into output_dir instead when it is not empty). Returns the exit
// status: 0 when every piece matches afterwards, 1 otherwise (nothing
// changed when not everything could be rebuilt), 130 after Ctrl-C.
int RepairPieces(CliPlatform& p, const std::string& file,
                 const std::string& output_dir);

// `parvex verify FILE` with recovery data at index: each piece, then
// whether the recovery data can rebuild what is wrong. Returns the exit
// status: 0 only when every piece is good.
int VerifyWithRecovery(CliPlatform& p, const std::string& index);

}  // namespace pvx

namespace pvx {

// For a join of a set that lacks pieces: a temporary folder inside folder
// that holds the set as the join needs it, the missing, short or damaged
// pieces rebuilt from the recovery data at index and a symbolic link to
// each good one, so that the set's own folder is left as it is. False
// after a message (*cancelled when Ctrl-C stopped it); then nothing is
// left behind.
struct RebuiltSet {
  std::string folder;              // the temporary folder, with its '/'
  std::vector<std::string> names;  // what it holds
  std::vector<std::string> rebuilt;  // the names of the rebuilt pieces
};
bool RebuildForJoin(CliPlatform& p, const std::string& index,
                    const std::string& folder, RebuiltSet* out);
// Removes the temporary folder and what RebuildForJoin put in it; says so
// when it cannot.
void RemoveRebuilt(CliPlatform& p, const RebuiltSet& set);

}  // namespace pvx
