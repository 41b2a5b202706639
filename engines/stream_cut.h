// The cut of a stream (standard input), whose length is known only when it
// ends.
#pragma once

#include <stdint.h>

#include <string>

#include "platform/platform.h"

namespace pvx {

struct StreamCutResult {
  int result = 0;  // an EngineResult (engines.h)
  // After a failure: the first and the last piece that stand complete
  // under their names (folder included), or empty when none does.
  std::string first_written;
  std::string last_written;
};

// Cuts what arrives on the platform's standard input into the pieces a
// cut of a file named name with the same bytes makes (byte for byte), in
// folder (empty: the current folder; otherwise ending in '/'). Piece 0 is
// written first with a SourceSize of 0 and gets its header again, with the
// size that arrived, once the input has ended (classic, with the record,
// or "@PARVEX+" from 4 GiB on); it takes its name last. A name that the
// header of a stream of 4 GiB could not carry is refused before anything
// is read. A stream that needs more pieces than the platform's PieceLimit
// fails once it has filled them.
StreamCutResult CutStream(Platform& p, const std::string& name,
                          uint32_t piece_size, const std::string& folder,
                          bool self_join, Failure* io);

}  // namespace pvx
