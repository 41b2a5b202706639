// parvex's own message helpers: the "parvex: " prefix on every line, once,
// and counts with the right English number.
#include <gtest/gtest.h>

#include "cli/cli_platform.h"

namespace pvx {
namespace {

TEST(CliTextPrefix, EveryLineOnce) {
  EXPECT_EQ(Prefixed("x.c00: No such file"), "parvex: x.c00: No such file");
  EXPECT_EQ(Prefixed("x is 3 KB.\nThere is no need to cut it."),
            "parvex: x is 3 KB.\nparvex: There is no need to cut it.");
  EXPECT_EQ(Prefixed("parvex: standard output: Broken pipe"),
            "parvex: standard output: Broken pipe");
  EXPECT_EQ(Prefixed("a\nparvex: b"), "parvex: a\nparvex: b");
  EXPECT_EQ(Prefixed(""), "parvex: ");
  // Only a prefix at the very start counts as one.
  EXPECT_EQ(Prefixed(" parvex: x"), "parvex:  parvex: x");
  EXPECT_EQ(Prefixed("parvex:x"), "parvex: parvex:x");
}

TEST(CliTextCount, SingularOnlyForOne) {
  EXPECT_EQ(Count(Lang::kEnglish, 0, "piece", "pieces", "個"), "0 pieces");
  EXPECT_EQ(Count(Lang::kEnglish, 1, "piece", "pieces", "個"), "1 piece");
  EXPECT_EQ(Count(Lang::kEnglish, 2, "piece", "pieces", "個"), "2 pieces");
  EXPECT_EQ(Count(Lang::kEnglish, 11, "byte", "bytes", "バイト"), "11 bytes");
  EXPECT_EQ(Count(Lang::kEnglish, 4294967295u, "byte", "bytes", "バイト"),
            "4294967295 bytes");
  EXPECT_EQ(Count(Lang::kJapanese, 1, "byte", "bytes", "バイト"), "1 バイト");
  EXPECT_EQ(Count(Lang::kJapanese, 2, "byte", "bytes", "バイト"), "2 バイト");
}

}  // namespace
}  // namespace pvx
