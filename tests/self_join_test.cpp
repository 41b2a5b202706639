// Rebuilding from a self-joining piece 0: the stub image, then the header,
// then data, with the further pieces named after piece 0's own file.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "engines/engines.h"
#include "format/piece_format.h"
#include "tests/fake_platform.h"
#include "tests/test_util.h"

namespace pvx {
namespace {

using test::Exists;
using test::FileSize;
using test::Pattern;
using test::ReadFile;
using test::WriteFile;
using Bytes = std::vector<uint8_t>;

class SelfJoinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    stub = test::FakeStub();
    cutter.has_stub = true;
    cutter.stub = stub;
    data = Pattern(9000, 3);
    WriteFile(dir / "report.txt", data);
    ASSERT_EQ(CutFile(cutter, 4000, (dir / "report.txt").c_str(),
                      (dir / "set/").c_str(), true, false, &io),
              kDone);
    exe = dir / "set/_sReport.exe";
  }
  int Run(const std::string& self, const std::string& dest) {
    Bytes image = ReadFile(self);
    uint32_t size =
        StubImageSize(image.data(), static_cast<uint32_t>(image.size()));
    return SelfJoin(p, self.c_str(), size, dest.c_str(), &io);
  }
  test::TempDir dir;
  FakePlatform cutter, p;
  Failure io = {};
  Bytes stub, data;
  std::string exe;
};

TEST_F(SelfJoinTest, RebuildsTheSourceFromItself) {
  ASSERT_EQ(Run(exe, dir / "out"), kDone) << "a separator is added";
  EXPECT_EQ(ReadFile(dir / "out/report.txt"), data);
  const uint64_t total = 9000 + stub.size() + 284;
  std::vector<std::string> expected = {
      "create",
      "label:_sReport.exe",
      "caption:report.txt (" + std::to_string(total >> 10) + " Kbytes)",
      "label:_sReport.exe (3 Kbytes)",
      "label:_sReport.c01 (3 Kbytes)",
      "label:_sReport.c02 (2 Kbytes)",
      "percent:report.txt is concatinated.",
      "button:OK",
      "destroy"};
  EXPECT_EQ(p.log, expected);
  EXPECT_EQ(p.positions.back(), 65535);
}

TEST_F(SelfJoinTest, EmptyDestinationMeansItsOwnFolder) {
  ASSERT_EQ(Run(exe, ""), kDone);
  EXPECT_EQ(ReadFile(dir / "set/report.txt"), data);
}

TEST_F(SelfJoinTest, RenamedStubLooksForPiecesUnderItsNewName) {
  rename(exe.c_str(), (dir / "set/Report.exe").c_str());
  rename((dir / "set/_sReport.c01").c_str(), (dir / "set/Report.c01").c_str());
  rename((dir / "set/_sReport.c02").c_str(), (dir / "set/Report.c02").c_str());
  ASSERT_EQ(Run(dir / "set/Report.exe", dir / "o/"), kDone);
  EXPECT_EQ(ReadFile(dir / "o/report.txt"), data);
}

TEST_F(SelfJoinTest, MissingPieceKeepsWhatWasWritten) {
  remove((dir / "set/_sReport.c02").c_str());
  EXPECT_EQ(Run(exe, dir / "o/"), kFailed);
  ASSERT_EQ(p.Notices().size(), 1u);
  EXPECT_NE(p.Notices()[0].find("_sReport.c02"), std::string::npos);
  EXPECT_EQ(FileSize(dir / "o/report.txt.part"), 4000u - stub.size() - 284 + 4000);
}

TEST_F(SelfJoinTest, OverwriteCancelKeepsTheExistingFile) {
  mkdir((dir / "o").c_str(), 0777);
  WriteFile(dir / "o/report.txt", {5});
  p.answers = {false};
  EXPECT_EQ(Run(exe, dir / "o/"), kFailed);
  EXPECT_EQ(p.Questions(), std::vector<std::string>{
                               "report.txt はすでに存在します.上書きしますか?"});
  EXPECT_EQ(ReadFile(dir / "o/report.txt"), Bytes{5});
}

TEST_F(SelfJoinTest, TheStubAloneIsNotAPieceSet) {
  mkdir((dir / "bare").c_str(), 0777);
  WriteFile(dir / "bare/_sSPVX.exe", stub);
  EXPECT_EQ(Run(dir / "bare/_sSPVX.exe", dir / "o2/"), kFailed);
  EXPECT_EQ(p.Notices(),
            std::vector<std::string>{"_sSPVX.exeはPvXファイルではありません."});
  EXPECT_TRUE(Exists(dir / "o2")) << "folders come first";
}

TEST_F(SelfJoinTest, UnreadableOwnFile) {
  EXPECT_EQ(SelfJoin(p, (dir / "set/none.exe").c_str(), 1536, "", &io),
            kFailed);
  EXPECT_EQ(p.Notices(),
            std::vector<std::string>{"none.exeのオープンに失敗しました."});
}

TEST_F(SelfJoinTest, NameNotWholeTakesItsOwnBase) {
  Bytes piece0 = ReadFile(exe);
  piece0[stub.size() + 11] = 0;  // NameIsWhole = 0, FileName ".txt"
  memcpy(&piece0[stub.size() + 20], ".txt", 5);
  WriteFile(exe, piece0);
  ASSERT_EQ(Run(exe, dir / "o/"), kDone);
  EXPECT_EQ(ReadFile(dir / "o/_sReport.txt"), data);
}

TEST_F(SelfJoinTest, ARecordGivesTheOutputItsExactName) {
  const std::string name = "Pr\xC3\xA4sentation.mp4";
  char stand_in[kHeaderNameCap * 2];
  ASSERT_TRUE(p.ToHeaderStandIn(name.c_str(), stand_in, sizeof stand_in));
  Bytes piece0 = ReadFile(exe);
  ASSERT_EQ(BuildPieceHeader(&piece0[stub.size()], name.c_str(), stand_in,
                             false, data.size()),
            HeaderBuild::kOk);
  WriteFile(exe, piece0);
  ASSERT_EQ(Run(exe, dir / "o/"), kDone);
  EXPECT_EQ(test::List(dir / "o"), std::vector<std::string>{name});
  EXPECT_EQ(ReadFile(dir / ("o/" + name)), data);
}

// The caption shows the whole set's size, here 3 TiB with the stub image
// and the header: kilobytes beyond what an int holds. (Piece 0 holds one
// chunk of data; the join is cancelled after it.)
TEST_F(SelfJoinTest, TheCaptionShowsASetPastTwoTebibytes) {
  Bytes piece0 = stub;
  piece0.resize(stub.size() + kHeaderSize);
  ASSERT_EQ(BuildPieceHeader(&piece0[stub.size()], "big.bin", "big.bin", true,
                             (uint64_t{3} << 40) - stub.size() - 284),
            HeaderBuild::kOk);
  const Bytes more = Pattern(40000);
  piece0.insert(piece0.end(), more.begin(), more.end());
  WriteFile(exe, piece0);
  p.no_reserve = true;
  p.cancel_at_check = 1;
  EXPECT_EQ(Run(exe, dir / "o/"), kFailed);
  EXPECT_EQ(p.Filter("caption:"),
            std::vector<std::string>{"big.bin (3221225472 Kbytes)"});
}

TEST_F(SelfJoinTest, NeverEmptiesItsOwnFile) {
  Bytes piece0 = ReadFile(exe);
  memcpy(&piece0[stub.size() + 20], "_sReport.exe", 13);
  WriteFile(exe, piece0);
  EXPECT_EQ(Run(exe, ""), kFailed);
  EXPECT_EQ(ReadFile(exe), piece0);
  EXPECT_EQ(p.Notices().size(), 1u);
}

TEST_F(SelfJoinTest, HeaderNameCannotLeaveTheFolder) {
  Bytes piece0 = ReadFile(exe);
  memcpy(&piece0[stub.size() + 20], "../x.txt", 9);
  WriteFile(exe, piece0);
  EXPECT_EQ(Run(exe, dir / "o/"), kFailed);
  EXPECT_FALSE(Exists(dir / "x.txt"));
  EXPECT_TRUE(test::List(dir / "o").empty());
}

TEST_F(SelfJoinTest, ADeviceNameIsRefusedBeforeAnyQuestion) {
  Bytes piece0 = ReadFile(exe);
  memcpy(&piece0[stub.size() + 20], "NUL", 4);
  WriteFile(exe, piece0);
  p.windows_names = true;
  EXPECT_EQ(Run(exe, dir / "o/"), kFailed);
  EXPECT_EQ(p.Notices(), (std::vector<std::string>{
                             "_sReport.exe: ヘッダのファイル名 \"NUL\" は使えません."}));
  EXPECT_TRUE(p.Questions().empty());
  EXPECT_TRUE(test::List(dir / "o").empty());
}

TEST_F(SelfJoinTest, WriteFailureIsReportedWithTheOutputName) {
  p.fail_write_at = 1;
  EXPECT_EQ(Run(exe, dir / "o/"), kIoFailure);
  EXPECT_EQ(std::string(io.text),
            dir / "o/report.txt.part" + ": No space left on device");
  EXPECT_FALSE(p.progress_open);
}

}  // namespace
}  // namespace pvx
