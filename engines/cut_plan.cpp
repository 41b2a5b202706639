#include "engines/cut_plan.h"

#include <algorithm>

namespace pvx {

uint32_t PieceSizeFor(uint64_t source, uint32_t head, uint32_t n) {
  if (n == 0) return 0;
  const uint64_t total = source + head;
  // Fewer pieces as the size grows: the smallest size giving at most n is
  // the only candidate for exactly n.
  uint64_t size = (total + n - 1) / n;
  if (size < head) size = head;
  if (size == 0 || size > UINT32_MAX) return 0;
  if ((total + size - 1) / size != n) return 0;
  return static_cast<uint32_t>(size);
}

uint64_t PiecesOfCut(uint64_t source, uint32_t piece_size, uint32_t head) {
  const uint64_t total = source + head;
  return (total + piece_size - 1) / piece_size;
}

SetFit FitInOneSet(uint64_t source, uint32_t piece_size, uint32_t head,
                   uint64_t limit) {
  SetFit fit;
  if (source <= piece_size) return fit;
  const uint64_t pieces = PiecesOfCut(source, piece_size, head);
  if (pieces <= limit) return fit;
  fit.fits = false;
  fit.pieces = pieces;
  fit.smallest = (source + head + limit - 1) / limit;
  return fit;
}

std::vector<std::string> CutPiecesInOrder(std::vector<std::string> pieces) {
  auto is_program = [](const std::string& path) {
    return path.size() > 4 && path.compare(path.size() - 4, 4, ".exe") == 0;
  };
  // Names of one stem: a longer number is a larger one (c99 < c100).
  std::sort(pieces.begin(), pieces.end(),
            [&](const std::string& a, const std::string& b) {
              if (is_program(a) != is_program(b)) return is_program(a);
              if (a.size() != b.size()) return a.size() < b.size();
              return a < b;
            });
  return pieces;
}

}  // namespace pvx
