// Checking a set against its checksum list: which lists count as a check
// of the set at all, what a join checks, the list a cut writes, and list
// readings that must not carry over.
#include "integrity/checksums.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "engines/engines.h"
#include "engines/stream_cut.h"
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
class SetLists : public ::testing::Test {
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

TEST_F(SetLists, TheListLiesBesidePieceZeroUnderItsStem) {
  EXPECT_EQ(ListPathFor(dir / "base.c00"), dir / "base.sha256");
  EXPECT_EQ(ListPathFor(dir / "_sBase.exe"), dir / "_sBase.sha256");
  EXPECT_EQ(ListPathFor("a.b.c00"), "a.b.sha256");
  EXPECT_EQ(ListPathFor("noext"), "noext.sha256");
  EXPECT_EQ(ListPathFor("dir.d/.hidden"), "dir.d/.hidden.sha256");
}

TEST_F(SetLists, AListWithOneOfThePiecesIsACheck) {
  WriteText(dir / "base.sha256",
            Hex("x") + "  base.bin\n" + Hex("y") + "  base.c01\n");
  EXPECT_EQ(LoadSetList(Lang::kEnglish, survey, dir / "base.sha256", &list),
            "");
  ASSERT_NE(list.Find("base.c01"), nullptr);
  EXPECT_EQ(ToHex(list.Find("base.c01")->digest), Hex("y"));
}

TEST_F(SetLists, AListNamingNoPieceIsNoCheck) {
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

TEST_F(SetLists, AMalformedOrMissingListSaysWhy) {
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

// ---- the list a join checks against ---------------------------------------

TEST_F(SetLists, NoListBesidePieceZeroIsNoneFoundAndANamedOneMustBeThere) {
  FakePlatform p;
  SetList none = FindSetList(p, survey, "");
  EXPECT_FALSE(none.found);
  EXPECT_EQ(none.path, dir / "base.sha256");
  SetList named = FindSetList(p, survey, dir / "other.sha256");
  EXPECT_TRUE(named.found);
  EXPECT_EQ(named.problem, dir / "other.sha256: No such file or directory");
}

TEST_F(SetLists, AJoinChecksWhatTheListCoversAndNamesTheRest) {
  // c01 and the output are not listed; c00 and c02 are.
  WriteText(dir / "base.sha256",
            Hex("a") + "  base.c00\n" + Hex("c") + "  base.c02\n");
  FakePlatform p;
  const SetList list = FindSetList(p, survey, "");
  ASSERT_TRUE(list.found);
  ASSERT_EQ(list.problem, "");
  const JoinCheck check = CheckForJoin(survey, list);
  EXPECT_EQ(check.list, dir / "base.sha256");
  ASSERT_EQ(check.pieces.size(), 2u);
  EXPECT_EQ(ToHex(check.pieces.at(dir / "base.c00")), Hex("a"));
  EXPECT_EQ(ToHex(check.pieces.at(dir / "base.c02")), Hex("c"));
  EXPECT_FALSE(check.has_output);
  EXPECT_EQ(check.uncovered,
            (std::vector<std::string>{dir / "base.c01", "base.bin"}));

  WriteText(dir / "base.sha256", Hex("a") + "  base.c00\n" + Hex("b") +
                                     "  base.c01\n" + Hex("c") +
                                     "  base.c02\n" + Hex("s") + "  base.bin\n");
  const JoinCheck all = CheckForJoin(survey, FindSetList(p, survey, ""));
  EXPECT_TRUE(all.uncovered.empty());
  EXPECT_TRUE(all.has_output);
  EXPECT_EQ(ToHex(all.output), Hex("s"));
}

// ---- the list a cut writes ------------------------------------------------

// A cut through the digesting platform, then its list.
class CutListTest : public ::testing::Test {
 protected:
  CutListTest() { fake.lang = Lang::kEnglish; }
  // The list as sha256sum would check it: every line's digest against the
  // file it names beside it.
  void ExpectListMatchesTheFiles(const std::string& list,
                                 const std::string& source) {
    std::vector<uint8_t> bytes = test::ReadFile(list);
    ChecksumList parsed;
    ListError why;
    ASSERT_TRUE(parsed.Parse(std::string(bytes.begin(), bytes.end()), list,
                             &why));
    std::vector<std::string> names;
    for (const ListEntry& e : parsed.entries()) {
      names.push_back(e.name);
      const std::string path =
          e.name == "base.bin" ? source : dir / e.name;
      std::vector<uint8_t> file = test::ReadFile(path);
      EXPECT_EQ(ToHex(e.digest), ToHex(Digest::Of(file.data(), file.size())))
          << e.name;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"base.c00", "base.c01",
                                               "base.c02", "base.bin"}));
  }
  std::vector<std::string> Pieces() const {
    return {dir / "base.c00", dir / "base.c01", dir / "base.c02"};
  }
  test::TempDir dir;
  FakePlatform fake;
  HashingPlatform p{fake};
  Failure io = {};
};

TEST_F(CutListTest, AFileCutListsItsPiecesAndItsSource) {
  WriteFile(dir / "src.bin", test::Pattern(10000, 21));
  p.StartDigests();
  ASSERT_EQ(CutFile(p, 4000, (dir / "src.bin").c_str(), (dir.path() + "/").c_str(),
                    false, false, &io, "base.bin"),
            kDone);
  const CutList list =
      WriteCutList(p, Pieces(), "base.bin", dir / "src.bin", false);
  ASSERT_EQ(list.outcome, CutList::kWritten) << list.why.text;
  EXPECT_EQ(list.path, dir / "base.sha256");
  ExpectListMatchesTheFiles(list.path, dir / "src.bin");
}

TEST_F(CutListTest, AStreamCutListsPieceZeroAsItStandsAtTheEnd) {
  const std::vector<uint8_t> data = test::Pattern(10000, 22);
  WriteFile(dir / "data", data);
  const int saved = dup(0);
  const int in = open((dir / "data").c_str(), O_RDONLY);
  dup2(in, 0);
  close(in);
  p.StartDigests();
  const int result =
      CutStream(p, "base.bin", 4000, dir.path() + "/", false, &io).result;
  const CutList list = WriteCutList(p, Pieces(), "base.bin", "-", false);
  dup2(saved, 0);
  close(saved);
  ASSERT_EQ(result, kDone) << io.text;
  ASSERT_EQ(list.outcome, CutList::kWritten) << list.why.text;
  ExpectListMatchesTheFiles(list.path, dir / "data");
}

TEST_F(CutListTest, NothingIsWrittenWithoutDigestsOrOverTheSource) {
  WriteFile(dir / "base.sha256", test::Pattern(10000, 23));
  EXPECT_EQ(WriteCutList(p, Pieces(), "base.bin", dir / "base.sha256", false)
                .outcome,
            CutList::kNoDigests)
      << "digests never started";
  // The source itself stands where the list goes.
  p.StartDigests();
  ASSERT_EQ(CutFile(p, 4000, (dir / "base.sha256").c_str(), "", false, false,
                    &io, "base.bin"),
            kDone);
  EXPECT_EQ(WriteCutList(p, Pieces(), "base.bin", dir / "base.sha256", false)
                .outcome,
            CutList::kIsSource);
  EXPECT_EQ(test::ReadFile(dir / "base.sha256"), test::Pattern(10000, 23));
}

TEST_F(CutListTest, AListThatAppearedMeanwhileIsReplacedOnlyWithConsent) {
  WriteFile(dir / "src.bin", test::Pattern(10000, 24));
  p.StartDigests();
  ASSERT_EQ(CutFile(p, 4000, (dir / "src.bin").c_str(), (dir.path() + "/").c_str(),
                    false, false, &io, "base.bin"),
            kDone);
  WriteText(dir / "base.sha256", "mine\n");
  fake.answers = {false};
  const CutList kept =
      WriteCutList(p, Pieces(), "base.bin", dir / "src.bin", false);
  EXPECT_EQ(kept.outcome, CutList::kFailed);
  EXPECT_EQ(fake.Questions(), std::vector<std::string>{
                                  "base.sha256 already exists.\nOverwrite it?"});
  EXPECT_EQ(test::ReadFile(dir / "base.sha256"),
            (std::vector<uint8_t>{'m', 'i', 'n', 'e', '\n'}));
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
