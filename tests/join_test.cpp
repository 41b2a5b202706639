// Joining plain sets, including sets built by hand byte by byte, and every
// way a set can be broken or hostile.
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

// Writes base.c00, base.c01, ... by hand: piece 0 = header + first data.
void MakeSet(const std::string& folder, const std::string& base,
             const Bytes& data, size_t piece, const char* stored_name,
             uint32_t source_size, uint16_t header_size = 284,
             uint8_t name_is_whole = 1) {
  Bytes head(header_size, 0);
  uint8_t h[kHeaderSize];
  BuildPieceHeader(h, stored_name, source_size);
  memcpy(head.data(), h, kHeaderSize < header_size ? kHeaderSize : header_size);
  head[8] = static_cast<uint8_t>(header_size);
  head[9] = static_cast<uint8_t>(header_size >> 8);
  head[11] = name_is_whole;
  Bytes all = head;
  all.insert(all.end(), data.begin(), data.end());
  for (size_t k = 0, at = 0; at < all.size() || k == 0; ++k, at += piece) {
    char name[64];
    snprintf(name, sizeof name, "%s.c%02zu", base.c_str(), k);
    size_t end = std::min(all.size(), at + piece);
    WriteFile(folder + "/" + name, Bytes(all.begin() + at, all.begin() + end));
  }
}

class Join : public ::testing::Test {
 protected:
  int Run(const std::string& path, const std::string& dest = "",
          bool pause = false) {
    return JoinFile(p, path.c_str(), dest.c_str(), pause, &io);
  }
  test::TempDir dir;
  FakePlatform p;
  Failure io = {};
};

TEST_F(Join, AHandBuiltSetJoinsFromAnyOfItsNames) {
  Bytes data = Pattern(5000);
  MakeSet(dir.path(), "report", data, 2000, "report.txt", 5000);
  for (const char* named : {"report.c00", "report.c02", "report.txt"}) {
    FakePlatform q;
    std::string out = dir / (std::string("out-") + named) + "/";
    ASSERT_EQ(JoinFile(q, (dir / named).c_str(), out.c_str(), false, &io),
              kDone)
        << named;
    EXPECT_EQ(ReadFile(out + "report.txt"), data) << named;
  }
}

TEST_F(Join, CutThenJoinIsByteForByte) {
  Bytes data = Pattern(200000, 9);
  WriteFile(dir / "big.dat", data);
  ASSERT_EQ(CutFile(p, 70000, (dir / "big.dat").c_str(), (dir / "set/").c_str(),
                    false, false, &io),
            kDone);
  FakePlatform q;
  ASSERT_EQ(JoinFile(q, (dir / "set/big.c00").c_str(), (dir / "back/").c_str(),
                     false, &io),
            kDone);
  EXPECT_EQ(ReadFile(dir / "back/big.dat"), data);
  EXPECT_EQ(q.Filter("caption:"), std::vector<std::string>{"big.dat (195 Kbytes)"});
  EXPECT_EQ(q.Filter("label:"),
            (std::vector<std::string>{"big.c00 (68 Kbytes)", "big.c01 (68 Kbytes)",
                                      "big.c02 (58 Kbytes)"}));
  EXPECT_EQ(q.log.back(), "destroy");
  EXPECT_EQ(q.Filter("percent:"),
            std::vector<std::string>{"big.dat is concatinated."});
  EXPECT_EQ(q.positions.back(), 65535);
}

TEST_F(Join, EmptyDestinationWritesNextToThePieces) {
  MakeSet(dir.path(), "r", Pattern(10), 1000, "r.txt", 10);
  ASSERT_EQ(Run(dir / "r.c00"), kDone);
  EXPECT_EQ(ReadFile(dir / "r.txt"), Pattern(10));
}

TEST_F(Join, ZeroSourceSizeGivesAnEmptyFile) {
  MakeSet(dir.path(), "z", {}, 1000, "z.txt", 0);
  ASSERT_EQ(Run(dir / "z.c00"), kDone);
  EXPECT_EQ(FileSize(dir / "z.txt"), 0u);
  EXPECT_TRUE(p.positions.empty());
  EXPECT_EQ(p.Filter("percent:"), std::vector<std::string>{"z.txt is concatinated."});
}

TEST_F(Join, MissingPieceZeroWritesNothing) {
  EXPECT_EQ(Run(dir / "gone.c00", dir / "out/"), kFailed);
  ASSERT_EQ(p.Notices().size(), 1u);
  EXPECT_NE(p.Notices()[0].find("gone.c00"), std::string::npos);
  EXPECT_TRUE(Exists(dir / "out")) << "folders are made before reading";
  EXPECT_TRUE(test::List(dir / "out").empty());
}

TEST_F(Join, MissingMiddlePieceKeepsWhatWasJoined) {
  Bytes data = Pattern(5000);
  MakeSet(dir.path(), "r", data, 2000, "r.txt", 5000);
  remove((dir / "r.c01").c_str());
  EXPECT_EQ(Run(dir / "r.c00", dir / "o/"), kFailed);
  EXPECT_NE(p.Notices().at(0).find("r.c01"), std::string::npos);
  EXPECT_EQ(ReadFile(dir / "o/r.txt.part"),
            Bytes(data.begin(), data.begin() + 1716));
}

TEST_F(Join, TooMuchDataIsCopiedWholeThenTheNextPieceIsMissed) {
  Bytes data = Pattern(3000);
  MakeSet(dir.path(), "r", data, 2000, "r.txt", 2500);  // claims less
  EXPECT_EQ(Run(dir / "r.c00", dir / "o/"), kFailed);
  EXPECT_NE(p.Notices().at(0).find("r.c02"), std::string::npos);
  EXPECT_EQ(ReadFile(dir / "o/r.txt.part"), data);
}

TEST_F(Join, AnOverrunOfFourGibibytesNeverEndsAsDone) {
  // 100 bytes claimed, 200 in piece 0 and 2^32 - 100 in piece 1: counted in
  // 32 bits the remainder wraps to exactly 0 after piece 1.
  MakeSet(dir.path(), "r", Pattern(200), 1000, "r.txt", 100);
  WriteFile(dir / "r.c01", {1});
  p.fake_length[dir / "r.c01"] = (uint64_t{1} << 32) - 100;
  p.pretend_copy = true;
  EXPECT_EQ(Run(dir / "r.c00", dir / "o/"), kFailed);
  ASSERT_EQ(p.Notices().size(), 1u);
  EXPECT_NE(p.Notices()[0].find("r.c02"), std::string::npos);
  EXPECT_TRUE(p.Filter("percent:").empty()) << "no closing message";
}

TEST_F(Join, OverwriteCancelLeavesTheExistingFile) {
  MakeSet(dir.path(), "r", Pattern(100), 1000, "r.txt", 100);
  WriteFile(dir / "r.txt", {42});
  p.answers = {false};
  EXPECT_EQ(Run(dir / "r.c00"), kFailed);
  EXPECT_EQ(ReadFile(dir / "r.txt"), Bytes{42});
  EXPECT_EQ(p.Questions(),
            std::vector<std::string>{"r.txt はすでに存在します.\n上書きしますか?"});
  p.answers = {true};
  EXPECT_EQ(Run(dir / "r.c00"), kDone);
  EXPECT_EQ(ReadFile(dir / "r.txt"), Pattern(100));
}

TEST_F(Join, NotAPieceSet) {
  WriteFile(dir / "junk.c00", Pattern(5000));
  WriteFile(dir / "tiny.c00", {'@', 'P', 'A', 'R', 'V', 'E', 'X', ' '});
  EXPECT_EQ(Run(dir / "junk.c00"), kFailed);
  EXPECT_EQ(Run(dir / "tiny.c00"), kFailed);
  EXPECT_EQ(p.Notices(), (std::vector<std::string>{
                             "junk.c00はPvXファイルではありません.",
                             "tiny.c00はPvXファイルではありません."}));
}

TEST_F(Join, PauseAsksBeforeEveryPiece) {
  MakeSet(dir.path(), "r", Pattern(3000), 1000, "r.txt", 3000);
  ASSERT_EQ(Run(dir / "r.c00", "", true), kDone);
  auto disks = p.Filter("disk:");
  ASSERT_EQ(disks.size(), 4u);
  EXPECT_EQ(disks[0], "Disk1をセットしてください...");
  EXPECT_EQ(p.log[1], "disk:Disk1をセットしてください...") << "before c00";
}

TEST_F(Join, NameNotWholeIsPrefixedWithTheNamedBase) {
  MakeSet(dir.path(), "r", Pattern(10), 1000, ".txt", 10, 284, 0);
  ASSERT_EQ(Run(dir / "r.c00"), kDone);
  EXPECT_EQ(ReadFile(dir / "r.txt"), Pattern(10));
}

// ---- hostile or damaged sets ------------------------------------------------

TEST_F(Join, HeaderNamesThatLeaveTheFolderAreRefused) {
  for (const char* bad : {"../evil", "sub/evil", "..", ".", "", "c:evil",
                          "a\\b", "bell\x07"}) {
    test::TempDir d;
    FakePlatform q;
    MakeSet(d.path(), "r", Pattern(10), 1000, bad, 10);
    EXPECT_EQ(JoinFile(q, (d / "r.c00").c_str(), (d / "o/").c_str(), false, &io),
              kFailed)
        << bad;
    ASSERT_EQ(q.Notices().size(), 1u) << bad;
    EXPECT_EQ(q.Notices()[0].find("r.c00"), 0u) << q.Notices()[0];
    EXPECT_TRUE(test::List(d / "o").empty()) << bad;
  }
  EXPECT_FALSE(Exists(dir / "evil"));
}

TEST_F(Join, NamesThePlatformWouldNotKeepAreRefusedBeforeAnyQuestion) {
  // With the Windows rules: devices and names Windows trims. A name that
  // exists is refused before the overwrite question, and nothing is created.
  WriteFile(dir / "report.c01", Pattern(3));
  for (const char* bad : {"NUL", "con.txt", "COM1.log", "report.c01."}) {
    FakePlatform q;
    q.windows_names = true;
    MakeSet(dir.path(), "r", Pattern(10), 1000, bad, 10);
    EXPECT_EQ(JoinFile(q, (dir / "r.c00").c_str(), "", false, &io), kFailed)
        << bad;
    EXPECT_EQ(q.Notices(), (std::vector<std::string>{
                               std::string("r.c00: ヘッダのファイル名 \"") +
                               bad + "\" は使えません."}));
    EXPECT_TRUE(q.Questions().empty()) << bad;
    EXPECT_EQ(test::List(dir.path()),
              (std::vector<std::string>{"r.c00", "report.c01"}));
  }
  EXPECT_EQ(ReadFile(dir / "report.c01"), Pattern(3));
  // Where the platform keeps such names, they are plain names.
  MakeSet(dir.path(), "r", Pattern(10), 1000, "con.txt", 10);
  ASSERT_EQ(Run(dir / "r.c00", dir / "o/"), kDone);
  EXPECT_EQ(ReadFile(dir / "o/con.txt"), Pattern(10));
}

TEST_F(Join, ANameNotWholeCannotClimbOutEither) {
  MakeSet(dir.path(), "r", Pattern(10), 1000, "/../../x", 10, 284, 0);
  EXPECT_EQ(Run(dir / "r.c00", dir / "o/"), kFailed);
  EXPECT_TRUE(test::List(dir / "o").empty());
}

TEST_F(Join, HeaderSizeOutsideThePieceIsNotAPieceSet) {
  MakeSet(dir.path(), "small", Pattern(10), 1000, "s.txt", 10, 200);
  EXPECT_EQ(Run(dir / "small.c00"), kFailed);
  // HeaderSize larger than the whole piece 0.
  Bytes c00 = ReadFile(dir / "small.c00");
  MakeSet(dir.path(), "big", Pattern(10), 1000, "b.txt", 10);
  Bytes b = ReadFile(dir / "big.c00");
  b[8] = 0x00;
  b[9] = 0x10;  // 4096
  WriteFile(dir / "big.c00", b);
  EXPECT_EQ(Run(dir / "big.c00"), kFailed);
  EXPECT_EQ(p.Notices(), (std::vector<std::string>{
                             "small.c00はPvXファイルではありません.",
                             "big.c00はPvXファイルではありません."}));
  EXPECT_FALSE(Exists(dir / "s.txt"));
  EXPECT_FALSE(Exists(dir / "b.txt"));
}

TEST_F(Join, ALongerHeaderIsSkippedWhole) {
  Bytes data = Pattern(700);
  MakeSet(dir.path(), "r", data, 500, "r.txt", 700, 300);
  ASSERT_EQ(Run(dir / "r.c00", dir / "o/"), kDone);
  EXPECT_EQ(ReadFile(dir / "o/r.txt"), data);
}

TEST_F(Join, APieceThatEndsEarlyFailsNamingIt) {
  MakeSet(dir.path(), "r", Pattern(3000), 1000, "r.txt", 3000);
  p.fake_length[dir / "r.c01"] = 5000;  // longer than what can be read
  EXPECT_EQ(Run(dir / "r.c00", dir / "o/"), kIoFailure);
  EXPECT_NE(std::string(io.text).find("r.c01"), std::string::npos);
  EXPECT_EQ(FileSize(dir / "o/r.txt.part"), 716u + 1000u);
}

TEST_F(Join, NeverEmptiesOneOfItsOwnPieces) {
  Bytes data = Pattern(3000);
  MakeSet(dir.path(), "r", data, 1000, "r.c02", 3000);  // output = a piece
  Bytes c02 = ReadFile(dir / "r.c02");
  EXPECT_EQ(Run(dir / "r.c00"), kFailed);
  EXPECT_EQ(ReadFile(dir / "r.c02"), c02);
  MakeSet(dir.path(), "s", data, 1000, "s.c00", 3000);  // output = piece 0
  Bytes s00 = ReadFile(dir / "s.c00");
  EXPECT_EQ(Run(dir / "s.c00"), kFailed);
  EXPECT_EQ(ReadFile(dir / "s.c00"), s00);
  EXPECT_EQ(p.Notices().size(), 2u);
}

TEST_F(Join, APieceAfterAGapIsStillAnInput) {
  // r.c01 is missing; the header names r.c02. Refused before anything is
  // created, not only once the join has run into the gap.
  MakeSet(dir.path(), "r", Pattern(3000), 1000, "r.c02", 3000);
  std::remove((dir / "r.c01").c_str());
  Bytes c02 = ReadFile(dir / "r.c02");
  EXPECT_EQ(Run(dir / "r.c00"), kFailed);
  EXPECT_EQ(p.Notices(), (std::vector<std::string>{
                             dir / "r.c02" + ": 処理中の入力ファイルです. 上書きできません."}));
  EXPECT_EQ(ReadFile(dir / "r.c02"), c02);
  EXPECT_EQ(test::List(dir.path()),
            (std::vector<std::string>{"r.c00", "r.c02", "r.c03"}));
}

TEST_F(Join, ShiftJisNamesRoundTripIncludingTrailByte5C) {
  // 表 is 0x95 0x5C and ソ is 0x83 0x5C in code page 932.
  const std::string name = "表ソ.txt";
  Bytes data = Pattern(3000);
  WriteFile(dir / name, data);
  ASSERT_EQ(CutFile(p, 1000, (dir / name).c_str(), (dir / "set/").c_str(),
                    false, false, &io),
            kDone);
  Bytes c00 = ReadFile(dir / "set/表ソ.c00");
  const uint8_t stored[] = {0x95, 0x5C, 0x83, 0x5C, '.', 't', 'x', 't', 0};
  EXPECT_EQ(0, memcmp(c00.data() + 20, stored, sizeof stored));
  FakePlatform q;
  ASSERT_EQ(JoinFile(q, (dir / "set/表ソ.c00").c_str(), (dir / "back/").c_str(),
                     false, &io),
            kDone);
  EXPECT_EQ(ReadFile(dir / ("back/" + name)), data);
}

TEST_F(Join, InvalidShiftJisInTheHeaderIsRefused) {
  MakeSet(dir.path(), "r", Pattern(10), 1000, "\x81\x20.txt", 10);
  EXPECT_EQ(Run(dir / "r.c00", dir / "o/"), kFailed);
  ASSERT_EQ(p.Notices().size(), 1u);
  EXPECT_EQ(p.Notices()[0].find("r.c00"), 0u);
  EXPECT_TRUE(test::List(dir / "o").empty());
}

// The header of a source named name (UTF-8) without a code page 932 form:
// its stand-in in FileName and the record after it.
Bytes RecordHeader(Platform& p, const std::string& name, uint64_t size) {
  char stand_in[kHeaderNameCap * 2];
  EXPECT_TRUE(p.ToHeaderStandIn(name.c_str(), stand_in, sizeof stand_in));
  Bytes h(kHeaderSize);
  EXPECT_EQ(BuildPieceHeader(h.data(), name.c_str(), stand_in, false, size),
            HeaderBuild::kOk);
  return h;
}

// Writes base.c00, base.c01, ... of data behind header, piece bytes each.
void WritePieces(const std::string& folder, const std::string& base,
                 Bytes all, size_t piece) {
  for (size_t k = 0, at = 0; at < all.size(); ++k, at += piece) {
    char name[64];
    snprintf(name, sizeof name, "%s.c%02zu", base.c_str(), k);
    size_t end = std::min(all.size(), at + piece);
    WriteFile(folder + "/" + name, Bytes(all.begin() + at, all.begin() + end));
  }
}

TEST_F(Join, ARecordGivesTheOutputItsExactName) {
  const Bytes data = Pattern(5000, 4);
  for (const std::string name :
       {"Pr\xC3\xA4sentation.mp4", "\xED\x95\x9C\xEA\xB5\xAD\xEC\x96\xB4.zip",
        "\xF0\x9F\x93\xA6" "box.bin"}) {
    Bytes all = RecordHeader(p, name, data.size());
    all.insert(all.end(), data.begin(), data.end());
    test::TempDir d;
    WritePieces(d.path(), "r", all, 2000);
    FakePlatform q;
    ASSERT_EQ(JoinFile(q, (d / "r.c00").c_str(), (d / "o/").c_str(), false, &io),
              kDone)
        << name;
    EXPECT_EQ(test::List(d / "o"), std::vector<std::string>{name});
    EXPECT_EQ(ReadFile(d / ("o/" + name)), data) << name;
    EXPECT_EQ(q.Filter("caption:"),
              std::vector<std::string>{name + " (4 Kbytes)"});
  }
}

// A set of 3 TiB (its pieces faked: piece 0 holds one chunk of its data,
// and the join is cancelled after it): the caption shows the kilobytes
// beyond what an int holds.
TEST_F(Join, TheCaptionShowsASetPastTwoTebibytes) {
  Bytes all(kHeaderSize);
  ASSERT_EQ(BuildPieceHeader(all.data(), "r.bin", "r.bin", true,
                             (uint64_t{3} << 40) + 5),
            HeaderBuild::kOk);
  const Bytes data = Pattern(40000);
  all.insert(all.end(), data.begin(), data.end());
  WriteFile(dir / "r.c00", all);
  p.no_reserve = true;
  p.cancel_at_check = 1;
  EXPECT_EQ(Run(dir / "r.c00", dir / "o/"), kFailed);
  EXPECT_EQ(p.Filter("caption:"),
            std::vector<std::string>{"r.bin (3221225472 Kbytes)"});
  EXPECT_EQ(p.Filter("label:"),
            std::vector<std::string>{"r.c00 (39 Kbytes)"});
}

TEST_F(Join, AnExactNameMeetsTheSameRulesAsFileName) {
  p.windows_names = true;
  for (const std::string name : {"../\xC3\xA4.txt", "a\\\xC3\xA4.txt", "NUL.\xC3\xA4"}) {
    Bytes all = RecordHeader(p, name, 10);
    const Bytes data = Pattern(10);
    all.insert(all.end(), data.begin(), data.end());
    test::TempDir d;
    WritePieces(d.path(), "r", all, 1000);
    FakePlatform q;
    q.windows_names = true;
    EXPECT_EQ(JoinFile(q, (d / "r.c00").c_str(), (d / "o/").c_str(), false, &io),
              kFailed)
        << name;
    EXPECT_EQ(q.Notices().size(), 1u) << name;
    EXPECT_TRUE(test::List(d / "o").empty()) << name;
  }
}


class JoinChunks : public Join, public ::testing::WithParamInterface<uint32_t> {
 protected:
  void SetUp() override { p.SetChunkSize(GetParam()); }
  const uint64_t C = GetParam();
};

TEST_P(JoinChunks, CancelKeepsEveryWholeChunk) {
  MakeSet(dir.path(), "r", Pattern(3 * C), 4 * C, "r.txt",
          static_cast<uint32_t>(3 * C));
  p.cancel_at_check = 2;
  EXPECT_EQ(Run(dir / "r.c00", dir / "o/"), kFailed);
  EXPECT_EQ(FileSize(dir / "o/r.txt.part"), 2 * C);
  EXPECT_FALSE(Exists(dir / "o/r.txt"));
  EXPECT_TRUE(p.Notices().empty());
  // The room reserved for the whole output is given back past what was
  // written (where the file system reserves at all).
  struct stat st;
  ASSERT_EQ(stat((dir / "o/r.txt.part").c_str(), &st), 0);
  EXPECT_LE(static_cast<uint64_t>(st.st_blocks) * 512, 2 * C + 65536);
}

TEST_P(JoinChunks, AWriteFailureNamesTheOutput) {
  MakeSet(dir.path(), "r", Pattern(3 * C), 4 * C, "r.txt",
          static_cast<uint32_t>(3 * C));
  p.fail_write_at = 2;
  EXPECT_EQ(Run(dir / "r.c00", dir / "o/"), kIoFailure);
  EXPECT_EQ(std::string(io.text),
            dir / "o/r.txt.part" + ": No space left on device");
  EXPECT_EQ(FileSize(dir / "o/r.txt.part"), C);
  EXPECT_FALSE(p.progress_open);
}

INSTANTIATE_TEST_SUITE_P(BothChunks, JoinChunks,
                         ::testing::Values(32768u, 1u << 20));

}  // namespace
}  // namespace pvx
