// Writes PAR2 recovery data for a set of pieces: an index file STEM.par2
// (the Main packet, a File Description and an Input File Slice Checksum
// packet for every piece, a Creator packet) and recovery files named as
// par2cmdline names its own (STEM.vol0+1.par2, STEM.vol1+2.par2, ...),
// each holding its recovery slices and a copy of the index's packets.
#pragma once

#include <stdint.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "integrity/par2_checksums.h"
#include "integrity/par2_engine.h"
#include "integrity/par2_format.h"

namespace pvx::par2 {

struct CreateOptions {
  // The pieces, in set order, all in the folder of `index`.
  std::vector<std::string> pieces;
  std::string index;  // the path of STEM.par2
  uint32_t recovery_slices = 0;
  // 0: the largest piece rounded up to a multiple of 4, so that one
  // recovery slice rebuilds one piece. Otherwise a multiple of 4.
  uint64_t slice_size = 0;
  // The Creator packet's client; empty: "Parvex " and the version.
  std::string creator;
  // Asked once, before the first byte is written, with the outputs that
  // exist already; true replaces them (once the new ones are complete).
  // Without it, an existing output is an error.
  std::function<bool(const std::vector<std::string>&)> confirm_replace;
  // Checksums of pieces taken while they were written, in any order. A
  // piece that is still the file one of them was taken of (device, inode,
  // size, time of last change), and whose slices they fit, is not hashed
  // again: it is read only for the recovery slices. The others are hashed
  // as they are read.
  std::vector<TakenChecksums> known;
  Progress progress;  // bytes of the pieces read / their total
  uint64_t memory_limit = kDefaultMemoryLimit;
  unsigned threads = 2;
};

struct CreateResult {
  bool ok = false;
  std::string error;                 // names the file and the cause
  std::vector<std::string> written;  // the index first
  uint64_t slice_size = 0;
  Md5 set_id{};
};

CreateResult CreateRecovery(const CreateOptions& options);

// One recovery file: its path, first exponent and number of slices.
struct VolumePlan {
  std::string path;
  uint32_t first = 0;
  uint32_t count = 0;
};
// The recovery files for `slices` recovery slices beside index (slices 1,
// 2, 4, ... per file, the last one taking what is left).
std::vector<VolumePlan> PlanVolumes(const std::string& index, uint32_t slices);
// Every file CreateRecovery writes, the index first.
std::vector<std::string> OutputNames(const std::string& index, uint32_t slices);

// "N" or "N%" (that share of `pieces`, rounded up) as a number of recovery
// slices; false with *error otherwise.
bool ParseRecoveryAmount(std::string_view text, uint32_t pieces,
                         uint32_t* slices, std::string* error);

}  // namespace pvx::par2
