// Checking a set against its checksum list: which lists count as a check
// of the set at all, and list readings that must not carry over.
#include "integrity/checksums.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "engines/engines.h"
#include "integrity/sha256_list.h"
#include "tests/fake_platform.h"
#include "tests/test_util.h"

namespace pvx {
namespace {

using test::WriteFile;

void WriteText(const std::string& path, const std::string& text) {
  WriteFile(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::string Hex(const std::string& s) {
  return ToHex(Digest::Of(s.data(), s.size()));
}

// base.bin, 10,000 bytes in pieces of 4,000: base.c00 .. base.c02.
class SetList : public ::testing::Test {
 protected:
  void SetUp() override {
    WriteFile(dir / "base.bin", test::Pattern(10000, 2));
    FakePlatform p;
    Failure io = {};
    ASSERT_EQ(CutFile(p, 4000, (dir / "base.bin").c_str(), "", false, false,
                      &io),
              kDone);
    p.lang = Lang::kEnglish;
    ASSERT_TRUE(SurveySet(p, (dir / "base.c00").c_str(), &survey, &io))
        << io.text;
    ASSERT_EQ(survey.pieces.size(), 3u);
  }
  test::TempDir dir;
  SetSurvey survey;
  ChecksumList list;
};

TEST_F(SetList, TheListLiesBesidePieceZeroUnderItsStem) {
  EXPECT_EQ(ListPathFor(dir / "base.c00"), dir / "base.sha256");
  EXPECT_EQ(ListPathFor(dir / "_sBase.exe"), dir / "_sBase.sha256");
  EXPECT_EQ(ListPathFor("a.b.c00"), "a.b.sha256");
  EXPECT_EQ(ListPathFor("noext"), "noext.sha256");
  EXPECT_EQ(ListPathFor("dir.d/.hidden"), "dir.d/.hidden.sha256");
}

TEST_F(SetList, AListWithOneOfThePiecesIsACheck) {
  WriteText(dir / "base.sha256",
            Hex("x") + "  base.bin\n" + Hex("y") + "  base.c01\n");
  EXPECT_EQ(LoadSetList(Lang::kEnglish, survey, dir / "base.sha256", &list),
            "");
  ASSERT_NE(list.Find("base.c01"), nullptr);
  EXPECT_EQ(ToHex(list.Find("base.c01")->digest), Hex("y"));
}

TEST_F(SetList, AListNamingNoPieceIsNoCheck) {
  // Made for another set, or naming only the result: passing it would
  // call an unchecked set checked.
  WriteText(dir / "base.sha256", Hex("x") + "  base.bin\n" + Hex("y") +
                                     "  other.c00\n" + Hex("z") +
                                     "  BASE.C01\n");
  EXPECT_EQ(LoadSetList(Lang::kEnglish, survey, dir / "base.sha256", &list),
            dir / "base.sha256: names none of the pieces of " +
                dir / "base.c00");
  std::string ja =
      LoadSetList(Lang::kJapanese, survey, dir / "base.sha256", &list);
  EXPECT_EQ(ja.rfind(dir / "base.sha256: ", 0), 0u) << ja;
  EXPECT_NE(ja.find(dir / "base.c00"), std::string::npos) << ja;
}

TEST_F(SetList, AMalformedOrMissingListSaysWhy) {
  WriteText(dir / "base.sha256", Hex("x") + "  base.c00\nnot a line\n");
  EXPECT_EQ(LoadSetList(Lang::kEnglish, survey, dir / "base.sha256", &list),
            DescribeListError(
                ListError{ListError::Kind::kBadFormat, dir / "base.sha256",
                          2, 0, ""},
                Lang::kEnglish));
  EXPECT_EQ(
      LoadSetList(Lang::kEnglish, survey, dir / "gone.sha256", &list),
      dir / "gone.sha256: No such file or directory");
}

// ---- ChecksumList: what one reading leaves for the next -----------------

TEST(ListReuse, ASecondReadingReplacesTheFirst) {
  ChecksumList list;
  ListError why;
  ASSERT_TRUE(list.Parse(Hex("a") + "  a.c00\n" + Hex("b") + "  b.c00\n",
                         "one", &why));
  ASSERT_TRUE(list.Parse(Hex("c") + "  a.c00\n", "two", &why));
  ASSERT_EQ(list.entries().size(), 1u);
  EXPECT_EQ(ToHex(list.Find("a.c00")->digest), Hex("c"));
  EXPECT_EQ(list.Find("b.c00"), nullptr);
  // Same digest again under the first reading's name is no conflict now.
  ASSERT_TRUE(list.Parse(Hex("a") + "  a.c00\n", "three", &why));
}

TEST(ListReuse, AFailedReadingKeepsNothingOfTheReadingBefore) {
  test::TempDir dir;
  ChecksumList list;
  ListError why;
  ASSERT_TRUE(list.Parse(Hex("b") + "  b.c00\n", "good", &why));
  EXPECT_FALSE(list.Parse(Hex("a") + "  a.c00\nbroken\n", "bad", &why));
  EXPECT_EQ(list.Find("b.c00"), nullptr);

  ASSERT_TRUE(list.Parse(Hex("b") + "  b.c00\n", "good", &why));
  EXPECT_FALSE(list.Load(dir / "missing.sha256", &why));
  EXPECT_TRUE(list.entries().empty());
  EXPECT_EQ(list.Find("b.c00"), nullptr);
}

TEST(ListLimits, AListOverSixteenMebibytesIsRefusedUnread) {
  test::TempDir dir;
  const std::string path = dir / "huge.sha256";
  WriteText(path, Hex("a") + "  a.c00\n");
  ASSERT_EQ(truncate(path.c_str(), 16 * 1024 * 1024 + 1), 0);
  ChecksumList list;
  ListError why;
  EXPECT_FALSE(list.Load(path, &why));
  EXPECT_EQ(why.kind, ListError::Kind::kTooLarge);
  EXPECT_EQ(why.line, 0u);
  ASSERT_EQ(truncate(path.c_str(), 16 * 1024 * 1024), 0);
  EXPECT_FALSE(list.Load(path, &why)) << "NULs after the line";
  EXPECT_EQ(why.kind, ListError::Kind::kBinary) << "but not too large";
}

TEST(ListRead, NamesKeepInnerAndTrailingBlanks) {
  ChecksumList list;
  ListError why;
  ASSERT_TRUE(list.Parse(Hex("a") + "  my file .c00 \n" + Hex("b") +
                             " *  two.c01\n",
                         "l", &why));
  EXPECT_NE(list.Find("my file .c00 "), nullptr);
  EXPECT_EQ(list.Find("my file .c00"), nullptr);
  EXPECT_NE(list.Find("  two.c01"), nullptr);
}

}  // namespace
}  // namespace pvx
