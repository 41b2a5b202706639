// A cut's arithmetic: pieces for a size, whether they fit in one set, the
// order of the pieces put in place.
#include "engines/cut_plan.h"

#include <gtest/gtest.h>

#include "format/piece_format.h"

namespace pvx {
namespace {

TEST(CutPlan, PiecesCountPieceZerosHead) {
  // 1000 data bytes and 284 head bytes in pieces of 500: 3 pieces.
  EXPECT_EQ(PiecesOfCut(1000, 500, kHeaderSize), 3u);
  // Exactly full pieces make no empty one after them.
  EXPECT_EQ(PiecesOfCut(716, 500, kHeaderSize), 2u);
  EXPECT_EQ(PiecesOfCut(717, 500, kHeaderSize), 3u);
  // Past 4 GiB the count does not wrap.
  EXPECT_EQ(PiecesOfCut(uint64_t{1} << 40, 0xFFFFFFFFu, 0), 257u);
}

TEST(CutPlan, ACutWithinTheLimitFits) {
  const SetFit fit = FitInOneSet(10000, 1000, kHeaderSize, 11);
  EXPECT_TRUE(fit.fits);
  // A source no larger than a piece always fits, whatever the limit.
  EXPECT_TRUE(FitInOneSet(1000, 1000, kHeaderSize, 1).fits);
}

TEST(CutPlan, ACutPastTheLimitNamesTheSmallestSizeThatFits) {
  // 10284 bytes in pieces of 1000 make 11 pieces; 10 need 1029 each.
  const SetFit fit = FitInOneSet(10000, 1000, kHeaderSize, 10);
  EXPECT_FALSE(fit.fits);
  EXPECT_EQ(fit.pieces, 11u);
  EXPECT_EQ(fit.smallest, 1029u);
  EXPECT_EQ(PiecesOfCut(10000, static_cast<uint32_t>(fit.smallest),
                        kHeaderSize),
            10u);
  EXPECT_EQ(PiecesOfCut(10000, static_cast<uint32_t>(fit.smallest - 1),
                        kHeaderSize),
            11u);
}

TEST(CutPlan, ASourceNoPieceSizeFitsSaysSo) {
  // 10,000 pieces of 4 GiB less a byte hold less than this.
  const uint64_t source = 0xFFFFFFFFull * 10000 + 1;
  const SetFit fit = FitInOneSet(source, 0xFFFFFFFFu, kHeaderSize, 10000);
  EXPECT_FALSE(fit.fits);
  EXPECT_GT(fit.smallest, uint64_t{UINT32_MAX});
}

TEST(CutPlan, PiecesInOrderPutPieceZeroFirstAndNumbersByValue) {
  EXPECT_EQ(CutPiecesInOrder({"d/b.c100", "d/b.c02", "d/b.c99", "d/b.c00",
                              "d/b.c10"}),
            (std::vector<std::string>{"d/b.c00", "d/b.c02", "d/b.c10",
                                      "d/b.c99", "d/b.c100"}));
  // The program of a self-joining set is piece 0.
  EXPECT_EQ(CutPiecesInOrder({"_sb.c02", "_sb.c01", "_sb.exe"}),
            (std::vector<std::string>{"_sb.exe", "_sb.c01", "_sb.c02"}));
  EXPECT_TRUE(CutPiecesInOrder({}).empty());
}

}  // namespace
}  // namespace pvx
