// parvex's own message helpers: the "parvex: " prefix on every line, once,
// and counts with the right English number.
#include <gtest/gtest.h>

#include "cli/cli_platform.h"
#include "engines/own_texts.h"

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
  EXPECT_EQ(Count(Lang::kEnglish, 0, "piece", "pieces"), "0 pieces");
  EXPECT_EQ(Count(Lang::kEnglish, 1, "piece", "pieces"), "1 piece");
  EXPECT_EQ(Count(Lang::kEnglish, 2, "piece", "pieces"), "2 pieces");
  EXPECT_EQ(Count(Lang::kEnglish, 11, "byte", "bytes"), "11 bytes");
  EXPECT_EQ(Count(Lang::kEnglish, 4294967295u, "byte", "bytes"),
            "4294967295 bytes");
  EXPECT_EQ(Count(Lang::kEnglish, uint64_t{1} << 40, "byte", "bytes"),
            "1099511627776 bytes");
  // Japanese has one form, from the catalogue, for every count.
  EXPECT_EQ(Count(Lang::kJapanese, 1, "byte", "bytes"), "1 バイト");
  EXPECT_EQ(Count(Lang::kJapanese, 2, "byte", "bytes"), "2 バイト");
  EXPECT_EQ(Count(Lang::kJapanese, uint64_t{1} << 40, "piece", "pieces"),
            "1099511627776 個の分割ファイル");
}

// The catalogue answers for Japanese only; English is what the sources say,
// a text it lacks stays English, and the same English can say two things.
TEST(CliTextCatalogue, LooksUpJapaneseOnly) {
  EXPECT_STREQ(Tr(Lang::kEnglish, "missing"), "missing");
  EXPECT_STREQ(Tr(Lang::kJapanese, "no checksum lines"),
               "チェックサムの行がありません");
  EXPECT_STREQ(Tr(Lang::kJapanese, "a text no catalogue has"),
               "a text no catalogue has");
  EXPECT_STRNE(Tr(Lang::kJapanese, "missing"),
               TrC(Lang::kJapanese, "piece state", "missing"));
  EXPECT_STREQ(TrC(Lang::kEnglish, "piece state", "missing"), "missing");
  EXPECT_STREQ(TrC(Lang::kJapanese, "no such context", "missing"), "missing");
  EXPECT_EQ(TrF(Lang::kJapanese, "line %u: ", 7u), "7 行目: ");
  EXPECT_EQ(TrF(Lang::kEnglish, "line %u: ", 7u), "line 7: ");
}

}  // namespace
}  // namespace pvx
