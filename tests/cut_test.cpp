// Cutting: names, sizes, questions, progress, Cancel and every refusal.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/path.h"
#include "engines/engines.h"
#include "engines/messages.h"
#include "format/piece_format.h"
#include "tests/fake_platform.h"
#include "tests/test_util.h"

namespace pvx {
namespace {

using test::Exists;
using test::FileSize;
using test::List;
using test::Pattern;
using test::ReadFile;
using test::WriteFile;
using Bytes = std::vector<uint8_t>;

class Cut : public ::testing::Test {
 protected:
  int Run(const std::string& source, uint32_t piece, bool self_join = false,
          bool pause = false, const std::string& dest = "") {
    return CutFile(p, piece, source.c_str(), dest.c_str(), self_join, pause,
                   &io);
  }
  // The data parts of a set, in order: what a join must give back.
  Bytes DataOf(const std::vector<std::string>& pieces, size_t head) {
    Bytes all;
    for (size_t i = 0; i < pieces.size(); ++i) {
      Bytes b = ReadFile(dir / pieces[i]);
      all.insert(all.end(), b.begin() + (i == 0 ? head : 0), b.end());
    }
    return all;
  }
  test::TempDir dir;
  FakePlatform p;
  Failure io = {};
};

TEST_F(Cut, RefusesAFileThatNeedsNoCutting) {
  WriteFile(dir / "report.txt", Pattern(kSize144));
  WriteFile(dir / "empty.txt", {});
  EXPECT_EQ(Run(dir / "report.txt", kSize144), kFailed);
  EXPECT_EQ(Run(dir / "empty.txt", kSize144), kFailed);
  ASSERT_EQ(p.Notices().size(), 2u);
  EXPECT_EQ(p.Notices()[0],
            "report.txtは 1,423 KBです.\n分割する必要はありません.");
  EXPECT_EQ(p.Notices()[1], "empty.txtは 0 KBです.\n分割する必要はありません.");
  EXPECT_EQ(List(dir.path()).size(), 2u);
  EXPECT_EQ(p.Filter("create").size(), 0u) << "no progress window either";
}

TEST_F(Cut, OneByteMoreThanAPieceGivesTwoPieces) {
  Bytes src = Pattern(kSize144 + 1);
  WriteFile(dir / "report.txt", src);
  ASSERT_EQ(Run(dir / "report.txt", kSize144), kDone);
  EXPECT_EQ(FileSize(dir / "report.c00"), 1457664u);
  EXPECT_EQ(FileSize(dir / "report.c01"), 285u);
  EXPECT_EQ(DataOf({"report.c00", "report.c01"}, 284), src);
  std::vector<std::string> expected = {
      "create",
      "caption:report.txt (1,423 Kbytes)",
      "label:report.txt",
      "label:report.c00 (1,423 Kbytes)",
      "label:report.c01 (0 Kbytes)",
      "button:OK",
      "percent:report.txt is cut into 2 files.",
      "destroy"};
  EXPECT_EQ(p.log, expected);
  EXPECT_EQ(p.positions.back(), 65535);
}

TEST_F(Cut, HeaderOfPieceZeroDescribesTheSource) {
  WriteFile(dir / "a.bin", Pattern(1000));
  ASSERT_EQ(Run(dir / "a.bin", 600), kDone);
  Bytes c00 = ReadFile(dir / "a.c00");
  uint8_t expected[kHeaderSize];
  BuildPieceHeader(expected, "a.bin", 1000);
  EXPECT_EQ(0, memcmp(c00.data(), expected, kHeaderSize));
}

// The piece limit is the platform's: Parvex.exe's 100 with its own words,
// any other with the number in the text.
TEST_F(Cut, ThePlatformsPieceLimitCompletesAndOneMoreIsRefused) {
  // piece 0 holds 400 - 284 = 116 data bytes, the others 400.
  struct Case {
    int limit;
    Lang lang;
    std::string notice;
  };
  const Case cases[] = {
      {100, Lang::kJapanese, "分割ファイル数が100を超えました."},
      {100, Lang::kEnglish, "The number of pieces has exceeded 100."},
      {150, Lang::kJapanese, "分割ファイル数が150を超えました."},
      {150, Lang::kEnglish, "The number of pieces has exceeded 150."}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.limit);
    const uint32_t exact = 116 + (c.limit - 1) * 400;
    const std::string last = "r.c" + std::to_string(c.limit - 1);
    const std::string over = "r.c" + std::to_string(c.limit);
    test::TempDir fits, more;
    WriteFile(fits / "r.bin", Pattern(exact));
    WriteFile(more / "r.bin", Pattern(exact + 1));
    FakePlatform q;
    q.SetPieceLimit(c.limit);
    q.lang = c.lang;
    ASSERT_EQ(CutFile(q, 400, (fits / "r.bin").c_str(), "", false, false, &io),
              kDone);
    EXPECT_TRUE(Exists(fits / last));
    EXPECT_FALSE(Exists(fits / over));
    EXPECT_TRUE(q.Notices().empty());

    FakePlatform r;
    r.SetPieceLimit(c.limit);
    r.lang = c.lang;
    EXPECT_EQ(CutFile(r, 400, (more / "r.bin").c_str(), "", false, false, &io),
              kFailed);
    EXPECT_EQ(FileSize(more / over), 1u);
    EXPECT_EQ(r.Notices(), std::vector<std::string>{c.notice});
    EXPECT_EQ(r.Filter("item").size(), 0u);
  }
}

// Past c99 the numbers go on in as many digits as they need, and the set
// joins back whole.
TEST_F(Cut, MoreThanAHundredPiecesAreNumberedOnFromC100) {
  const uint32_t length = 116 + 249 * 400 + 7;  // 251 pieces
  Bytes src = Pattern(length);
  WriteFile(dir / "r.bin", src);
  ASSERT_EQ(Run(dir / "r.bin", 400), kDone);
  std::vector<std::string> pieces;
  for (int k = 0; k <= 250; ++k) {
    char name[16];
    snprintf(name, sizeof name, "r.c%02d", k);
    pieces.push_back(name);
  }
  EXPECT_EQ(FileSize(dir / "r.c100"), 400u);
  EXPECT_EQ(FileSize(dir / "r.c250"), 7u);
  EXPECT_FALSE(Exists(dir / "r.c251"));
  EXPECT_EQ(DataOf(pieces, kHeaderSize), src);
  EXPECT_EQ(p.Filter("percent:"),
            std::vector<std::string>{"r.bin is cut into 251 files."});

  test::TempDir out;
  ASSERT_EQ(JoinFile(p, (dir / "r.c00").c_str(), (out.path() + "/").c_str(),
                     false, &io),
            kDone);
  EXPECT_EQ(ReadFile(out / "r.bin"), src);
}

TEST_F(Cut, SelfJoiningNames) {
  p.has_stub = true;
  p.stub = test::FakeStub();
  const uint32_t piece = 4000;
  for (const char* src : {"report.txt", "2nd.log", ".profile"})
    WriteFile(dir / src, Pattern(9000));
  ASSERT_EQ(Run(dir / "report.txt", piece, true), kDone);
  ASSERT_EQ(Run(dir / "2nd.log", piece, true), kDone);
  ASSERT_EQ(Run(dir / ".profile", piece, true), kDone);
  for (const char* name : {"_sReport.exe", "_sReport.c01", "_sReport.c02",
                           "_s2nd.exe", "_s2nd.c01", "_s.exe", "_s.c01"})
    EXPECT_TRUE(Exists(dir / name)) << name;
  EXPECT_EQ(FileSize(dir / "_sReport.exe"), piece);
  EXPECT_EQ(FileSize(dir / "_sReport.c01"), piece);
  Bytes exe = ReadFile(dir / "_sReport.exe");
  EXPECT_TRUE(std::equal(p.stub.begin(), p.stub.end(), exe.begin()));
  EXPECT_EQ(0, memcmp(exe.data() + p.stub.size(), "@PARVEX ", 8));
  EXPECT_EQ(DataOf({"_sReport.exe", "_sReport.c01", "_sReport.c02"},
                   p.stub.size() + kHeaderSize),
            Pattern(9000));
}

TEST_F(Cut, PlainPiecesOfADotFile) {
  WriteFile(dir / ".profile", Pattern(900));
  ASSERT_EQ(Run(dir / ".profile", 500), kDone);
  EXPECT_TRUE(Exists(dir / ".c00"));
  EXPECT_TRUE(Exists(dir / ".c01"));
}

TEST_F(Cut, RenamesOnCollisionWhenCuttingAProgram) {
  p.has_stub = true;
  p.stub = test::FakeStub();
  WriteFile(dir / "setup.exe", Pattern(12000));
  WriteFile(dir / "_sSetup.exe", {1, 2, 3});
  ASSERT_EQ(Run(dir / "setup.exe", 4000, true), kDone);
  EXPECT_EQ(p.Questions(),
            std::vector<std::string>{"_sSetup.exe はすでに存在しています.\n"
                                     "__sSetup.exe に名前を変更して続行しますか?"});
  EXPECT_EQ(ReadFile(dir / "_sSetup.exe"), (Bytes{1, 2, 3}));
  EXPECT_TRUE(Exists(dir / "__sSetup.exe"));
  EXPECT_TRUE(Exists(dir / "__sSetup.c01"));
}

TEST_F(Cut, ATakenNameAnywhereInTheSetRenamesTheWholeSetBeforePieceZero) {
  // A stale piece of an earlier set: the set moves to another stem before
  // anything is written, so that it never mixes with the stale pieces (a
  // join of _sSetup.exe would take _sSetup.c02 for its own).
  p.has_stub = true;
  p.stub = test::FakeStub();
  WriteFile(dir / "setup.exe", Pattern(15000));
  WriteFile(dir / "_sSetup.c02", {9});
  ASSERT_EQ(Run(dir / "setup.exe", 4000, true), kDone);
  EXPECT_EQ(p.Questions(),
            std::vector<std::string>{"_sSetup.c02 はすでに存在しています.\n"
                                     "__sSetup.c02 に名前を変更して続行しますか?"});
  EXPECT_EQ(List(dir.path()),
            (std::vector<std::string>{"__sSetup.c01", "__sSetup.c02",
                                      "__sSetup.c03", "__sSetup.c04",
                                      "__sSetup.exe",
                                      "_sSetup.c02", "setup.exe"}));
  EXPECT_EQ(ReadFile(dir / "_sSetup.c02"), Bytes{9});
  // The question comes before the progress window and the first piece.
  EXPECT_EQ(p.log[0].rfind("confirm:", 0), 0u) << p.log[0];
}

TEST_F(Cut, EveryOverwriteQuestionComesBeforeThePieces) {
  WriteFile(dir / "report.txt", Pattern(5000));
  WriteFile(dir / "report.c02", {7});
  p.answers = {false};
  EXPECT_EQ(Run(dir / "report.txt", 2000), kFailed);
  EXPECT_EQ(p.Questions(), std::vector<std::string>{
                               "report.c02 はすでに存在します.\n上書きしますか?"});
  EXPECT_EQ(List(dir.path()),
            (std::vector<std::string>{"report.c02", "report.txt"}))
      << "Cancel at the last piece's question leaves no piece behind";
}

TEST_F(Cut, OverwriteQuestionOkReplacesAndCancelStops) {
  WriteFile(dir / "report.txt", Pattern(3000));
  WriteFile(dir / "report.c00", {7});
  p.answers = {false};
  EXPECT_EQ(Run(dir / "report.txt", 2000), kFailed);
  EXPECT_EQ(ReadFile(dir / "report.c00"), Bytes{7});
  EXPECT_FALSE(Exists(dir / "report.c01"));
  EXPECT_EQ(p.Questions(), std::vector<std::string>{
                               "report.c00 はすでに存在します.\n上書きしますか?"});
  p.answers = {true};
  EXPECT_EQ(Run(dir / "report.txt", 2000), kDone);
  EXPECT_EQ(FileSize(dir / "report.c00"), 2000u);
}

TEST_F(Cut, SelfJoiningCutOfANonProgramAsksToOverwriteNotToRename) {
  p.has_stub = true;
  p.stub = test::FakeStub();
  WriteFile(dir / "report.txt", Pattern(6000));
  WriteFile(dir / "_sReport.exe", {1});
  p.answers = {false};
  EXPECT_EQ(Run(dir / "report.txt", 4000, true), kFailed);
  EXPECT_EQ(p.Questions(), std::vector<std::string>{
                               "_sReport.exe はすでに存在します.\n上書きしますか?"});
}

TEST_F(Cut, PauseAsksForEachDiskBeforeItsPiece) {
  WriteFile(dir / "r.bin", Pattern(2500));
  ASSERT_EQ(Run(dir / "r.bin", 1000, false, true), kDone);
  std::vector<std::string> disks = p.Filter("disk:");
  ASSERT_EQ(disks.size(), 3u);
  EXPECT_EQ(disks[0], "Disk1をセットしてください...");
  EXPECT_EQ(disks[2], "Disk3をセットしてください...");
  // The first question comes after the window is shown, before piece 0.
  EXPECT_EQ(p.log[3], "disk:Disk1をセットしてください...");
  EXPECT_EQ(p.log[4], "label:r.c00 (0 Kbytes)");
}

TEST_F(Cut, DestinationFoldersAreMadeAndAnEmptyOneMeansTheSourcesFolder) {
  WriteFile(dir / "r.bin", Pattern(1500));
  ASSERT_EQ(Run(dir / "r.bin", 1000, false, false, dir / "x/y/"), kDone);
  EXPECT_TRUE(Exists(dir / "x/y/r.c01"));
  ASSERT_EQ(Run(dir / "r.bin", 1000), kDone);
  EXPECT_TRUE(Exists(dir / "r.c01"));
}

// ---- refusals that must leave nothing behind --------------------------------

TEST_F(Cut, MissingSourceNamesTheFile) {
  EXPECT_EQ(Run(dir / "nothing.bin", 1000), kFailed);
  ASSERT_EQ(p.Notices().size(), 1u);
  EXPECT_NE(p.Notices()[0].find("nothing.bin"), std::string::npos);
}

// A source of 4 GiB or more (its length and copy faked: only the headers
// are written) gets "@PARVEX+", the low 32 bits in SourceSize and the full
// size in the record; its pieces stay below 4 GiB.
TEST_F(Cut, SourcesOf4GiBOrMoreGetTheLargeHeader) {
  const uint64_t size = (uint64_t{4} << 30) + (1u << 20) + 5;
  const uint32_t piece = 1u << 30;
  WriteFile(dir / "huge.iso", Pattern(10));
  p.fake_length[dir / "huge.iso"] = size;
  p.pretend_copy = true;
  p.lang = Lang::kEnglish;
  ASSERT_EQ(Run(dir / "huge.iso", piece, false, false, dir / "out/"), kDone);
  EXPECT_TRUE(p.Notices().empty());
  EXPECT_TRUE(Exists(dir / "out/huge.c04"));
  EXPECT_FALSE(Exists(dir / "out/huge.c05"));
  EXPECT_EQ(p.Filter("caption:"),
            std::vector<std::string>{"huge.iso (4,195,328 Kbytes)"});
  EXPECT_EQ(p.Filter("percent:"),
            std::vector<std::string>{"huge.iso is cut into 5 files."});

  Bytes c00 = ReadFile(dir / "out/huge.c00");
  ASSERT_GE(c00.size(), kHeaderSize);
  EXPECT_EQ(std::string(c00.begin(), c00.begin() + 8), "@PARVEX+");
  uint32_t low = 0;
  memcpy(&low, c00.data() + 16, 4);
  EXPECT_EQ(low, static_cast<uint32_t>(size));
  PieceHeader h;
  ASSERT_TRUE(ParsePieceHeader(c00.data(), &h));
  EXPECT_EQ(h.form, HeaderForm::kLarge);
  EXPECT_EQ(h.size, size);
  EXPECT_STREQ(h.file_name, "huge.iso");
  EXPECT_STREQ(h.exact_name, "");
}

// The kilobytes of any 64-bit size, in digits and grouped: around 2^31 and
// 2^32 kilobytes, around 2^63 bytes, and at 2^27 kilobytes, where the digits
// are worked out in two parts.
TEST(Kilobytes, OfAny64BitSize) {
  struct Case {
    uint64_t bytes;
    const char* digits;
    const char* grouped;
  };
  const Case cases[] = {
      {0, "0", "0"},
      {1023, "0", "0"},
      {1457664, "1423", "1,423"},
      {(uint64_t{1} << 37) - 1, "134217727", "134,217,727"},
      {uint64_t{1} << 37, "134217728", "134,217,728"},
      {0xFFFFFFFFull, "4194303", "4,194,303"},
      {(uint64_t{4} << 30) + (1u << 20), "4195328", "4,195,328"},
      {((uint64_t{1} << 31) - 1) << 10, "2147483647", "2,147,483,647"},
      {(uint64_t{1} << 41) + 1023, "2147483648", "2,147,483,648"},
      {((uint64_t{1} << 32) - 1) << 10, "4294967295", "4,294,967,295"},
      {uint64_t{1} << 42, "4294967296", "4,294,967,296"},
      {uint64_t{1} << 53, "8796093022208", "8,796,093,022,208"},
      {(uint64_t{1} << 63) - 1, "9007199254740991", "9,007,199,254,740,991"},
      {uint64_t{1} << 63, "9007199254740992", "9,007,199,254,740,992"},
      {~uint64_t{0}, "18014398509481983", "18,014,398,509,481,983"}};
  for (const Case& c : cases) {
    char digits[kKilobyteDigitsCap];
    EXPECT_STREQ(KilobyteDigits(c.bytes, digits), c.digits) << c.bytes;
    char out[32];
    KilobyteText(c.bytes, out, sizeof out);
    EXPECT_STREQ(out, c.grouped) << c.bytes;
  }
}

TEST_F(Cut, PieceSizeMustHoldTheHead) {
  WriteFile(dir / "r.bin", Pattern(5000));
  EXPECT_EQ(Run(dir / "r.bin", 283), kFailed);
  p.has_stub = true;
  p.stub = test::FakeStub();  // 1536 bytes
  EXPECT_EQ(Run(dir / "r.bin", 1536 + 283, true), kFailed);
  EXPECT_EQ(List(dir.path()), std::vector<std::string>{"r.bin"});
  p.lang = Lang::kEnglish;
  EXPECT_EQ(Run(dir / "r.bin", 100), kFailed);
  EXPECT_EQ(p.Notices().back(),
            "A piece size of 100 bytes cannot hold the 284 bytes that head "
            "piece 0.");
  EXPECT_EQ(Run(dir / "r.bin", 284), kDone) << "piece 0 without data is fine";
}

TEST_F(Cut, WithoutAStubASelfJoiningCutWritesNothing) {
  WriteFile(dir / "r.bin", Pattern(5000));
  EXPECT_EQ(Run(dir / "r.bin", 2000, true), kFailed);
  EXPECT_EQ(p.Notices(), std::vector<std::string>{"fail FindResource()"});
  EXPECT_EQ(List(dir.path()), std::vector<std::string>{"r.bin"});
}

TEST_F(Cut, WithoutAProgressWindowNothingIsWritten) {
  WriteFile(dir / "r.bin", Pattern(5000));
  p.progress_fails = true;
  EXPECT_EQ(Run(dir / "r.bin", 2000), kFailed);
  EXPECT_EQ(p.Notices(),
            std::vector<std::string>{"進行状況ウィンドウを作成できません."});
  EXPECT_EQ(List(dir.path()), std::vector<std::string>{"r.bin"});
}

TEST_F(Cut, NeverEmptiesItsOwnSource) {
  // Cutting report.c00 into its own folder: piece 0 has the source's name.
  Bytes src = Pattern(5000);
  WriteFile(dir / "report.c00", src);
  EXPECT_EQ(Run(dir / "report.c00", 2000), kFailed);
  EXPECT_EQ(p.Questions().size(), 0u) << "refused whatever the answer";
  ASSERT_EQ(p.Notices().size(), 1u);
  EXPECT_NE(p.Notices()[0].find(dir / "report.c00"), std::string::npos);
  EXPECT_EQ(ReadFile(dir / "report.c00"), src);
}

TEST_F(Cut, ASourceThatEndsEarlyFailsInsteadOfLooping) {
  WriteFile(dir / "r.bin", Pattern(3000));
  p.fake_length[dir / "r.bin"] = 9000;  // as if the file shrank after open
  EXPECT_EQ(Run(dir / "r.bin", 2000), kIoFailure);
  EXPECT_NE(std::string(io.text).find(dir / "r.bin"), std::string::npos);
  EXPECT_EQ(FileSize(dir / "r.c00"), 2000u);
  EXPECT_EQ(FileSize(dir / "r.c01.part"), 1284u) << "what was read stays";
  EXPECT_FALSE(Exists(dir / "r.c01"));
}

// A name without a code page 932 form goes into FileName as its stand-in,
// and the record after it names the file exactly; a join gives it back.
// Characters whose code page 932 bytes read back as another one (WAVE DASH
// as FULLWIDTH TILDE, MINUS SIGN as FULLWIDTH HYPHEN-MINUS) count as having
// no such form; the fullwidth forms read back as themselves.
TEST_F(Cut, NamesWithoutAShiftJisFormTravelInTheRecord) {
  struct Case {
    std::string name, stand_in, piece0;
  };
  const Case cases[] = {
      {"smile\xF0\x9F\x98\x80.txt", "smile_.txt", "smile\xF0\x9F\x98\x80.c00"},
      {"a\xE3\x80\x9C" "b.txt", "a_b.txt", "a\xE3\x80\x9C" "b.c00"},
      {"1\xE2\x88\x92" "2.txt", "1_2.txt", "1\xE2\x88\x92" "2.c00"},
      {"a\xEF\xBD\x9E" "b.txt", "", "a\xEF\xBD\x9E" "b.c00"}};
  for (const Case& c : cases) {
    test::TempDir d;
    FakePlatform q;
    WriteFile(d / c.name, Pattern(3000));
    ASSERT_EQ(CutFile(q, 2000, (d / c.name).c_str(), "", false, false, &io),
              kDone)
        << c.name;
    PieceHeader h;
    const Bytes c00 = ReadFile(d / c.piece0);
    ASSERT_TRUE(ParsePieceHeader(c00.data(), &h)) << c.name;
    if (c.stand_in.empty()) {
      EXPECT_EQ(h.form, HeaderForm::kClassic) << c.name;
    } else {
      EXPECT_EQ(h.form, HeaderForm::kRecord) << c.name;
      EXPECT_STREQ(h.file_name, c.stand_in.c_str());
      EXPECT_EQ(h.exact_name, c.name);
    }
    FakePlatform j;
    ASSERT_EQ(JoinFile(j, (d / c.piece0).c_str(), (d / "back/").c_str(), false,
                       &io),
              kDone)
        << c.name;
    EXPECT_EQ(List(d / "back"), std::vector<std::string>{c.name});
    EXPECT_EQ(ReadFile(d / ("back/" + c.name)), Pattern(3000));
  }
}

// The stand-in and the exact name share the 245 bytes after FileName's
// start: a name that does not fit is refused before anything is written,
// and the message says how long it may be.
TEST_F(Cut, ANameTooLongForTheRecordSaysHowLongItMayBe) {
  std::string name;
  for (int i = 0; i < 120; ++i) name += "\xC3\xA9";  // 240 bytes, 120 "_"
  name += ".txt";
  p.lang = Lang::kEnglish;
  WriteFile(dir / name, Pattern(3000));
  EXPECT_EQ(Run(dir / name, 2000), kFailed);
  ASSERT_EQ(p.Notices().size(), 1u);
  // 245 bytes less the stand-in's 124.
  EXPECT_NE(p.Notices()[0].find("121 bytes"), std::string::npos)
      << p.Notices()[0];
  EXPECT_EQ(List(dir.path()), std::vector<std::string>{name});
}

// POSIX names may hold what no join creates; such a set could never be
// joined again, so the cut refuses it before anything is made.
TEST_F(Cut, NamesNoJoinWouldCreateAreRefused) {
  for (const char* name : {"at 12:00.log", "a\\b.txt", "bell\x07.txt"}) {
    test::TempDir d;
    FakePlatform q;
    q.lang = Lang::kEnglish;
    WriteFile(d / name, Pattern(3000));
    EXPECT_EQ(CutFile(q, 2000, (d / name).c_str(), (d / "set/").c_str(), false,
                      false, &io),
              kFailed)
        << name;
    ASSERT_EQ(q.Notices().size(), 1u) << name;
    EXPECT_NE(q.Notices()[0].find("a piece set cannot carry"), std::string::npos)
        << q.Notices()[0];
    EXPECT_EQ(q.Notices()[0].find('\x07'), std::string::npos) << "shown as ?";
    EXPECT_EQ(List(d.path()), std::vector<std::string>{name}) << name;
  }
}


// What depends on the chunk runs for the Windows programs' chunk and for
// parvex's.
class CutChunks : public Cut, public ::testing::WithParamInterface<uint32_t> {
 protected:
  void SetUp() override { p.SetChunkSize(GetParam()); }
  const uint64_t C = GetParam();
};

TEST_P(CutChunks, ProgressCountsHeadAndDataAndIsNeverSetBeforeTheFirstChunk) {
  // Piece 0 holds the head and 1.5 chunks of data, piece 1 the rest.
  const uint64_t piece = 284 + C + C / 2, size = 3 * C + 100;
  WriteFile(dir / "big.bin", Pattern(size));
  ASSERT_EQ(Run(dir / "big.bin", static_cast<uint32_t>(piece)), kDone);
  // One position per chunk copied, the head counted as done from the start.
  // With C = 32768: 98,404 bytes + 284 = 98,688 in all; after the first
  // chunk 33,052 are done, 33,052 * 65,535 / 98,688 = 21,948.9 -> 21948;
  // then 49,436 -> 32828, 82,204 -> 54588, and all -> 65535.
  const std::vector<int> expected =
      C == 32768 ? std::vector<int>{21948, 32828, 54588, 65535}
                 : std::vector<int>{21848, 32769, 54611, 65535};
  ASSERT_TRUE(C == 32768 || C == (1u << 20)) << "no worked example for " << C;
  EXPECT_EQ(p.positions, expected);
}

TEST_P(CutChunks, CancelKeepsTheChunksWrittenUpToIt) {
  // Piece 0 = 284 + 2 C - 284 data (2 chunks), then pieces of 2 C.
  WriteFile(dir / "r.bin", Pattern(5 * C));
  p.cancel_at_check = 3;  // pressed during the first chunk of piece 1
  EXPECT_EQ(Run(dir / "r.bin", static_cast<uint32_t>(2 * C)), kFailed);
  EXPECT_EQ(FileSize(dir / "r.c00"), 2 * C);
  EXPECT_EQ(FileSize(dir / "r.c01.part"), C) << "kept under its .part name";
  EXPECT_FALSE(Exists(dir / "r.c01"));
  EXPECT_FALSE(Exists(dir / "r.c02.part"));
  EXPECT_TRUE(p.Notices().empty());
  EXPECT_EQ(p.log.back(), "destroy");
  EXPECT_EQ(p.TakeKept(), std::vector<std::string>{dir / "r.c01.part"});
}

TEST_P(CutChunks, AWriteFailureNamesThePieceAndKeepsWhatWasWritten) {
  WriteFile(dir / "r.bin", Pattern(4 * C));
  p.fail_write_at = 3;  // header, chunk, then the second chunk of piece 0
  EXPECT_EQ(Run(dir / "r.bin", static_cast<uint32_t>(3 * C)), kIoFailure);
  EXPECT_EQ(std::string(io.text),
            dir / "r.c00.part" + ": No space left on device");
  EXPECT_EQ(FileSize(dir / "r.c00.part"), 284u + C);
  EXPECT_FALSE(p.progress_open);
}

INSTANTIATE_TEST_SUITE_P(BothChunks, CutChunks,
                         ::testing::Values(32768u, 1u << 20));

// The refusal names every character that a piece set's file name may not
// hold, "/" among them, in both languages.
TEST_F(Cut, NameRefusalListsEveryRefusedCharacter) {
  test::TempDir d;
  FakePlatform q;
  q.lang = Lang::kEnglish;
  WriteFile(d / "at 12:00.log", Pattern(3000));
  ASSERT_EQ(CutFile(q, 2000, (d / "at 12:00.log").c_str(), "", false, false,
                    &io),
            kFailed);
  ASSERT_EQ(q.Notices().size(), 1u);
  for (const char* shown : {"\"\\\"", "\"/\"", "\":\"", "control character"})
    EXPECT_NE(q.Notices()[0].find(shown), std::string::npos)
        << shown << " missing from: " << q.Notices()[0];
  std::string ja = Text(Lang::kJapanese, kMsgNameNotStorable);
  EXPECT_NE(ja.find("\\, /, : または制御文字"), std::string::npos) << ja;
}

}  // namespace
}  // namespace pvx
