// Finding and surveying a set: which set a name selects, the stub image in
// front of a self-joining piece 0, what a survey finds missing, short or
// surplus, and the lines that tell the user.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>
#include <vector>

#include "engines/engines.h"
#include "engines/piece_set.h"
#include "format/piece_format.h"
#include "tests/fake_platform.h"
#include "tests/test_util.h"

namespace pvx {
namespace {

using test::Pattern;
using test::ReadFile;
using test::WriteFile;
using Bytes = std::vector<uint8_t>;

// base.bin: 10,000 bytes cut into pieces of 4,000 gives
//   base.c00 4,000 (284 header + 3,716 data), base.c01 4,000, base.c02 2,284.
// Self-joining with the 1,536-byte test stub, _sBase.exe holds the stub,
// the header and 2,180 data bytes, then _sBase.c01 4,000, _sBase.c02 3,820.
class SetSurveyTest : public ::testing::Test {
 protected:
  void SetUp() override { p.lang = Lang::kEnglish; }
  void CutBase(bool self_join = false) {
    WriteFile(dir / "base.bin", Pattern(10000, 7));
    FakePlatform cutter;
    cutter.has_stub = self_join;
    cutter.stub = test::FakeStub();
    Failure io = {};
    ASSERT_EQ(CutFile(cutter, 4000, (dir / "base.bin").c_str(), "",
                      self_join, false, &io),
              kDone)
        << io.text;
  }
  SetLocation Locate(const std::string& name) {
    SetLocation at;
    EXPECT_TRUE(LocateSet(p, (dir / name).c_str(), &at)) << name;
    return at;
  }
  SetSurvey Survey(const std::string& name) {
    SetSurvey s;
    Failure why = {};
    EXPECT_TRUE(SurveySet(p, (dir / name).c_str(), &s, &why)) << why.text;
    return s;
  }
  std::vector<std::string> Names(const std::vector<SurveyPiece>& pieces) {
    std::vector<std::string> names;
    for (const SurveyPiece& piece : pieces) names.push_back(piece.name);
    return names;
  }
  void Resize(const std::string& name, off_t length) {
    ASSERT_EQ(truncate((dir / name).c_str(), length), 0) << name;
  }
  std::string Folder() const { return dir.path() + "/"; }

  test::TempDir dir;
  FakePlatform p;
};

// ---- LocateSet ---------------------------------------------------------

TEST_F(SetSurveyTest, AnyNameOfAPlainSetSelectsIt) {
  CutBase();
  for (const char* name : {"base.bin", "base.c00", "base.c01", "base.c05"}) {
    SetLocation at = Locate(name);
    EXPECT_FALSE(at.self_joining) << name;
    EXPECT_EQ(at.folder, Folder()) << name;
    EXPECT_EQ(at.stem, "base") << name;
    EXPECT_EQ(at.piece0, dir / "base.c00") << name;
  }
}

TEST_F(SetSurveyTest, TheSourcesNameFindsItsSelfJoiningSet) {
  CutBase(true);
  for (const char* name : {"base.bin", "base.c02", "_sBase.c01"}) {
    SetLocation at = Locate(name);
    EXPECT_TRUE(at.self_joining) << name;
    EXPECT_EQ(at.stem, "_sBase") << name;
    EXPECT_EQ(at.piece0, dir / "_sBase.exe") << name;
  }
}

TEST_F(SetSurveyTest, AnExeIsPieceZeroUnlessAPlainSetLiesBesideAHeaderlessOne) {
  CutBase(true);
  // A program carrying a header is piece 0 even with a c00 beside it.
  WriteFile(dir / "_sBase.c00", Pattern(5000));
  SetLocation at = Locate("_sBase.exe");
  EXPECT_TRUE(at.self_joining);
  EXPECT_EQ(at.piece0, dir / "_sBase.exe");

  // A plain program beside a plain set: the name selects the plain set.
  WriteFile(dir / "tool.exe", test::FakeStub());
  WriteFile(dir / "tool.c00", Pattern(5000));
  at = Locate("tool.exe");
  EXPECT_FALSE(at.self_joining);
  EXPECT_EQ(at.stem, "tool");
  EXPECT_EQ(at.piece0, dir / "tool.c00");

  // Nothing beside it: the program is taken as piece 0, header or not, so
  // that the survey can say it is no set.
  WriteFile(dir / "lone.EXE", test::FakeStub());
  at = Locate("lone.EXE");
  EXPECT_TRUE(at.self_joining);
  EXPECT_EQ(at.stem, "lone");
  EXPECT_EQ(at.piece0, dir / "lone.EXE");
}

TEST_F(SetSurveyTest, NoSetAtAllFallsBackToThePlainPieceZero) {
  SetLocation at = Locate("nothing.bin");
  EXPECT_FALSE(at.self_joining);
  EXPECT_EQ(at.piece0, dir / "nothing.c00");
  SetSurvey s;
  Failure why = {};
  EXPECT_FALSE(SurveySet(p, (dir / "nothing.bin").c_str(), &s, &why));
  EXPECT_NE(std::string(why.text).find(dir / "nothing.c00"),
            std::string::npos)
      << why.text;
}

// ---- ProbeStubImage ----------------------------------------------------

TEST_F(SetSurveyTest, ProbeMeasuresOnlyProgramImages) {
  uint32_t size = 99;
  Failure why = {};
  WriteFile(dir / "text.exe", Pattern(4000));
  ASSERT_TRUE(ProbeStubImage(p, (dir / "text.exe").c_str(), &size, &why));
  EXPECT_EQ(size, 0u) << "no program";

  Bytes stub = test::FakeStub();
  ASSERT_EQ(stub.size(), 1536u);
  Bytes program = stub;
  program.insert(program.end(), 700, 0x55);  // what lies behind the image
  WriteFile(dir / "stub.exe", program);
  ASSERT_TRUE(ProbeStubImage(p, (dir / "stub.exe").c_str(), &size, &why));
  EXPECT_EQ(size, 1536u);

  // Cut short inside its last section: the section table still says 1,536.
  WriteFile(dir / "short.exe", Bytes(stub.begin(), stub.begin() + 1000));
  ASSERT_TRUE(ProbeStubImage(p, (dir / "short.exe").c_str(), &size, &why));
  EXPECT_EQ(size, 1536u);
  // Cut short inside its headers: nothing to measure.
  WriteFile(dir / "stump.exe", Bytes(stub.begin(), stub.begin() + 300));
  ASSERT_TRUE(ProbeStubImage(p, (dir / "stump.exe").c_str(), &size, &why));
  EXPECT_EQ(size, 0u);

  EXPECT_FALSE(ProbeStubImage(p, (dir / "gone.exe").c_str(), &size, &why));
  EXPECT_NE(std::string(why.text).find(dir / "gone.exe"), std::string::npos)
      << why.text;
}

TEST_F(SetSurveyTest, AProgramShorterThanItsImageIsNoSet) {
  Bytes stub = test::FakeStub();
  WriteFile(dir / "cut.exe", Bytes(stub.begin(), stub.begin() + 1000));
  SetSurvey s = Survey("cut.exe");
  EXPECT_EQ(s.problem, "cut.exe is not a PvX file.");
  EXPECT_FALSE(s.Joinable());
}

// ---- SurveySet ---------------------------------------------------------

TEST_F(SetSurveyTest, ACompleteSet) {
  CutBase();
  SetSurvey s = Survey("base.c01");
  EXPECT_EQ(s.problem, "");
  EXPECT_EQ(s.output, "base.bin");
  EXPECT_EQ(s.image, 0u);
  EXPECT_EQ(s.header.size, 10000u);
  ASSERT_EQ(Names(s.pieces),
            (std::vector<std::string>{"base.c00", "base.c01", "base.c02"}));
  const uint64_t lengths[] = {4000, 4000, 2284};
  for (size_t k = 0; k < 3; ++k) {
    EXPECT_EQ(s.pieces[k].status, SurveyPiece::kOk) << k;
    EXPECT_EQ(s.pieces[k].length, lengths[k]) << k;
    EXPECT_EQ(s.pieces[k].expected, lengths[k]) << k;
    EXPECT_EQ(s.pieces[k].path, Folder() + s.pieces[k].name);
  }
  EXPECT_EQ(s.data, 10000u);
  EXPECT_TRUE(s.beyond.empty());
  EXPECT_TRUE(s.Joinable());
  EXPECT_TRUE(PieceProblems(Lang::kEnglish, s).empty());
}

TEST_F(SetSurveyTest, MissingPiecesAreEachNamed) {
  CutBase();
  ASSERT_EQ(unlink((dir / "base.c01").c_str()), 0);
  SetSurvey s = Survey("base.bin");
  ASSERT_EQ(s.pieces.size(), 3u);
  EXPECT_EQ(s.pieces[1].status, SurveyPiece::kMissing);
  EXPECT_EQ(s.pieces[2].status, SurveyPiece::kOk);
  EXPECT_EQ(s.data, 3716u + 2284u);
  EXPECT_FALSE(s.Joinable());
  EXPECT_EQ(PieceProblems(Lang::kEnglish, s),
            std::vector<std::string>{dir / "base.c01: missing"});

  ASSERT_EQ(unlink((dir / "base.c02").c_str()), 0);
  s = Survey("base.bin");
  ASSERT_EQ(Names(s.pieces),
            (std::vector<std::string>{"base.c00", "base.c01", "base.c02"}))
      << "a missing piece counts as a whole one: the walk ends at c02";
  EXPECT_EQ(PieceProblems(Lang::kEnglish, s),
            (std::vector<std::string>{dir / "base.c01: missing",
                                      dir / "base.c02: missing"}));
  EXPECT_EQ(PieceProblems(Lang::kJapanese, s)[1],
            dir / "base.c02: 見つかりません");
}

TEST_F(SetSurveyTest, AShortPieceAndSurplusBytesAreMeasured) {
  CutBase();
  Resize("base.c01", 3000);
  SetSurvey s = Survey("base.bin");
  ASSERT_GE(s.pieces.size(), 3u);
  EXPECT_EQ(s.pieces[1].status, SurveyPiece::kShort);
  EXPECT_EQ(s.pieces[1].expected, 4000u);
  EXPECT_FALSE(s.Joinable());
  std::vector<std::string> lines = PieceProblems(Lang::kEnglish, s);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], dir / "base.c01: 3,000 bytes, where the set needs "
                            "4,000 (short)");

  Resize("base.c01", 4000);
  Resize("base.c02", 2285);
  s = Survey("base.bin");
  ASSERT_EQ(s.pieces.size(), 3u);
  EXPECT_EQ(s.pieces[2].status, SurveyPiece::kLong);
  EXPECT_EQ(s.data, 10001u);
  EXPECT_FALSE(s.Joinable());
  EXPECT_EQ(PieceProblems(Lang::kEnglish, s),
            std::vector<std::string>{
                dir / "base.c02: 2,285 bytes, where the set needs 2,284 "
                      "(too long)"});
  Resize("base.c02", 2284 + 4001);  // more than another whole piece
  s = Survey("base.bin");
  EXPECT_EQ(PieceProblems(Lang::kEnglish, s),
            std::vector<std::string>{
                dir / "base.c02: 6,285 bytes, where the set needs 2,284 "
                      "(too long)"});
}

// Known fault, kept disabled until SurveySet is mended: a short piece
// makes the walk go on as though more pieces followed, so the survey also
// calls the next, sound piece short ("needs 4,000") and a base.c03 that no
// cut of this source makes missing. Every piece but the last is whole, so
// the set's length in pieces is known from piece 0 and piece 1.
TEST_F(SetSurveyTest, AShortPieceIsTheOnlyOneNamed) {
  CutBase();
  Resize("base.c01", 3000);
  SetSurvey s = Survey("base.bin");
  EXPECT_EQ(PieceProblems(Lang::kEnglish, s),
            std::vector<std::string>{
                dir / "base.c01: 3,000 bytes, where the set needs 4,000 "
                      "(short)"});
  Resize("base.c01", 4000);
  Resize("base.c02", 1);
  s = Survey("base.bin");
  EXPECT_EQ(PieceProblems(Lang::kEnglish, s),
            std::vector<std::string>{
                dir / "base.c02: 1 byte, where the set needs 2,284 (short)"});
}

TEST_F(SetSurveyTest, AnEmptyPieceOneDoesNotStretchTheWalk) {
  // Piece 1 holds nothing and the pieces after it are gone: the walk
  // counts a missing piece as long as piece 0, not as long as piece 1.
  CutBase();
  Resize("base.c01", 0);
  ASSERT_EQ(unlink((dir / "base.c02").c_str()), 0);
  SetSurvey s = Survey("base.bin");
  ASSERT_LE(s.pieces.size(), 4u) << "the walk went on to "
                                 << s.pieces.back().name;
  EXPECT_EQ(s.pieces[1].status, SurveyPiece::kShort);
  EXPECT_EQ(s.pieces[1].expected, 4000u);
  EXPECT_EQ(s.pieces[2].status, SurveyPiece::kMissing);
  EXPECT_FALSE(s.Joinable());
}

TEST_F(SetSurveyTest, PiecesBeyondTheSetAreListedApart) {
  CutBase();
  WriteFile(dir / "base.c03", Pattern(10));
  WriteFile(dir / "base.c04", Pattern(20));
  WriteFile(dir / "base.c06", Pattern(30));  // after a gap: not looked for
  SetSurvey s = Survey("base.bin");
  EXPECT_EQ(s.pieces.size(), 3u);
  ASSERT_EQ(Names(s.beyond),
            (std::vector<std::string>{"base.c03", "base.c04"}));
  EXPECT_EQ(s.beyond[1].length, 20u);
  EXPECT_EQ(s.beyond[1].path, dir / "base.c04");
  EXPECT_TRUE(s.Joinable()) << "the set itself is whole";
}

TEST_F(SetSurveyTest, AHeaderThatCannotBeJoinedSetsTheProblem) {
  CutBase();
  Bytes c00 = ReadFile(dir / "base.c00");
  std::string bytes(c00.begin(), c00.end());
  size_t at = bytes.find("base.bin");
  ASSERT_NE(at, std::string::npos);
  c00[at + 2] = '/';  // "ba/e.bin"
  WriteFile(dir / "base.c00", c00);
  SetSurvey s = Survey("base.bin");
  EXPECT_EQ(s.output, "ba/e.bin");
  EXPECT_NE(s.problem.find("base.c00"), std::string::npos) << s.problem;
  EXPECT_NE(s.problem.find("ba/e.bin"), std::string::npos) << s.problem;
  EXPECT_FALSE(s.Joinable());

  c00[0] ^= 0xFF;  // no magic: no set
  WriteFile(dir / "base.c00", c00);
  s = Survey("base.bin");
  EXPECT_EQ(s.problem, "base.c00 is not a PvX file.");
  EXPECT_TRUE(s.pieces.empty());
  EXPECT_FALSE(s.Joinable());

  // A header that promises more than piece 0 can hold.
  WriteFile(dir / "tiny.c00", Bytes(c00.begin(), c00.begin() + 100));
  s = Survey("tiny.c00");
  EXPECT_EQ(s.problem, "tiny.c00 is not a PvX file.");
}

TEST_F(SetSurveyTest, ASelfJoiningSet) {
  CutBase(true);
  SetSurvey s = Survey("base.bin");
  EXPECT_TRUE(s.set.self_joining);
  EXPECT_EQ(s.image, 1536u);
  EXPECT_EQ(s.problem, "");
  EXPECT_EQ(s.output, "base.bin");
  ASSERT_EQ(Names(s.pieces), (std::vector<std::string>{
                                 "_sBase.exe", "_sBase.c01", "_sBase.c02"}));
  EXPECT_EQ(s.pieces[0].length, 4000u);
  EXPECT_EQ(s.pieces[2].length, 3820u);
  EXPECT_EQ(s.pieces[2].expected, 3820u);
  EXPECT_EQ(s.data, 10000u);
  EXPECT_TRUE(s.Joinable());

  Resize("_sBase.c02", 3821);
  s = Survey("_sBase.exe");
  EXPECT_EQ(PieceProblems(Lang::kEnglish, s),
            std::vector<std::string>{
                dir / "_sBase.c02: 3,821 bytes, where the set needs 3,820 "
                      "(too long)"});
}

TEST_F(SetSurveyTest, AProgramWithoutAHeaderIsNoSet) {
  WriteFile(dir / "tool.exe", test::FakeStub());
  SetSurvey s = Survey("tool.exe");
  EXPECT_EQ(s.problem, "tool.exe is not a PvX file.");
  EXPECT_TRUE(s.pieces.empty());
  WriteFile(dir / "text.exe", Pattern(5000));
  s = Survey("text.exe");
  EXPECT_EQ(s.problem, "text.exe is not a PvX file.");
}

}  // namespace
}  // namespace pvx
