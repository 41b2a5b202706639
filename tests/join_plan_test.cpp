// What a join decides before it reads data: whether the set can be joined
// or must be rebuilt first, which list checks it, where the output goes,
// and that the output is none of the files the join reads.
#include "integrity/join_plan.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "engines/engines.h"
#include "integrity/recovery.h"
#include "tests/fake_platform.h"
#include "tests/test_util.h"

namespace pvx {
namespace {

using test::Pattern;
using test::WriteFile;

// base.bin, 10,000 bytes in pieces of 4,000: set/base.c00 .. base.c02.
class PlanJoinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    p.lang = Lang::kEnglish;
    ASSERT_EQ(mkdir((dir / "set").c_str(), 0755), 0);
    WriteFile(dir / "set/base.bin", Pattern(10000, 51));
    Failure io = {};
    ASSERT_EQ(CutFile(p, 4000, (dir / "set/base.bin").c_str(), "", false,
                      false, &io),
              kDone);
    ASSERT_EQ(unlink((dir / "set/base.bin").c_str()), 0);
    r.file = dir / "set/base.c01";
  }
  JoinPlan Plan() { return PlanJoin(p, r); }

  test::TempDir dir;
  FakePlatform p;
  JoinRequest r;
};

TEST_F(PlanJoinTest, ACompleteSetIsJoinedWhereTheRequestSays) {
  JoinPlan plan = Plan();
  ASSERT_EQ(plan.verdict, JoinPlan::kJoin);
  EXPECT_EQ(plan.output_path, dir / "set/base.bin");
  EXPECT_FALSE(plan.checked);
  r.destination = "out/";
  EXPECT_EQ(Plan().output_path, "out/base.bin");
  r.output = "x.bin";
  EXPECT_EQ(Plan().output_path, "x.bin");
  r.output = "-";
  EXPECT_EQ(Plan().output_path, "") << "standard output";
}

TEST_F(PlanJoinTest, ALackingPieceRefusesTheJoinUnlessRecoveryDataCanTell) {
  ASSERT_EQ(unlink((dir / "set/base.c02").c_str()), 0);
  EXPECT_EQ(Plan().verdict, JoinPlan::kIncomplete);
  r.pause = true;  // the other disks are not in yet
  EXPECT_EQ(Plan().verdict, JoinPlan::kJoin);
  r.pause = false;

  WriteFile(dir / "set/base.par2", {'x'});
  JoinPlan plan = Plan();
  EXPECT_EQ(plan.verdict, JoinPlan::kRebuild);
  EXPECT_EQ(plan.index, dir / "set/base.par2");
  r.no_repair = true;
  EXPECT_EQ(Plan().verdict, JoinPlan::kIncomplete);
}

TEST_F(PlanJoinTest, NoSetOrABadHeaderIsSaid) {
  r.file = dir / "none.c00";
  JoinPlan none = Plan();
  EXPECT_EQ(none.verdict, JoinPlan::kNoSet);
  EXPECT_EQ(std::string(none.why.text),
            dir / "none.c00: No such file or directory");
  WriteFile(dir / "bad.c00", Pattern(500, 52));
  r.file = dir / "bad.c00";
  JoinPlan bad = Plan();
  EXPECT_EQ(bad.verdict, JoinPlan::kBadHeader);
  EXPECT_EQ(bad.survey.problem, "bad.c00 is not a PvX file.");
}

TEST_F(PlanJoinTest, TheSetsListChecksTheJoinUnlessItChecksNothing) {
  const std::string line =
      "0000000000000000000000000000000000000000000000000000000000000000"
      "  base.c00\n";
  WriteFile(dir / "set/base.sha256", std::vector<uint8_t>(line.begin(), line.end()));
  JoinPlan plan = Plan();
  ASSERT_EQ(plan.verdict, JoinPlan::kJoin);
  EXPECT_TRUE(plan.checked);
  EXPECT_EQ(plan.check.list, dir / "set/base.sha256");
  EXPECT_EQ(plan.check.pieces.size(), 1u);
  r.no_verify = true;
  EXPECT_FALSE(Plan().checked);
  r.no_verify = false;
  r.named_list = dir / "gone.sha256";
  JoinPlan gone = Plan();
  EXPECT_EQ(gone.verdict, JoinPlan::kBadList);
  EXPECT_EQ(gone.problem, dir / "gone.sha256: No such file or directory");
}

// ---- the output is none of the inputs -------------------------------------

TEST_F(PlanJoinTest, TheOutputMayBeNoneOfTheFilesTheJoinReads) {
  JoinPlan plan = Plan();
  const std::vector<std::string> inputs = JoinInputs(plan.survey, "");
  using Block = PosixPlatform::OutputBlock;
  EXPECT_EQ(p.CheckOutput(dir / "set/base.bin", inputs).kind, Block::kNone);
  Block piece = p.CheckOutput(dir / "set/base.c01", inputs);
  EXPECT_EQ(piece.kind, Block::kIsInput);
  EXPECT_EQ(piece.path, dir / "set/base.c01");
  // Another name for a piece, and a NAME.part that is one.
  ASSERT_EQ(link((dir / "set/base.c02").c_str(), (dir / "other").c_str()), 0);
  EXPECT_EQ(p.CheckOutput(dir / "other", inputs).kind, Block::kIsInput);
  ASSERT_EQ(link((dir / "set/base.c00").c_str(), (dir / "out.part").c_str()), 0);
  Block part = p.CheckOutput(dir / "out", inputs);
  EXPECT_EQ(part.kind, Block::kIsInput);
  EXPECT_EQ(part.path, dir / "out.part");
  // A link to a piece is replaced itself.
  ASSERT_EQ(symlink((dir / "set/base.c00").c_str(), (dir / "ln").c_str()), 0);
  EXPECT_EQ(p.CheckOutput(dir / "ln", inputs).kind, Block::kNone);
  // The list is read too.
  WriteFile(dir / "list", {'x'});
  EXPECT_EQ(p.CheckOutput(dir / "list", JoinInputs(plan.survey, dir / "list"))
                .kind,
            Block::kIsInput);
}

TEST_F(PlanJoinTest, NoOutputGoesWhereNoFileOrNoNameFits) {
  using Block = PosixPlatform::OutputBlock;
  ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
  Block fifo = p.CheckOutput(dir / "fifo", {});
  EXPECT_EQ(fifo.kind, Block::kNotAFile);
  EXPECT_EQ(std::string(fifo.why.text),
            dir / "fifo: is a FIFO, not a regular file");
  // With ".part" while it is written, 251 bytes are too many.
  Block name = p.CheckOutput(dir / std::string(251, 'n'), {});
  EXPECT_EQ(name.kind, Block::kNameTooLong);
  EXPECT_EQ(name.length, 251u);
  EXPECT_EQ(name.most, 255);
  EXPECT_EQ(p.CheckOutput(dir / std::string(250, 'n'), {}).kind, Block::kNone);
}

TEST_F(PlanJoinTest, StandardOutputMayBeNoneOfThemEither) {
  const std::vector<std::string> inputs =
      JoinInputs(Plan().survey, "");
  const int saved = dup(1);
  const int piece = open((dir / "set/base.c01").c_str(), O_WRONLY | O_APPEND);
  dup2(piece, 1);
  const PosixPlatform::OutputBlock on_piece = p.CheckStandardOutput(inputs);
  const int other = open((dir / "other").c_str(), O_WRONLY | O_CREAT, 0600);
  dup2(other, 1);
  const PosixPlatform::OutputBlock on_other = p.CheckStandardOutput(inputs);
  dup2(saved, 1);
  close(saved);
  close(piece);
  close(other);
  EXPECT_EQ(on_piece.kind, PosixPlatform::OutputBlock::kIsInput);
  EXPECT_EQ(on_piece.path, dir / "set/base.c01");
  EXPECT_EQ(on_other.kind, PosixPlatform::OutputBlock::kNone);
}

TEST(RebuildFolder, TheFolderTheJoinWritesInto) {
  // -o FILE: its folder, the current one for a bare name.
  EXPECT_EQ(RebuildFolder("out/x.tar", "", "set/"), "out/");
  EXPECT_EQ(RebuildFolder("/a/b/x.tar", "", "set/"), "/a/b/");
  EXPECT_EQ(RebuildFolder("x.tar", "", "set/"), "");
  // Standard output has none: the current folder, not the set's.
  EXPECT_EQ(RebuildFolder("-", "", "set/"), "");
  // -d DIR, else the set's own folder.
  EXPECT_EQ(RebuildFolder("", "dest/", "set/"), "dest/");
  EXPECT_EQ(RebuildFolder("", "", "set/"), "set/");
  EXPECT_EQ(RebuildFolder("", "", ""), "");
}

}  // namespace
}  // namespace pvx
