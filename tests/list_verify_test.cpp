// Verifying a set against its checksum list, piece by piece: what is read,
// what is compared, what counts as a failure, and Cancel.
#include "integrity/list_verify.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "engines/engines.h"
#include "tests/fake_platform.h"
#include "tests/test_util.h"

namespace pvx {
namespace {

using test::Pattern;
using test::ReadFile;
using test::WriteFile;

std::string HexOf(const std::string& path) {
  std::vector<uint8_t> b = ReadFile(path);
  return ToHex(Digest::Of(b.data(), b.size()));
}

// base.bin, 10,000 bytes in pieces of 4,000: base.c00 .. base.c02, and a
// list of all three and the source beside them.
class ListVerify : public ::testing::Test {
 protected:
  void SetUp() override {
    p.lang = Lang::kEnglish;
    WriteFile(dir / "base.bin", Pattern(10000, 31));
    Failure io = {};
    ASSERT_EQ(CutFile(p, 4000, (dir / "base.bin").c_str(), "", false, false,
                      &io),
              kDone);
    std::string text;
    for (const char* name : {"base.c00", "base.c01", "base.c02", "base.bin"})
      text += HexOf(dir / name) + "  " + name + "\n";
    WriteFile(dir / "base.sha256", std::vector<uint8_t>(text.begin(), text.end()));
    ASSERT_EQ(unlink((dir / "base.bin").c_str()), 0);
    p.log.clear();
    p.checks = 0;
  }
  // after_survey: what changes between the survey and the reading.
  SetVerification Verify(const std::function<void()>& after_survey = {}) {
    SetSurvey s;
    Failure why = {};
    EXPECT_TRUE(SurveySet(p, (dir / "base.c00").c_str(), &s, &why)) << why.text;
    if (after_survey) after_survey();
    const SetList list = FindSetList(p, s, "");
    EXPECT_EQ(list.problem, "");
    seen.clear();
    p.ProgressCreate();  // as the caller does, under its own caption
    return VerifyAgainstList(p, s, list, [this](const VerifyLine& line) {
      seen.push_back(line.name);
    });
  }
  static std::vector<std::pair<std::string, VerifyLine::Verdict>> Lines(
      const SetVerification& v) {
    std::vector<std::pair<std::string, VerifyLine::Verdict>> out;
    for (const VerifyLine& line : v.lines) out.push_back({line.name, line.verdict});
    return out;
  }
  using L = std::vector<std::pair<std::string, VerifyLine::Verdict>>;

  test::TempDir dir;
  FakePlatform p;
  std::vector<std::string> seen;  // the names on_line was given, in order
};

TEST_F(ListVerify, ASoundSetPassesWithItsJoinedBytes) {
  const SetVerification v = Verify();
  EXPECT_EQ(Lines(v), (L{{"base.c00", VerifyLine::kOk},
                         {"base.c01", VerifyLine::kOk},
                         {"base.c02", VerifyLine::kOk},
                         {"base.bin", VerifyLine::kOk}}));
  EXPECT_TRUE(v.Passed());
  EXPECT_TRUE(v.source_checked);
  EXPECT_EQ(seen, (std::vector<std::string>{"base.c00", "base.c01",
                                            "base.c02", "base.bin"}));
}

TEST_F(ListVerify, ADamagedPieceFailsAndSoDoTheJoinedBytes) {
  std::vector<uint8_t> b = ReadFile(dir / "base.c01");
  b[100] ^= 0x40;
  WriteFile(dir / "base.c01", b);
  const SetVerification v = Verify();
  EXPECT_EQ(Lines(v), (L{{"base.c00", VerifyLine::kOk},
                         {"base.c01", VerifyLine::kDamaged},
                         {"base.c02", VerifyLine::kOk},
                         {"base.bin", VerifyLine::kDamaged}}));
  EXPECT_EQ(v.bad, 2);
  EXPECT_FALSE(v.Passed());
}

TEST_F(ListVerify, AMissingPieceIsNamedAndTheJoinedBytesAreNotJudged) {
  ASSERT_EQ(unlink((dir / "base.c02").c_str()), 0);
  WriteFile(dir / "base.c03", {'x'});  // beside the set: said, not counted
  const SetVerification v = Verify();
  EXPECT_EQ(Lines(v), (L{{"base.c00", VerifyLine::kOk},
                         {"base.c01", VerifyLine::kOk},
                         {"base.c02", VerifyLine::kMissing},
                         {"base.c03", VerifyLine::kBeside}}));
  EXPECT_EQ(v.bad, 1);
  EXPECT_FALSE(v.data_whole);
  EXPECT_FALSE(v.source_checked);
}

TEST_F(ListVerify, APieceThatCannotBeReadIsNamedAndTheJoinedBytesAreNotJudged) {
  // Sound when surveyed, then a FIFO in its place: it is refused unread,
  // and the joined bytes lack its part, so their line cannot be judged.
  const SetVerification v = Verify([this] {
    ASSERT_EQ(unlink((dir / "base.c01").c_str()), 0);
    ASSERT_EQ(mkfifo((dir / "base.c01").c_str(), 0600), 0);
  });
  EXPECT_EQ(Lines(v), (L{{"base.c00", VerifyLine::kOk},
                         {"base.c01", VerifyLine::kUnreadable},
                         {"base.c02", VerifyLine::kOk}}));
  EXPECT_EQ(v.bad, 1);
  EXPECT_FALSE(v.source_checked);
  EXPECT_FALSE(v.Passed());
}

TEST_F(ListVerify, WithoutAListOnlyTheLengthsAreChecked) {
  ASSERT_EQ(unlink((dir / "base.sha256").c_str()), 0);
  std::vector<uint8_t> b = ReadFile(dir / "base.c01");
  b[100] ^= 0x40;  // nothing can tell
  WriteFile(dir / "base.c01", b);
  const SetVerification v = Verify();
  EXPECT_EQ(Lines(v), (L{{"base.c00", VerifyLine::kOk},
                         {"base.c01", VerifyLine::kOk},
                         {"base.c02", VerifyLine::kOk}}));
  EXPECT_TRUE(v.Passed());
  EXPECT_TRUE(p.Filter("label:").empty()) << "no piece was read";
}

TEST_F(ListVerify, APieceTheListLacksIsNotListedButNoFailure) {
  std::string text = HexOf(dir / "base.c00") + "  base.c00\n";
  WriteFile(dir / "base.sha256", std::vector<uint8_t>(text.begin(), text.end()));
  const SetVerification v = Verify();
  EXPECT_EQ(Lines(v), (L{{"base.c00", VerifyLine::kOk},
                         {"base.c01", VerifyLine::kNotListed},
                         {"base.c02", VerifyLine::kNotListed}}));
  EXPECT_TRUE(v.Passed());
}

TEST_F(ListVerify, CancelStopsTheReading) {
  p.SetChunkSize(1000);
  p.cancel_at_check = 2;
  const SetVerification v = Verify();
  EXPECT_TRUE(v.cancelled);
  EXPECT_TRUE(v.lines.empty());
  EXPECT_FALSE(v.Passed());
  EXPECT_EQ(p.checks, 2);
}

}  // namespace
}  // namespace pvx
