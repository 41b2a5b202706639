// The piece format and the small helpers every engine leans on.
#include <climits>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "base/path.h"
#include "engines/engine_util.h"
#include "format/piece_format.h"
#include "platform/names.h"
#include "base/text.h"
#include "platform/percent.h"
#include "tests/fake_platform.h"
#include "tests/test_util.h"

namespace pvx {
namespace {

using test::TempDir;

TEST(PieceHeader, BuildsTheExactBytes) {
  uint8_t h[kHeaderSize];
  memset(h, 0xAA, sizeof h);
  ASSERT_TRUE(BuildPieceHeader(h, "report.txt", 0x01020304));
  EXPECT_EQ(0, memcmp(h, "@PARVEX ", 8));
  EXPECT_EQ(h[8], 284 & 0xFF);
  EXPECT_EQ(h[9], 284 >> 8);
  EXPECT_EQ(h[10], 2);
  EXPECT_EQ(h[11], 1);
  EXPECT_EQ(h[12], 0xFF);
  EXPECT_EQ(h[13] | h[14] | h[15], 0);
  EXPECT_EQ(h[16], 0x04);
  EXPECT_EQ(h[17], 0x03);
  EXPECT_EQ(h[18], 0x02);
  EXPECT_EQ(h[19], 0x01);
  EXPECT_STREQ(reinterpret_cast<char*>(h + 20), "report.txt");
  for (size_t i = 20 + 11; i < kHeaderSize; ++i) EXPECT_EQ(h[i], 0) << i;
}

TEST(PieceHeader, NameMustLeaveRoomForItsTerminator) {
  uint8_t h[kHeaderSize];
  std::string fits(263, 'a'), too_long(264, 'a');
  EXPECT_TRUE(BuildPieceHeader(h, fits.c_str(), 1));
  EXPECT_FALSE(BuildPieceHeader(h, too_long.c_str(), 1));
}

TEST(PieceHeader, ParsingChecksTheMagicAsBytes) {
  uint8_t h[kHeaderSize];
  BuildPieceHeader(h, "a.bin", 77);
  PieceHeader out;
  ASSERT_TRUE(ParsePieceHeader(h, &out));
  EXPECT_EQ(out.header_size, 284);
  EXPECT_EQ(out.source_size, 77u);
  EXPECT_EQ(out.name_is_whole, 1);
  EXPECT_STREQ(out.file_name, "a.bin");
  h[7] = '_';  // "@PARVEX" followed by anything but a blank
  EXPECT_FALSE(ParsePieceHeader(h, &out));
}

TEST(PieceHeader, ReadingNeedsAllOfItsBytes) {
  TempDir dir;
  FakePlatform p;
  uint8_t h[kHeaderSize];
  BuildPieceHeader(h, "a.bin", 5);
  test::WriteFile(dir / "short", std::vector<uint8_t>(h, h + 283));
  test::WriteFile(dir / "whole", std::vector<uint8_t>(h, h + 284));
  PieceHeader out;
  Failure why;
  FileHandle f = p.OpenRead((dir / "short").c_str(), &why);
  EXPECT_EQ(ReadPieceHeader(p, f, &out, &why), HeaderRead::kNotPieceSet);
  p.Close(f);
  f = p.OpenRead((dir / "whole").c_str(), &why);
  EXPECT_EQ(ReadPieceHeader(p, f, &out, &why), HeaderRead::kOk);
  p.Close(f);
}

TEST(StubImageSize, EndsAtTheLastSectionsRawData) {
  auto img = test::FakeStub(3);
  EXPECT_EQ(StubImageSize(img.data(), static_cast<uint32_t>(img.size())),
            img.size());
  // A section whose name does not start with '.' is stepped over without
  // being counted, so the walk goes one entry further and ends there.
  auto odd = test::FakeStub(3);
  uint8_t* entry1 = &odd[0x80 + 248 + 40];
  uint8_t* entry3 = &odd[0x80 + 248 + 3 * 40];
  entry1[0] = 'X';
  entry3[0] = '.';
  std::fill(entry3 + 16, entry3 + 24, 0);
  entry3[16] = 0x10;  // SizeOfRawData 0x10
  entry3[20] = 0x00;  // PointerToRawData 0x100
  entry3[21] = 0x01;
  EXPECT_EQ(StubImageSize(odd.data(), static_cast<uint32_t>(odd.size())),
            0x110u);
}

TEST(StubImageSize, RefusesWalksOutsideTheImage) {
  auto img = test::FakeStub(2);
  const uint32_t n = static_cast<uint32_t>(img.size());
  EXPECT_EQ(StubImageSize(img.data(), 0x3F), 0u);      // no e_lfanew
  EXPECT_EQ(StubImageSize(nullptr, 100), 0u);
  auto far = img;
  far[0x3C] = 0xF0;
  far[0x3D] = 0xFF;  // signature beyond the end
  EXPECT_EQ(StubImageSize(far.data(), n), 0u);
  auto many = img;
  many[0x80 + 6] = 0xFF;
  many[0x80 + 7] = 0xFF;  // 65535 sections: the table runs off the end
  EXPECT_EQ(StubImageSize(many.data(), n), 0u);
  // Truncated just inside the last entry of the table.
  EXPECT_EQ(StubImageSize(img.data(), 0x80 + 248 + 2 * 40 - 1), 0u);
  EXPECT_EQ(StubImageSize(img.data(), 0x80 + 248 + 2 * 40), n);
}

TEST(SplitPath, FolderNameBaseAndExtension) {
  PathParts p;
  ASSERT_TRUE(SplitPath("C:\\dir.v\\readme", &p, '\\'));
  EXPECT_STREQ(p.folder, "C:\\dir.v\\");
  EXPECT_STREQ(p.name, "readme");
  EXPECT_STREQ(p.base, "readme");
  EXPECT_STREQ(p.ext, "");
  ASSERT_TRUE(SplitPath("archive.tar.gz", &p, '/'));
  EXPECT_STREQ(p.folder, "");
  EXPECT_STREQ(p.base, "archive.tar");
  EXPECT_STREQ(p.ext, ".gz");
  ASSERT_TRUE(SplitPath("/a/b/", &p, '/'));
  EXPECT_STREQ(p.folder, "/a/b/");
  EXPECT_STREQ(p.name, "");
  ASSERT_TRUE(SplitPath("/x/.profile", &p, '/'));
  EXPECT_STREQ(p.base, "");
  EXPECT_STREQ(p.ext, ".profile");
  // UTF-8 never has a '/' or '.' inside a character.
  ASSERT_TRUE(SplitPath("/d/表ソ.txt", &p, '/'));
  EXPECT_STREQ(p.base, "表ソ");
  std::string huge(kPathCap, 'a');
  EXPECT_FALSE(SplitPath(huge.c_str(), &p, '/'));
}

TEST(CreateFolderChain, CreatesWhatIsMissingAndStopsAtAFile) {
  TempDir dir;
  FakePlatform p;
  std::string deep = dir / "a/b/c/";
  EXPECT_TRUE(CreateFolderChain(p, deep.c_str()));
  EXPECT_TRUE(p.IsFolder((dir / "a/b/c").c_str()));
  EXPECT_TRUE(CreateFolderChain(p, deep.c_str()));  // all there already
  EXPECT_TRUE(CreateFolderChain(p, (dir / "x/y").c_str()));  // no trailing /
  EXPECT_TRUE(p.IsFolder((dir / "x/y").c_str()));
  test::WriteFile(dir / "file", {1});
  EXPECT_FALSE(CreateFolderChain(p, (dir / "file/sub/").c_str()));
  EXPECT_FALSE(test::Exists(dir / "file/sub"));
  EXPECT_FALSE(CreateFolderChain(p, ""));
}

TEST(GroupDigits, CommasBetweenGroupsOfThree) {
  char out[32];
  const char* cases[][2] = {{"", ""},          {"7", "7"},
                            {"12", "12"},      {"123", "123"},
                            {"1234", "1,234"}, {"123456", "123,456"},
                            {"1234567", "1,234,567"}};
  for (auto& c : cases) {
    GroupDigits(c[0], out, sizeof out);
    EXPECT_STREQ(out, c[1]) << c[0];
  }
  KilobyteText(1457664, out, sizeof out);
  EXPECT_STREQ(out, "1,423");
  KilobyteText(1023, out, sizeof out);
  EXPECT_STREQ(out, "0");
}

TEST(Naming, PiecesAndSelfJoiningBases) {
  char out[64];
  PieceName(out, sizeof out, "report", 0);
  EXPECT_STREQ(out, "report.c00");
  PieceName(out, sizeof out, "report", 100);
  EXPECT_STREQ(out, "report.c100");
  SelfJoinBase(out, sizeof out, "report");
  EXPECT_STREQ(out, "_sReport");
  SelfJoinBase(out, sizeof out, "2nd");
  EXPECT_STREQ(out, "_s2nd");
  SelfJoinBase(out, sizeof out, "");
  EXPECT_STREQ(out, "_s");
  SelfJoinBase(out, sizeof out, "表");
  EXPECT_STREQ(out, "_s表");
}

TEST(Naming, OnlyPlainFileNamesAreSafe) {
  for (const char* bad : {"", ".", "..", "a/b", "..\\x", "c:x", "a\tb", "\x7f"})
    EXPECT_FALSE(IsSafeFileName(bad)) << bad;
  for (const char* good : {"report.txt", "...", ".profile", "表.txt", "a b"})
    EXPECT_TRUE(IsSafeFileName(good)) << good;
}

TEST(Naming, WindowsDeviceNamesAndTrimmedNames) {
  for (const char* device :
       {"NUL", "nul", "con.txt", "COM1.log", "Aux", "prn.", "nul.tar.gz",
        "NUL .txt", "NUL  ", "lpt9", "LPT0.x", "com0", "CONIN$", "conout$.a",
        "COM\xC2\xB9", "lpt\xC2\xB3.txt", "nul..txt"})
    EXPECT_TRUE(IsWindowsDeviceOrTrimmedName(device)) << device;
  for (const char* trimmed : {"report.c01.", "report.c01 ", "a. .", "...", " "})
    EXPECT_TRUE(IsWindowsDeviceOrTrimmedName(trimmed)) << trimmed;
  for (const char* plain :
       {"report.c01", "nul_", "NULL", "null.txt", "con1", "COM10", "COMA",
        "LPT", "com", "x.nul", "x.con.txt", "CONIN", "conout$x",
        "COM\xC2\xB4", "COM\xC2", "lpt1x.txt", "auxiliary", ".nul", "表.txt",
        ".profile", "a b"})
    EXPECT_FALSE(IsWindowsDeviceOrTrimmedName(plain)) << plain;
}

TEST(Progress, PositionsAndPercentText) {
  EXPECT_EQ(ProgressPosition(0, 100), 0);
  EXPECT_EQ(ProgressPosition(100, 100), 65535);
  EXPECT_EQ(ProgressPosition(1, 3), 21845);
  EXPECT_EQ(ProgressPosition(0xFFFFFFFFull * 2, 284), 2147483647);
  char t[16];
  const std::pair<int, const char*> cases[] = {
      {0, "0%"}, {655, "0%"}, {656, "1%"}, {37500, "57%"},
      {65534, "99%"}, {65535, "100%"}, {65535 + 656, "1%"},
      {2 * 65535, "0%"}};
  for (auto& c : cases) {
    PercentText(c.first, t, sizeof t);
    EXPECT_STREQ(t, c.second) << c.first;
  }
  // Positions and ranges far outside the bar's own, against the rule in
  // plain 64-bit arithmetic.
  const int extremes[] = {INT_MIN, -65535 * 3 - 1, -656, -1, 1, INT_MAX};
  for (int low : {0, -7, 65535, INT_MIN})
    for (int high : {65535, 0, INT_MAX})
      for (int pos : extremes) {
        int64_t span = int64_t{high} - low;
        int64_t q = span ? (int64_t{pos} - low) * 100 / span : 0;
        if (q != 100) q %= 100;
        PercentText(pos, t, sizeof t, low, high);
        EXPECT_EQ(t, std::to_string(q) + "%") << pos << " " << low << ".." << high;
      }
}

TEST(Text, FormatKnowsWhatTheMessagesUse) {
  char out[64];
  Format(out, sizeof out, "%s.c%02d|%d|%u|%c%%", "a", 7, -42, 4000000000u, 'x');
  EXPECT_STREQ(out, "a.c07|-42|4000000000|x%");
  EXPECT_FALSE(Format(out, 6, "%s", "abcdefgh"));
  EXPECT_STREQ(out, "abcde");
  EXPECT_EQ(StrCompareNoCase(".EXE", ".exe"), 0);
  EXPECT_NE(StrCompareNoCase(".exe", ".ex"), 0);
}

}  // namespace
}  // namespace pvx
