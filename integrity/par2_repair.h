// Reading a set's PAR2 files, checking its pieces against them, and
// rebuilding missing, short or damaged pieces from the recovery slices.
// Works with PAR2 files from any client (any slice size, several slices per
// piece), not only with ours.
#pragma once

#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

#include "integrity/par2_engine.h"
#include "integrity/par2_format.h"

namespace pvx::par2 {

// One file of the recovery set, as the PAR2 files describe it.
struct SetFile {
  Md5 id{};
  std::string name;
  uint64_t length = 0;
  Md5 md5{}, md5_16k{};
  std::vector<SliceCheck> slices;  // empty when no IFSC packet was found
  uint64_t slice_count = 0;
  uint64_t first_slice = 0;  // its first slice's number in the set
};

struct RecoverySlice {
  uint32_t exponent = 0;
  std::string file;  // the PAR2 file that holds it
  uint64_t offset = 0;  // of its data
};

struct RecoverySet {
  std::string folder;  // where the pieces are looked for
  Md5 set_id{};
  uint64_t slice_size = 0;
  std::vector<SetFile> files;  // in slice order
  std::vector<RecoverySlice> recovery;  // sound ones, by exponent
  std::string creator;
  std::vector<std::string> par2_files;  // read
  std::vector<std::string> notes;  // damage found in them, files left out
};

// The other PAR2 files of the set that `par2_path` (which need not exist)
// belongs to: STEM.par2 and STEM.volA+B.par2 beside it (".par2" and ".vol"
// in any case), by name.
std::vector<std::string> SetFilesBeside(const std::string& par2_path);

// The PAR2 files of the set that `par2_path` belongs to: it and every
// SetFilesBeside it. False with *error when it cannot be
// read or holds no usable description of a set.
bool LoadRecoverySet(const std::string& par2_path, RecoverySet* set,
                     std::string* error, const Progress& progress = {});

enum class PieceState { kGood, kMissing, kShort, kDamaged, kNotAFile };
const char* PieceStateName(PieceState s);  // "good", "missing", ...

struct PieceReport {
  std::string name, path;
  PieceState state = PieceState::kMissing;
  uint64_t size = 0;      // as found
  uint64_t expected = 0;  // as described
  uint64_t slices = 0, good_slices = 0;
  std::vector<uint8_t> slice_good;  // one flag per slice
  std::string detail;  // the read error, for kNotAFile
};

struct VerifyOptions {
  Progress progress;  // bytes of the pieces read / their total
  unsigned threads = 2;
};

struct VerifyReport {
  bool ok = false;     // the check ran (not: the pieces are good)
  std::string error;   // when it did not
  RecoverySet set;
  std::vector<PieceReport> pieces;  // in set order
  uint64_t bad_slices = 0;          // missing or damaged
  uint64_t recovery_slices = 0;     // sound ones found
  bool all_good = false;
  bool repairable = false;  // all good, or enough recovery slices
};

VerifyReport VerifySet(const std::string& par2_path,
                       const VerifyOptions& options = {});

struct RepairOptions {
  // Empty: rebuild in place (a damaged piece is kept as NAME.bad).
  // Otherwise the rebuilt pieces go there and the set is left as it is.
  std::string output_dir;
  // Asked once, before the first byte is written, with the files a repair
  // would replace (an old NAME.bad, a piece in output_dir); true replaces
  // them. Without it, such a file is an error.
  std::function<bool(const std::vector<std::string>&)> confirm_replace;
  Progress progress;  // bytes read / the total of both passes
  uint64_t memory_limit = kDefaultMemoryLimit;
  unsigned threads = 2;
};

struct RepairResult {
  bool ok = false;     // every piece matches now (or did already)
  std::string error;   // names the file and the cause
  VerifyReport before;
  std::vector<std::string> rebuilt;   // paths written
  std::vector<std::string> kept_bad;  // damaged pieces moved aside
};

// Rebuilds what is missing, short or damaged. Each rebuilt piece is
// written as NAME.part and put in place once its MD5 matches; when not
// everything can be rebuilt, nothing on disk changes.
RepairResult RepairSet(const std::string& par2_path,
                       const RepairOptions& options = {});

}  // namespace pvx::par2
