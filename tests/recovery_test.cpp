// Recovery data beside a set, as parvex uses it: finding it from any name
// of the set, writing it only over what the user agreed to, repairing in
// place or elsewhere, and rebuilding the pieces a join lacks in a folder of
// their own that leaves the set as it is.
#include "integrity/recovery.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "engines/engines.h"
#include "tests/fake_platform.h"
#include "tests/test_util.h"

namespace pvx {
namespace {

using test::Exists;
using test::List;
using test::Pattern;
using test::ReadFile;
using test::WriteFile;
using Bytes = std::vector<uint8_t>;

bool Agreed(const std::string&) { return false; }

// base.bin, 14,000 bytes in pieces of 4,000: base.c00 .. base.c03, with
// recovery data for two lost pieces beside them.
class Recovery : public ::testing::Test {
 protected:
  void SetUp() override {
    p.lang = Lang::kEnglish;
    ASSERT_EQ(mkdir((dir / "set").c_str(), 0755), 0);
    WriteFile(dir / "set/base.bin", Pattern(14000, 41));
    Failure io = {};
    ASSERT_EQ(CutFile(p, 4000, (dir / "set/base.bin").c_str(), "", false,
                      false, &io),
              kDone);
    for (int k = 0; k < 4; ++k) {
      pieces.push_back(dir / ("set/base.c0" + std::to_string(k)));
      original.push_back(ReadFile(pieces.back()));
    }
    const par2::CreateResult r = WriteRecovery(p, pieces, 2, Agreed, "R");
    ASSERT_TRUE(r.ok) << r.error;
    p.log.clear();
  }
  test::TempDir dir;
  FakePlatform p;
  std::vector<std::string> pieces;
  std::vector<Bytes> original;
};

TEST_F(Recovery, AnyNameOfTheSetFindsItsIndexAndALostIndexAVolume) {
  for (const char* name : {"set/base.c00", "set/base.c02", "set/base.bin"})
    EXPECT_EQ(FindRecoveryIndex(p, dir / name), dir / "set/base.par2") << name;
  EXPECT_EQ(FindRecoveryIndex(p, dir / "set/base.par2"), dir / "set/base.par2");
  ASSERT_EQ(unlink((dir / "set/base.par2").c_str()), 0);
  EXPECT_EQ(FindRecoveryIndex(p, dir / "set/base.c01"),
            dir / "set/base.vol0+1.par2");
  // The volumes a repair reads, whatever the case of their extensions.
  ASSERT_EQ(rename((dir / "set/base.vol0+1.par2").c_str(),
                   (dir / "set/base.VOL0+1.PAR2").c_str()), 0);
  EXPECT_EQ(FindRecoveryIndex(p, dir / "set/base.c01"),
            dir / "set/base.VOL0+1.PAR2");
  for (const std::string& name : List(dir / "set"))
    if (name.find(".par2") != std::string::npos ||
        name.find(".PAR2") != std::string::npos)
      ASSERT_EQ(unlink((dir / ("set/" + name)).c_str()), 0);
  EXPECT_EQ(FindRecoveryIndex(p, dir / "set/base.c01"), "");
  EXPECT_EQ(FindRecoveryIndex(p, dir / "set/base.par2"), "");
}

TEST_F(Recovery, ItIsWrittenOverAFileOnlyWhereTheUserAgreed) {
  WriteFile(dir / "set/base.par2", {'m', 'i', 'n', 'e'});
  EXPECT_FALSE(WriteRecovery(p, pieces, 2, Agreed, "R").ok);
  EXPECT_EQ(ReadFile(dir / "set/base.par2"), (Bytes{'m', 'i', 'n', 'e'}));
  const par2::CreateResult r = WriteRecovery(
      p, pieces, 2, [](const std::string&) { return true; }, "R");
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_EQ(p.Filter("caption:"), (std::vector<std::string>{"R", "R"}));
  EXPECT_FALSE(p.progress_open);
}

TEST_F(Recovery, ARepairRebuildsInPlaceOrIntoAnotherFolder) {
  // The other folder is made, with every level it lacks.
  ASSERT_EQ(unlink(pieces[1].c_str()), 0);
  RepairRun elsewhere = RepairPieces(p, pieces[0], dir / "out/deeper", "Repair");
  ASSERT_EQ(elsewhere.outcome, RepairRun::kRan);
  ASSERT_TRUE(elsewhere.result.ok) << elsewhere.result.error;
  EXPECT_EQ(ReadFile(dir / "out/deeper/base.c01"), original[1]);
  EXPECT_FALSE(Exists(pieces[1])) << "the set is left as it is";

  RepairRun here = RepairPieces(p, pieces[0], "", "Repair");
  ASSERT_TRUE(here.result.ok) << here.result.error;
  EXPECT_EQ(ReadFile(pieces[1]), original[1]);
  EXPECT_EQ(here.result.rebuilt, std::vector<std::string>{pieces[1]});
}

TEST_F(Recovery, ARepairWithoutRecoveryDataOrFolderSaysSo) {
  WriteFile(dir / "other.c00", Pattern(10));
  EXPECT_EQ(RepairPieces(p, dir / "other.c00", "", "R").outcome,
            RepairRun::kNoIndex);
  WriteFile(dir / "file", {'f'});
  const RepairRun run = RepairPieces(p, pieces[0], dir / "file/sub", "R");
  EXPECT_EQ(run.outcome, RepairRun::kNoFolder);
  EXPECT_EQ(run.why, dir / "file/sub: Not a directory");
  EXPECT_TRUE(p.Filter("create").empty()) << "refused before the pass";
}

TEST_F(Recovery, AJoinGetsTheLackingPiecesRebuiltBesideLinksToTheRest) {
  ASSERT_EQ(unlink(pieces[2].c_str()), 0);
  ASSERT_EQ(mkdir((dir / "join").c_str(), 0755), 0);
  const Rebuild r =
      RebuildForJoin(p, dir / "set/base.par2", dir / "join/", "Repair");
  ASSERT_EQ(r.outcome, Rebuild::kRebuilt) << r.detail;
  EXPECT_EQ(r.set.folder.rfind(dir / "join/.parvex-rebuilt-", 0), 0u)
      << r.set.folder;
  EXPECT_EQ(r.set.rebuilt, std::vector<std::string>{"base.c02"});
  for (int k = 0; k < 4; ++k) {
    const std::string path = r.set.folder + "base.c0" + std::to_string(k);
    struct stat st;
    ASSERT_EQ(lstat(path.c_str(), &st), 0) << path;
    EXPECT_EQ(S_ISLNK(st.st_mode), k != 2) << path;
    EXPECT_EQ(ReadFile(path), original[k]) << path;
  }
  EXPECT_FALSE(Exists(pieces[2])) << "the set's folder is left as it is";
  EXPECT_TRUE(RemoveRebuilt(r.set).empty());
  EXPECT_TRUE(List(dir / "join").empty());
}

TEST_F(Recovery, ASetBeyondRepairLeavesNothingBehind) {
  for (int k : {0, 1, 3}) ASSERT_EQ(unlink(pieces[k].c_str()), 0);
  const Rebuild r = RebuildForJoin(p, dir / "set/base.par2", dir.path() + "/",
                                   "Repair");
  EXPECT_EQ(r.outcome, Rebuild::kNotRebuilt);
  EXPECT_NE(r.detail, "");
  EXPECT_TRUE(r.cleanup.empty());
  EXPECT_EQ(r.set.folder, "");
  EXPECT_EQ(List(dir.path()), std::vector<std::string>{"set"});
}

TEST(RecoveryProgress, APressStaysAPressForTheRestOfThePass) {
  // The window reports a press once; the pass may ask again on its way out.
  FakePlatform p;
  p.cancel_at_check = 1;
  const par2::Progress progress = PlatformProgress(p);
  EXPECT_TRUE(progress.cancelled());
  EXPECT_TRUE(progress.cancelled());
  EXPECT_EQ(p.checks, 1);
}

TEST(RecoveryReport, PiecesAreByNameWithLongerNumbersLater) {
  par2::VerifyReport report;
  for (const char* name : {"s.c100", "s.c99", "s.c00", "s.c10"}) {
    report.pieces.emplace_back();
    report.pieces.back().name = name;
  }
  std::vector<std::string> names;
  for (const par2::PieceReport* piece : PiecesByName(report))
    names.push_back(piece->name);
  EXPECT_EQ(names,
            (std::vector<std::string>{"s.c00", "s.c10", "s.c99", "s.c100"}));
}

}  // namespace
}  // namespace pvx
