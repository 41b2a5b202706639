// PAR2 recovery data beside a set: its names, finding it, writing it after
// a cut, checking and repairing the set with it, and rebuilding the pieces
// a join lacks. Each pass shows the platform's progress window under the
// caller's caption, with the recovery data as its label, and closes it
// before it returns; Cancel stops it.
#pragma once

#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

#include "integrity/par2_create.h"
#include "integrity/par2_engine.h"
#include "integrity/par2_repair.h"
#include "platform/platform.h"

namespace pvx {

// The suffixes of the recovery files for `slices` recovery slices (".par2",
// ".vol0+1.par2", ...), each followed by a NUL, as a cut's companions.
std::string RecoverySuffixes(uint32_t slices);

// The index beside piece 0: its name without the extension + ".par2".
std::string RecoveryIndexFor(const std::string& piece0_path);

// The PAR2 file to read for the set that file selects: file itself when it
// is a .par2 file, else STEM.par2 beside piece 0, else a STEM.vol*.par2
// there. Empty when there is none.
std::string FindRecoveryIndex(Platform& p, const std::string& file);

// A PAR2 pass's progress in the platform's progress window.
par2::Progress PlatformProgress(Platform& p);

// After a cut: STEM.par2 and its recovery files beside piece 0 for the
// pieces (piece 0 first). A file there is replaced only when agreed(path)
// says the user agreed to it (the cut asked about these names before its
// first byte). known: the pieces' checksums taken as they were written
// (HashingPlatform::TakePar2Checksums); the pieces without them are read
// for them.
par2::CreateResult WriteRecovery(
    Platform& p, const std::vector<std::string>& pieces, uint32_t slices,
    const std::function<bool(const std::string&)>& agreed,
    const char* caption, std::vector<par2::TakenChecksums> known = {});

// Rebuilds the missing, short or damaged pieces of the set file selects, in
// place (into output_dir instead, made when missing, when it is not empty).
// The user is asked about each file it would replace.
struct RepairRun {
  enum Outcome { kNoIndex, kNoFolder, kRan };
  Outcome outcome = kNoIndex;
  std::string index;
  std::string why;  // kNoFolder: the folder and the cause
  par2::RepairResult result;  // kRan
};
RepairRun RepairPieces(Platform& p, const std::string& file,
                       const std::string& output_dir, const char* caption);

// Checks each piece against the recovery data at index, and whether it can
// rebuild what is wrong.
par2::VerifyReport VerifyWithRecovery(Platform& p, const std::string& index,
                                      const char* caption);

// The pieces of a report by name (a longer number is a larger one: c99
// before c100), not in the order of their ids.
std::vector<const par2::PieceReport*> PiecesByName(
    const par2::VerifyReport& report);
// Whether every piece of the set is one slice: then slices are pieces.
bool OneSlicePerPiece(const par2::VerifyReport& report);

// For a join of a set that lacks pieces: a temporary folder inside folder
// ("": the current one) that holds the set as the join needs it, the
// pieces that are missing, short or damaged rebuilt from the recovery data
// at index and a symbolic link to each good one, so that the set's own
// folder is left as it is. Unless it is rebuilt, nothing is left behind.
struct RebuiltSet {
  std::string folder;                // the temporary folder, with its '/'
  std::vector<std::string> names;    // what it holds
  std::vector<std::string> rebuilt;  // the names of the rebuilt pieces
};
struct Rebuild {
  enum Outcome {
    kRebuilt,
    kNoFolder,     // detail: the folder and the cause
    kNotRebuilt,   // detail: the recovery data's error
    kNotAPiece,    // detail: a name in the recovery data that is no piece's
    kNoLink,       // detail: the file and the cause
  };
  Outcome outcome = kNoFolder;
  std::string detail;
  RebuiltSet set;
  std::vector<std::string> cleanup;  // what could not be removed, and why
};
Rebuild RebuildForJoin(Platform& p, const std::string& index,
                       const std::string& folder, const char* caption);
// Removes the temporary folder and what RebuildForJoin put in it; the
// failures, each naming the file and the cause.
std::vector<std::string> RemoveRebuilt(const RebuiltSet& set);

}  // namespace pvx
