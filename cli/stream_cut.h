// `parvex cut - --name NAME`: cutting a stream whose length is known only
// when it ends.
#pragma once

#include <stdint.h>

#include <string>

#include "cli/cli_platform.h"
#include "integrity/digest.h"

namespace pvx {

// Cuts what arrives on descriptor fd into the pieces a cut of a file named
// name with the same bytes makes (byte for byte), in folder (empty: the
// current folder; otherwise ending in '/'). Piece 0 is written first with
// a SourceSize of 0 and gets its header again, with the size that arrived,
// once the input has ended (classic, with the record, or "@PARVEX+" from
// 4 GiB on); it takes its name last. A stream that needs more pieces than
// the platform's PieceLimit fails after naming the pieces written so far.
// Returns an EngineResult (engines.h).
// What a stream cut hashes itself for the checksum list: the bytes that
// arrived, and piece 0 (whose header is written again at the end).
struct StreamDigests {
  bool wanted = false;     // set by the caller: take them
  Sha256 source = {};
  std::string piece0;      // its path
  Sha256 piece0_digest = {};
};

int CutStream(CliPlatform& p, int fd, const std::string& name,
              uint32_t piece_size, const std::string& folder, bool self_join,
              StreamDigests* digests, Failure* io);

}  // namespace pvx
