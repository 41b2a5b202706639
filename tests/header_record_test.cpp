// The header's extension record: what the builder chooses, what the parser
// honours, and what a joiner that knows only the classic header makes of an
// extended set.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engines/engine_util.h"
#include "format/piece_format.h"
#include "tests/fake_platform.h"
#include "tests/test_util.h"

namespace pvx {
namespace {

using Bytes = std::vector<uint8_t>;

uint32_t Le32(const uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// A joiner written from the classic layout alone: "@PARVEX " at 0, the
// size at 16, the name at 20 up to its NUL, the data from 284 on, pieces in
// order until the size is reached. It never looks past the name's NUL.
struct ClassicResult {
  std::string name;
  Bytes data;
};
std::optional<ClassicResult> ClassicJoin(const std::vector<Bytes>& pieces) {
  const Bytes& first = pieces.at(0);
  if (first.size() < 284 || memcmp(first.data(), "@PARVEX ", 8) != 0)
    return std::nullopt;
  ClassicResult out;
  out.name.assign(reinterpret_cast<const char*>(&first[20]),
                  strnlen(reinterpret_cast<const char*>(&first[20]), 263));
  const uint32_t size = Le32(&first[16]);
  for (size_t k = 0; k < pieces.size() && out.data.size() < size; ++k) {
    const size_t from = k == 0 ? 284 : 0;
    out.data.insert(out.data.end(), pieces[k].begin() + from, pieces[k].end());
  }
  if (out.data.size() != size) return std::nullopt;
  return out;
}

// Splits header + data into pieces of at most piece bytes.
std::vector<Bytes> CutSet(const uint8_t header[kHeaderSize], const Bytes& data,
                          size_t piece) {
  Bytes all(header, header + kHeaderSize);
  all.insert(all.end(), data.begin(), data.end());
  std::vector<Bytes> pieces;
  for (size_t at = 0; at < all.size(); at += piece)
    pieces.emplace_back(all.begin() + at,
                        all.begin() + std::min(all.size(), at + piece));
  return pieces;
}

// The header bytes for a local name as a cut makes them: the code page 932
// form when there is one, else the stand-in.
struct Made {
  HeaderBuild result;
  std::string header_name;
  bool exact;
  uint8_t bytes[kHeaderSize];
};
Made MakeHeader(Platform& p, const std::string& name, uint64_t size) {
  Made m;
  char header_name[kHeaderNameCap * 2];
  m.exact = p.ToHeaderName(name.c_str(), header_name, sizeof header_name);
  EXPECT_TRUE(m.exact || p.ToHeaderStandIn(name.c_str(), header_name,
                                           sizeof header_name))
      << name;
  m.header_name = header_name;
  m.result = BuildPieceHeader(m.bytes, name.c_str(), header_name, m.exact,
                              size);
  return m;
}

// Where the record of a header built with this FileName starts.
uint8_t* RecordOf(uint8_t* h) {
  return h + 21 + strlen(reinterpret_cast<char*>(h + 20));
}
// Sets the record's CRC again after a change, so that only the change can
// make a reader refuse it.
void Reseal(uint8_t* h) {
  uint8_t* r = RecordOf(h);
  const uint32_t n = r[13];
  const uint32_t crc = static_cast<uint32_t>(crc32(0, r, 14 + n));
  for (int i = 0; i < 4; ++i) r[14 + n + i] = static_cast<uint8_t>(crc >> 8 * i);
}

const char* const kOutsideCp932[] = {
    "café.bin",     "Präsentation.pptx", "straße.txt", "한국어.zip",
    "Ελληνικά.txt", "€uro.xls",          "©2026.txt",  "file–dash.txt",
    "📦box.bin",
};

TEST(HeaderStandIn, ReplacesEachCharacterWithoutAFormByOneUnderscore) {
  FakePlatform p;
  char out[64];
  ASSERT_TRUE(p.ToHeaderStandIn("café.bin", out, sizeof out));
  EXPECT_STREQ(out, "caf_.bin");
  ASSERT_TRUE(p.ToHeaderStandIn("한국어.zip", out, sizeof out));
  EXPECT_STREQ(out, "___.zip");
  ASSERT_TRUE(p.ToHeaderStandIn("📦box.bin", out, sizeof out));
  EXPECT_STREQ(out, "_box.bin");
  // Characters that have a form keep it: Greek letters do, the accented
  // alpha does not.
  char greek[64];
  ASSERT_TRUE(p.ToHeaderName("Ελληνικ.txt", greek, sizeof greek));
  ASSERT_TRUE(p.ToHeaderStandIn("Ελληνικά.txt", out, sizeof out));
  EXPECT_EQ(std::string(out), std::string(greek, 14) + "_.txt");
  // A name with a form is its own stand-in.
  char exact[64];
  ASSERT_TRUE(p.ToHeaderName("報告書.txt", exact, sizeof exact));
  ASSERT_TRUE(p.ToHeaderStandIn("報告書.txt", out, sizeof out));
  EXPECT_STREQ(out, exact);
}

TEST(HeaderStandIn, RefusesInvalidUtf8AndWhatDoesNotFit) {
  FakePlatform p;
  char out[8];
  EXPECT_FALSE(p.ToHeaderStandIn("a\xC3(.bin", out, sizeof out));
  EXPECT_FALSE(p.ToHeaderStandIn("\xFF.bin", out, sizeof out));
  EXPECT_FALSE(p.ToHeaderStandIn("café.bin1", out, sizeof out));
  EXPECT_TRUE(p.ToHeaderStandIn("café.bi", out, sizeof out));
}

TEST(HeaderBuild, ClassicHeadersStayByteForByte) {
  FakePlatform p;
  for (const char* name : {"report.txt", "報告書.txt", "ｶﾀｶﾅ.dat"}) {
    for (uint64_t size : {0ull, 1ull, 0x01020304ull, 0xFFFFFFFFull}) {
      Made m = MakeHeader(p, name, size);
      ASSERT_EQ(m.result, HeaderBuild::kOk);
      ASSERT_TRUE(m.exact);
      uint8_t classic[kHeaderSize];
      ASSERT_TRUE(BuildPieceHeader(classic, m.header_name.c_str(),
                                   static_cast<uint32_t>(size)));
      EXPECT_EQ(0, memcmp(m.bytes, classic, kHeaderSize)) << name << size;
    }
  }
  // The same name from 4 GiB on is no classic header.
  Made m = MakeHeader(p, "report.txt", 0x100000000ull);
  ASSERT_EQ(m.result, HeaderBuild::kOk);
  EXPECT_EQ(0, memcmp(m.bytes, "@PARVEX+", 8));
}

TEST(HeaderBuild, RecordsRoundTripUnderBothMagics) {
  FakePlatform p;
  std::vector<std::string> names(std::begin(kOutsideCp932),
                                 std::end(kOutsideCp932));
  names.push_back("報告書.txt");
  for (const std::string& name : names) {
    for (uint64_t size : {12345ull, 0x100000000ull, 0x5FFFFFFFFull + 7}) {
      Made m = MakeHeader(p, name, size);
      ASSERT_EQ(m.result, HeaderBuild::kOk) << name;
      PieceHeader h;
      ASSERT_TRUE(ParsePieceHeader(m.bytes, &h)) << name;
      EXPECT_EQ(h.size, size) << name;
      EXPECT_EQ(h.source_size, static_cast<uint32_t>(size));
      EXPECT_STREQ(h.file_name, m.header_name.c_str());
      const bool large = size > 0xFFFFFFFFu;
      EXPECT_EQ(h.form, large      ? HeaderForm::kLarge
                        : m.exact ? HeaderForm::kClassic
                                  : HeaderForm::kRecord)
          << name;
      // The record names the file only where FileName cannot.
      EXPECT_STREQ(h.exact_name, m.exact ? "" : name.c_str());
      char local[kNameCap];
      ASSERT_TRUE(p.FromHeaderName(h.file_name, local, sizeof local));
      EXPECT_EQ(h.exact_name[0] ? h.exact_name : std::string(local), name);
    }
  }
}

TEST(HeaderBuild, RefusesWhatDoesNotFitAndSaysHowLongANameMayBe) {
  FakePlatform p;
  // "é" takes 2 bytes in the record and 1 ("_") in FileName; ASCII 1 and 1.
  auto name = [](int accents, int ascii) {
    std::string s;
    for (int i = 0; i < accents; ++i) s += "é";
    return s + std::string(ascii, 'x');
  };
  EXPECT_EQ(MakeHeader(p, name(81, 1), 7).result, HeaderBuild::kOk);
  Made over = MakeHeader(p, name(82, 0), 7);
  EXPECT_EQ(over.result, HeaderBuild::kRecordTooLong);
  EXPECT_EQ(RecordNameRoom(over.header_name.c_str()), 245u - 82);
  EXPECT_LT(RecordNameRoom(over.header_name.c_str()), name(82, 0).size());
  // At the limit the name comes back whole.
  Made at = MakeHeader(p, name(81, 1), 7);
  PieceHeader h;
  ASSERT_TRUE(ParsePieceHeader(at.bytes, &h));
  EXPECT_EQ(std::string(h.exact_name), name(81, 1));
  // Any name of kLongestRecordedName bytes fits, whatever its characters.
  for (int accents : {1, 30, 60}) {
    std::string n = name(accents, kLongestRecordedName - 2 * accents);
    ASSERT_EQ(n.size(), kLongestRecordedName);
    EXPECT_EQ(MakeHeader(p, n, 7).result, HeaderBuild::kOk) << accents;
  }
  // A name with a code page 932 form needs room for the record only from
  // 4 GiB on.
  std::string long_ascii(246, 'a');
  EXPECT_EQ(MakeHeader(p, long_ascii, 7).result, HeaderBuild::kOk);
  EXPECT_EQ(MakeHeader(p, long_ascii, 0x100000000ull).result,
            HeaderBuild::kRecordTooLong);
  EXPECT_EQ(MakeHeader(p, long_ascii.substr(1), 0x100000000ull).result,
            HeaderBuild::kOk);
  EXPECT_EQ(MakeHeader(p, std::string(264, 'a'), 7).result,
            HeaderBuild::kNameTooLong);
}

TEST(ClassicReader, RebuildsANameExtendedSetUnderTheStandIn) {
  FakePlatform p;
  const Bytes data = test::Pattern(5000, 3);
  for (const char* name : kOutsideCp932) {
    Made m = MakeHeader(p, name, data.size());
    ASSERT_EQ(m.result, HeaderBuild::kOk);
    auto joined = ClassicJoin(CutSet(m.bytes, data, 1457));
    ASSERT_TRUE(joined) << name;
    EXPECT_EQ(joined->name, m.header_name);
    EXPECT_TRUE(joined->data == data) << name;
  }
}

TEST(ClassicReader, RefusesALargeSet) {
  FakePlatform p;
  for (const char* name : {"report.txt", "café.bin"}) {
    Made m = MakeHeader(p, name, 0x100000000ull + 10);
    ASSERT_EQ(m.result, HeaderBuild::kOk);
    EXPECT_FALSE(ClassicJoin(CutSet(m.bytes, Bytes(10, 1), 4096))) << name;
  }
}

TEST(HeaderParse, ArbitraryBytesAfterTheNameReadAsClassic) {
  std::mt19937 rng(20260101);
  for (int seed = 0; seed < 2000; ++seed) {
    uint8_t h[kHeaderSize];
    std::string name(rng() % 40, 'n');
    ASSERT_TRUE(BuildPieceHeader(h, name.c_str(), rng()));
    for (size_t i = 21 + name.size(); i < kHeaderSize; ++i)
      h[i] = static_cast<uint8_t>(rng());
    // Half of them start like a record, to get past the tag.
    if (seed % 2) memcpy(h + 21 + name.size(), "PVXE\1", 5);
    PieceHeader out;
    ASSERT_TRUE(ParsePieceHeader(h, &out));
    EXPECT_EQ(out.form, HeaderForm::kClassic);
    EXPECT_EQ(out.size, Le32(h + 16));
    EXPECT_STREQ(out.exact_name, "");
    EXPECT_EQ(out.file_name, name);
    h[7] = '+';
    EXPECT_FALSE(ParsePieceHeader(h, &out)) << seed;
  }
}

// Each way a record can be wrong, under both magics: a "@PARVEX " header
// reads as classic, a "@PARVEX+" header is no header.
TEST(HeaderParse, ABrokenRecordIsNeverHonoured) {
  FakePlatform p;
  struct Break {
    const char* what;
    void (*apply)(uint8_t*);
  };
  const Break breaks[] = {
      {"bad CRC", [](uint8_t* h) { RecordOf(h)[14 + RecordOf(h)[13]] ^= 1; }},
      {"version 2",
       [](uint8_t* h) {
         RecordOf(h)[4] = 2;
         Reseal(h);
       }},
      {"other tag",
       [](uint8_t* h) {
         RecordOf(h)[3] = 'F';
         Reseal(h);
       }},
      {"n past the end", [](uint8_t* h) { RecordOf(h)[13] = 250; }},
      {"NUL in the name",
       [](uint8_t* h) {
         RecordOf(h)[15] = 0;
         Reseal(h);
       }},
      {"SourceSize disagrees", [](uint8_t* h) { h[16] ^= 1; }},
  };
  for (uint64_t size : {5000ull, 0x100000000ull + 5000}) {
    Made m = MakeHeader(p, "한국어.zip", size);
    ASSERT_EQ(m.result, HeaderBuild::kOk);
    for (const Break& b : breaks) {
      uint8_t h[kHeaderSize];
      memcpy(h, m.bytes, sizeof h);
      b.apply(h);
      PieceHeader out;
      if (size > 0xFFFFFFFFu) {
        EXPECT_FALSE(ParsePieceHeader(h, &out)) << b.what;
        continue;
      }
      ASSERT_TRUE(ParsePieceHeader(h, &out)) << b.what;
      EXPECT_EQ(out.form, HeaderForm::kClassic) << b.what;
      EXPECT_STREQ(out.exact_name, "") << b.what;
      EXPECT_EQ(out.size, Le32(h + 16)) << b.what;
      EXPECT_EQ(out.file_name, m.header_name) << b.what;
    }
  }
  // A record whose size passes 4 GiB under "@PARVEX ": an older reader
  // would copy another length, so the record is not honoured.
  Made m = MakeHeader(p, "café.bin", 0x100000000ull + 5000);
  m.bytes[7] = ' ';
  PieceHeader out;
  ASSERT_TRUE(ParsePieceHeader(m.bytes, &out));
  EXPECT_EQ(out.form, HeaderForm::kClassic);
  EXPECT_EQ(out.size, 5000u);
}

TEST(HeaderRead, ALargeHeaderOnlyWhereTheCallerTakesIt) {
  test::TempDir dir;
  FakePlatform p;
  Made m = MakeHeader(p, "big.bin", 0x100000000ull + 1);
  test::WriteFile(dir / "big.c00", Bytes(m.bytes, m.bytes + kHeaderSize));
  Failure why;
  PieceHeader h;
  FileHandle f = p.OpenRead((dir / "big.c00").c_str(), &why);
  EXPECT_EQ(ReadPieceHeader(p, f, &h, &why), HeaderRead::kNotPieceSet);
  ASSERT_TRUE(p.Seek(f, 0, &why));
  ASSERT_EQ(ReadPieceHeader(p, f, &h, &why, true), HeaderRead::kOk);
  EXPECT_EQ(h.size, 0x100000001ull);
  p.Close(f);
}

TEST(PieceNames, RunToFourDigits) {
  char out[32];
  ASSERT_TRUE(PieceName(out, sizeof out, "set", 7));
  EXPECT_STREQ(out, "set.c07");
  ASSERT_TRUE(PieceName(out, sizeof out, "set", 100));
  EXPECT_STREQ(out, "set.c100");
  ASSERT_TRUE(PieceName(out, sizeof out, "set", kMaxSetPieces - 1));
  EXPECT_STREQ(out, "set.c9999");
}

}  // namespace
}  // namespace pvx
