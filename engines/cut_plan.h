// A cut's arithmetic, decided before anything is written: the piece size
// for a number of pieces, how many pieces a size makes, whether they fit
// in one set, and the order of the pieces a cut put in place.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

namespace pvx {

// The smallest piece size that cuts a source of source bytes, with head
// bytes in front of piece 0's data, into exactly n pieces (the last one may
// be shorter), at least head. 0 when no size does: n is 0, or n pieces
// would leave one empty, or the size would reach 4 GiB.
uint32_t PieceSizeFor(uint64_t source, uint32_t head, uint32_t n);

// The pieces a cut of source bytes, head bytes in front of piece 0's data,
// makes with pieces of piece_size bytes (not 0).
uint64_t PiecesOfCut(uint64_t source, uint32_t piece_size, uint32_t head);

// Whether a cut of source bytes (head in front) with pieces of piece_size
// bytes stays within limit pieces, the most a set holds.
struct SetFit {
  bool fits = true;
  uint64_t pieces = 0;    // the pieces the cut would make (not fits)
  // The smallest piece size whose cut fits (not fits); above UINT32_MAX
  // when even the largest piece size makes too many.
  uint64_t smallest = 0;
};
SetFit FitInOneSet(uint64_t source, uint32_t piece_size, uint32_t head,
                   uint64_t limit);

// The pieces a cut put in place, piece 0 (STEM.c00 or the program
// STEM.exe) first, then by number (c99 before c100).
std::vector<std::string> CutPiecesInOrder(std::vector<std::string> pieces);

}  // namespace pvx
