// SIZE and --pieces as parvex reads them.
#include "cli/sizes.h"
#include "engines/cut_plan.h"

#include <gtest/gtest.h>

#include "format/piece_format.h"

namespace pvx {
namespace {

uint32_t Bytes(const char* text) {
  uint32_t bytes = 12345;
  EXPECT_EQ(ParseSize(text, &bytes), SizeError::kNone) << text;
  return bytes;
}

SizeError Error(const char* text) {
  uint32_t bytes = 12345;
  SizeError e = ParseSize(text, &bytes);
  EXPECT_EQ(bytes, 12345u) << text << " set a size although refused";
  return e;
}

TEST(SizeParse, PlainNumberIsBytes) {
  EXPECT_EQ(Bytes("0"), 0u);
  EXPECT_EQ(Bytes("284"), 284u);
  EXPECT_EQ(Bytes("000700"), 700u);
  EXPECT_EQ(Bytes("4294967295"), 4294967295u);
}

TEST(SizeParse, SingleLettersArePowersOf1024) {
  EXPECT_EQ(Bytes("1K"), 1024u);
  EXPECT_EQ(Bytes("700k"), 716800u);
  EXPECT_EQ(Bytes("1M"), 1048576u);
  EXPECT_EQ(Bytes("25m"), 26214400u);
  EXPECT_EQ(Bytes("1G"), 1073741824u);
  EXPECT_EQ(Bytes("3g"), 3221225472u);
}

TEST(SizeParse, IecSuffixesArePowersOf1024) {
  EXPECT_EQ(Bytes("1KiB"), 1024u);
  EXPECT_EQ(Bytes("2MiB"), 2097152u);
  EXPECT_EQ(Bytes("3GiB"), 3221225472u);
  EXPECT_EQ(Bytes("5kiB"), 5120u);
}

TEST(SizeParse, ByteSuffixesArePowersOf1000) {
  EXPECT_EQ(Bytes("1KB"), 1000u);
  EXPECT_EQ(Bytes("1kB"), 1000u);
  EXPECT_EQ(Bytes("25MB"), 25000000u);
  EXPECT_EQ(Bytes("4GB"), 4000000000u);
  EXPECT_EQ(Bytes("1mB"), 1000000u);
}

TEST(SizeParse, DisketteSizesAreNotComputed) {
  EXPECT_EQ(Bytes("1.44M"), 1457664u);
  EXPECT_EQ(Bytes("1.44m"), 1457664u);
  EXPECT_EQ(Bytes("1.25M"), 1250304u);
  EXPECT_EQ(Bytes("1.25m"), 1250304u);
}

TEST(SizeParse, MalformedSizesAreRefused) {
  for (const char* text :
       {"", "K", "KB", "M", "-5", "+5", " 5", "5 ", "1.5M", "1.44", "1.44MB",
        "1.44MiB", "1.25G", "0x10", "12Q", "1KK", "1KBB", "1KIB", "1Ki",
        "1iB", "1B", "1b", "5T", "5P", "1,000", "1e6", "10Kb", "10KiBs"}) {
    EXPECT_EQ(Error(text), SizeError::kMalformed) << "'" << text << "'";
  }
}

TEST(SizeParse, FourGibibytesOrMoreAreTooLarge) {
  for (const char* text : {"4294967296", "4G", "4GiB", "5GB", "4194304K",
                           "99999999999999999999999", "4096M",
                           "18446744073709551617"}) {
    EXPECT_EQ(Error(text), SizeError::kTooLarge) << text;
  }
  EXPECT_EQ(Bytes("4194303K"), 4294966272u);
  EXPECT_EQ(Bytes("4294967KB"), 4294967000u);
}

TEST(SizeParse, ErrorsSayWhatIsAccepted) {
  std::string en = SizeErrorText(Lang::kEnglish, SizeError::kMalformed, "12Q");
  EXPECT_EQ(en.rfind("parvex: ", 0), 0u) << en;
  for (const char* word : {"'12Q'", "KiB", "KB", "1.44M", "1.25M", "1024",
                           "1000"}) {
    EXPECT_NE(en.find(word), std::string::npos) << word << " in " << en;
  }
  std::string big = SizeErrorText(Lang::kEnglish, SizeError::kTooLarge, "4G");
  EXPECT_NE(big.find("4294967295"), std::string::npos) << big;
  std::string ja = SizeErrorText(Lang::kJapanese, SizeError::kMalformed, "12Q");
  EXPECT_EQ(ja.rfind("parvex: ", 0), 0u) << ja;
  EXPECT_NE(ja.find("サイズ"), std::string::npos) << ja;
  EXPECT_NE(ja, en);
}

TEST(SizePieceCount, ReadsPlainNumbersOnly) {
  uint32_t n = 0;
  EXPECT_TRUE(ParsePieceCount("7", &n));
  EXPECT_EQ(n, 7u);
  EXPECT_TRUE(ParsePieceCount("101", &n));
  EXPECT_EQ(n, 101u);
  for (const char* text : {"", "-1", "1.5", "3K", "x", "1234567890"}) {
    EXPECT_FALSE(ParsePieceCount(text, &n)) << text;
  }
}

// The number of pieces a cut with this size makes.
uint64_t Count(uint64_t source, uint32_t head, uint32_t size) {
  return (source + head + size - 1) / size;
}

TEST(SizePieces, SmallestSizeGivingExactlyN) {
  const uint32_t head = kHeaderSize;
  for (uint64_t source : {1000ull, 5000ull, 1000000ull, 123456789ull}) {
    for (uint32_t n : {2u, 3u, 7u, 10u, 100u}) {
      uint32_t size = PieceSizeFor(source, head, n);
      if (size == 0) continue;  // checked below
      EXPECT_EQ(Count(source, head, size), n) << source << "/" << n;
      EXPECT_GE(size, head);
      if (size > head) {
        EXPECT_GT(Count(source, head, size - 1), n)
            << "a smaller size also gives " << n << " pieces of " << source;
      }
    }
  }
  // Piece 0's head is counted: 10000 data bytes and 284 head bytes in 4
  // pieces need 2571 bytes each, not 2500.
  EXPECT_EQ(PieceSizeFor(10000, head, 4), 2571u);
  // A head larger than an even share: piece 0 must still hold it.
  EXPECT_EQ(PieceSizeFor(10000, head + 20000, 2), head + 20000);
  EXPECT_EQ(PieceSizeFor(40000, head + 20000, 2), 30142u);
}

TEST(SizePieces, NoSizeGivesThatMany) {
  EXPECT_EQ(PieceSizeFor(1000, kHeaderSize, 0), 0u);
  // 1284 bytes with pieces of at least 284 make at most 5 pieces.
  EXPECT_EQ(PieceSizeFor(1000, kHeaderSize, 5), 284u);
  EXPECT_EQ(PieceSizeFor(1000, kHeaderSize, 6), 0u);
  EXPECT_EQ(PieceSizeFor(1000, kHeaderSize, 100), 0u);
  // 10 bytes past a head of 2: 12 pieces of 1 byte are not possible, and
  // 7 pieces cannot come out of 12 bytes with equal sizes (2 gives 6, 1
  // is below the head).
  EXPECT_EQ(PieceSizeFor(10, 2, 7), 0u);
  EXPECT_EQ(PieceSizeFor(10, 2, 6), 2u);
  // A size of 4 GiB or more is no size.
  EXPECT_EQ(PieceSizeFor(0xFFFFFFFFull * 2, kHeaderSize, 2), 0u);
  EXPECT_EQ(PieceSizeFor(0xFFFFFFFFull, kHeaderSize, 2), 2147483790u);
}

}  // namespace
}  // namespace pvx
