// The checksum list: what we write passes coreutils' sha256sum -c, what
// sha256sum writes we read, and malformed lists are refused by file and line.
#include "integrity/sha256_list.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/test_util.h"

namespace pvx {
namespace {

// Runs "cd DIR && CMD" in a shell; returns the exit status, *out gets the
// output (standard error included).
int RunIn(const std::string& dir, const std::string& cmd, std::string* out) {
  // In English, whatever language this process reads its texts in: the
  // words compared are coreutils' English ones.
  std::string line =
      "unset LANGUAGE; export LC_ALL=C; cd '" + dir + "' && " + cmd + " 2>&1";
  FILE* f = popen(line.c_str(), "r");
  if (!f) return -1;
  char buf[4096];
  size_t n;
  out->clear();
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out->append(buf, n);
  int status = pclose(f);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveSha256sum() {
  std::string out;
  return RunIn("/", "sha256sum --version", &out) == 0;
}

Sha256 DigestOfBytes(const std::vector<uint8_t>& b) {
  return Digest::Of(b.data(), b.size());
}

std::string Hex(const std::string& s) {
  return ToHex(Digest::Of(s.data(), s.size()));
}

// Names a set may carry: plain, spaces, Japanese, and the characters that
// sha256sum escapes.
const std::vector<std::string>& OddNames() {
  static const std::vector<std::string> names = {
      "report.c00",
      "my report.c01",
      "  two leading spaces.c02",
      "\xE5\xA0\xB1\xE5\x91\x8A\xE6\x9B\xB8 \xE7\xAC\xAC" "1\xE7\x89\x88.c03",  // 報告書 第1版
      "back\\slash.c04",
      "new\nline.c05",
      "carriage\rreturn.c06",
      "star*and(parens) = x.c07",
      "*leading star.c08",
      "trailing\\",
  };
  return names;
}

// ---- writing ----------------------------------------------------------------

TEST(ListWrite, LinesAreCoreutilsText) {
  Sha256 d = Digest::Of("abc", 3);
  EXPECT_EQ(FormatListLine("report.c00", d),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"
            "  report.c00\n");
  EXPECT_EQ(FormatListLine("a\\b", d),
            "\\ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"
            "  a\\\\b\n");
  EXPECT_EQ(FormatListLine("n\nl\rx", d),
            "\\ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"
            "  n\\nl\\rx\n");
}

TEST(ListWrite, RoundTripKeepsNamesDigestsAndOrder) {
  std::vector<ListEntry> entries;
  for (size_t i = 0; i < OddNames().size(); ++i) {
    std::string content(i * 7, 'x');
    entries.push_back({OddNames()[i], Digest::Of(content.data(), content.size())});
  }
  // Every byte but NUL in a name.
  std::string all;
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  entries.push_back({all, Digest::Of("abc", 3)});
  ChecksumList list;
  ListError why;
  ASSERT_TRUE(list.Parse(FormatList(entries), "mem", &why))
      << DescribeListError(why, Lang::kEnglish);
  ASSERT_EQ(list.entries().size(), entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(list.entries()[i].name, entries[i].name) << i;
    EXPECT_EQ(list.entries()[i].digest, entries[i].digest) << i;
    ASSERT_NE(list.Find(entries[i].name), nullptr);
    EXPECT_EQ(list.Find(entries[i].name)->digest, entries[i].digest);
  }
  EXPECT_EQ(list.Find("report.c0"), nullptr);
  EXPECT_EQ(list.Find("REPORT.C00"), nullptr);
}

TEST(ListWrite, Sha256sumChecksWhatWeWrite) {
  if (!HaveSha256sum()) GTEST_SKIP() << "no sha256sum";
  test::TempDir dir;
  std::vector<ListEntry> entries;
  for (size_t i = 0; i < OddNames().size(); ++i) {
    std::vector<uint8_t> bytes = test::Pattern(1000 + i * 4099, uint32_t(i));
    test::WriteFile(dir / OddNames()[i], bytes);
    entries.push_back({OddNames()[i], DigestOfBytes(bytes)});
  }
  // A line for a file that is not here (the source, before a join).
  entries.push_back({"report.txt", Digest::Of("abc", 3)});
  std::string text = FormatList(entries);
  test::WriteFile(dir / "report.sha256",
                  std::vector<uint8_t>(text.begin(), text.end()));
  std::string out;
  EXPECT_EQ(RunIn(dir.path(),
                  "sha256sum -c --ignore-missing --strict report.sha256", &out),
            0)
      << out;
  for (const std::string& name : {"report.c00", "my report.c01"})
    EXPECT_NE(out.find(name + std::string(": OK")), std::string::npos) << out;

  // And it catches a damaged file.
  std::vector<uint8_t> bytes = test::ReadFile(dir / OddNames()[4]);
  bytes[500] ^= 1;
  test::WriteFile(dir / OddNames()[4], bytes);
  EXPECT_EQ(RunIn(dir.path(),
                  "sha256sum -c --ignore-missing --strict report.sha256", &out),
            1)
      << out;
  EXPECT_NE(out.find("FAILED"), std::string::npos) << out;
}

// ---- lists written by sha256sum ---------------------------------------------

class Sha256sumLists : public ::testing::TestWithParam<const char*> {};

TEST_P(Sha256sumLists, AreRead) {
  if (!HaveSha256sum()) GTEST_SKIP() << "no sha256sum";
  test::TempDir dir;
  std::vector<std::vector<uint8_t>> contents;
  for (size_t i = 0; i < OddNames().size(); ++i) {
    contents.push_back(test::Pattern(i * 333, uint32_t(i + 1)));
    test::WriteFile(dir / OddNames()[i], contents.back());
  }
  std::string out;
  // The list goes outside the folder so that it does not list itself.
  test::TempDir outdir;
  std::string cmd = std::string("sha256sum ") + GetParam() + " -- * > '" +
                    (outdir / "list") + "'";
  ASSERT_EQ(RunIn(dir.path(), cmd, &out), 0) << out;
  ChecksumList list;
  ListError why;
  ASSERT_TRUE(list.Load(outdir / "list", &why))
      << DescribeListError(why, Lang::kEnglish);
  for (size_t i = 0; i < OddNames().size(); ++i) {
    const ListEntry* e = list.Find(OddNames()[i]);
    ASSERT_NE(e, nullptr) << OddNames()[i];
    EXPECT_EQ(e->digest, DigestOfBytes(contents[i])) << OddNames()[i];
  }
  EXPECT_EQ(list.entries().size(), OddNames().size());
}

INSTANTIATE_TEST_SUITE_P(TextBinaryTagged, Sha256sumLists,
                         ::testing::Values("", "-b", "--tag"));

TEST(ListRead, CrlfUpperCaseBlankLinesAndComments) {
  std::string abc = Hex("abc"), up = abc;
  for (char& c : up) c = static_cast<char>(toupper(c));
  std::string text = "# made by hand\r\n\r\n" + up + "  a.c00\r\n" + abc +
                     " *b.c01\r\n   \r\n\t" + abc + "  c.c02\r\n" +
                     "SHA256 (d.c03) = " + abc + "\r\n" + "\\" + abc +
                     "  e\\\\f.c04";  // no line end at the end
  ChecksumList list;
  ListError why;
  ASSERT_TRUE(list.Parse(text, "hand.sha256", &why))
      << DescribeListError(why, Lang::kEnglish);
  std::vector<std::string> names;
  for (const ListEntry& e : list.entries()) {
    names.push_back(e.name);
    EXPECT_EQ(ToHex(e.digest), abc);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"a.c00", "b.c01", "c.c02",
                                             "d.c03", "e\\f.c04"}));
}

TEST(ListRead, ANameListedTwiceCountsOnceAndTwoDigestsForItAreRefused) {
  std::string a = Hex("a"), b = Hex("b");
  ChecksumList list;
  ListError why;
  // The same digest again (sha256sum run twice into one list) is harmless.
  ASSERT_TRUE(list.Parse(a + "  x\n" + a + "  x\n" + a + "  y\n", "l", &why));
  EXPECT_EQ(list.entries().size(), 2u);
  // Another digest for a name: which one is meant cannot be told, and a
  // check against the first would pass a piece the second calls damaged.
  ASSERT_FALSE(list.Parse(a + "  x\n" + a + "  y\n# note\n" + b + "  ./y\n",
                          "l", &why));
  EXPECT_EQ(why.kind, ListError::Kind::kConflict);
  EXPECT_EQ(why.line, 4u);
  EXPECT_EQ(DescribeListError(why, Lang::kEnglish),
            "l: line 4: a second, different digest for y (the first is on "
            "line 2)");
}

TEST(ListRead, DotSlashNamesTheFileItself) {
  // As `sha256sum ./data.*` writes them and `sha256sum -c` reads them.
  std::string a = Hex("a");
  ChecksumList list;
  ListError why;
  ASSERT_TRUE(list.Parse(a + "  ./data.c00\nSHA256 (./data.c01) = " + a +
                             "\n" + a + "  .hidden\n",
                         "l", &why));
  EXPECT_NE(list.Find("data.c00"), nullptr);
  EXPECT_NE(list.Find("data.c01"), nullptr);
  EXPECT_NE(list.Find(".hidden"), nullptr);
  EXPECT_EQ(list.Find("./data.c00"), nullptr);
}

// ---- malformed lists --------------------------------------------------------

struct Bad {
  const char* what;
  std::string text;
  ListError::Kind kind;
  uint64_t line;
};

std::vector<Bad> BadLists() {
  std::string h = Hex("abc");
  using K = ListError::Kind;
  return {
      {"bad hex", h + "  ok\n" + h.substr(0, 63) + "g  bad\n", K::kBadHex, 2},
      {"short digest", h.substr(0, 60) + "  x\n", K::kDigestLength, 1},
      {"long digest", h + "00  x\n", K::kDigestLength, 1},
      {"no name", h + "  ok\n\n" + h + "\n", K::kNoName, 3},
      {"no name after two spaces", h + "  \n", K::kNoName, 1},
      {"one space", h + " x\n", K::kBadFormat, 1},
      {"digest run into the name", h + "*x\n", K::kBadFormat, 1},
      {"words", "hello world\n", K::kBadFormat, 1},
      {"md5 tag", "MD5 (x) = 900150983cd24fb0d6963f7d28e17f72\n",
       K::kUnknownTag, 1},
      {"sha512 tag", h + "  a\nSHA512 (x) = " + h + h + "\n", K::kUnknownTag,
       2},
      {"tag without parens", "SHA256 x = " + h + "\n", K::kBadFormat, 1},
      {"tag without equals", "SHA256 (x) " + h + "\n", K::kBadFormat, 1},
      {"tag bad hex", "SHA256 (x) = " + h.substr(0, 63) + "z\n", K::kBadHex, 1},
      {"tag short digest", "SHA256 (x) = " + h.substr(0, 40) + "\n",
       K::kDigestLength, 1},
      {"tag empty name", "SHA256 () = " + h + "\n", K::kNoName, 1},
      {"unknown escape", "\\" + h + "  a\\tb\n", K::kBadEscape, 1},
      {"lone backslash at end", "\\" + h + "  ab\\\n", K::kBadEscape, 1},
      {"NUL byte", h + "  a\n" + h + "  b" + std::string(1, '\0') + "\n",
       K::kBinary, 2},
      {"empty", "", K::kNoEntries, 0},
      {"only blank lines and comments", "\n\r\n  \n# x\n", K::kNoEntries, 0},
      {"1 MB line", h + "  " + std::string(1 << 20, 'n') + "\n",
       K::kLineTooLong, 1},
  };
}

TEST(ListRead, MalformedListsNameTheFileAndTheLine) {
  for (const Bad& bad : BadLists()) {
    ChecksumList list;
    ListError why;
    EXPECT_FALSE(list.Parse(bad.text, "set.sha256", &why)) << bad.what;
    EXPECT_EQ(why.kind, bad.kind) << bad.what;
    EXPECT_EQ(why.line, bad.line) << bad.what;
    EXPECT_EQ(why.file, "set.sha256") << bad.what;
    std::string en = DescribeListError(why, Lang::kEnglish);
    std::string prefix = bad.line ? "set.sha256: line " +
                                        std::to_string(bad.line) + ": "
                                  : "set.sha256: ";
    EXPECT_EQ(en.rfind(prefix, 0), 0u) << bad.what << ": " << en;
    EXPECT_GT(en.size(), prefix.size()) << bad.what;
    std::string ja = DescribeListError(why, Lang::kJapanese);
    EXPECT_EQ(ja.rfind("set.sha256: ", 0), 0u) << ja;
    EXPECT_NE(ja, en) << bad.what;
  }
}

TEST(ListRead, MessagesSayWhatIsWrong) {
  ChecksumList list;
  ListError why;
  std::string h = Hex("abc");
  ASSERT_FALSE(list.Parse("MD5 (x) = 1\n", "l", &why));
  EXPECT_EQ(DescribeListError(why, Lang::kEnglish),
            "l: line 1: a MD5 checksum, not SHA256");
  ASSERT_FALSE(list.Parse(h.substr(2) + "  x\n", "l", &why));
  EXPECT_EQ(DescribeListError(why, Lang::kEnglish),
            "l: line 1: the digest has 62 hex digits, not 64");
  ASSERT_FALSE(list.Parse("", "l", &why));
  EXPECT_EQ(DescribeListError(why, Lang::kEnglish), "l: no checksum lines");
}

TEST(ListRead, FilesThatAreNoListsAreRefused) {
  test::TempDir dir;
  ChecksumList list;
  ListError why;

  EXPECT_FALSE(list.Load(dir / "missing.sha256", &why));
  EXPECT_EQ(why.kind, ListError::Kind::kOpen);
  EXPECT_EQ(DescribeListError(why, Lang::kEnglish),
            dir / "missing.sha256: No such file or directory");

  test::WriteFile(dir / "empty.sha256", {});
  EXPECT_FALSE(list.Load(dir / "empty.sha256", &why));
  EXPECT_EQ(why.kind, ListError::Kind::kNoEntries);
  EXPECT_EQ(why.file, dir / "empty.sha256");

  test::WriteFile(dir / "binary.sha256", test::Pattern(100000, 4));
  EXPECT_FALSE(list.Load(dir / "binary.sha256", &why));
  EXPECT_TRUE(why.kind == ListError::Kind::kBinary ||
              why.kind == ListError::Kind::kLineTooLong ||
              why.kind == ListError::Kind::kBadFormat ||
              why.kind == ListError::Kind::kBadHex)
      << DescribeListError(why, Lang::kEnglish);
  EXPECT_GE(why.line, 1u);
  std::vector<uint8_t> zeros(4096, 0);
  test::WriteFile(dir / "zeros.sha256", zeros);
  EXPECT_FALSE(list.Load(dir / "zeros.sha256", &why));
  EXPECT_EQ(why.kind, ListError::Kind::kBinary);
  EXPECT_EQ(why.line, 1u);

  // A 1 MB line after a good one, read in bounded memory.
  std::string h = Hex("abc");
  std::string big = h + "  good\n" + h + "  " + std::string(1000000, 'x') + "\n";
  test::WriteFile(dir / "long.sha256",
                  std::vector<uint8_t>(big.begin(), big.end()));
  EXPECT_FALSE(list.Load(dir / "long.sha256", &why));
  EXPECT_EQ(why.kind, ListError::Kind::kLineTooLong);
  EXPECT_EQ(why.line, 2u);
  EXPECT_EQ(DescribeListError(why, Lang::kEnglish),
            dir / "long.sha256: line 2: longer than 65536 bytes");

  ASSERT_EQ(mkdir((dir / "folder.sha256").c_str(), 0755), 0);
  EXPECT_FALSE(list.Load(dir / "folder.sha256", &why));
  EXPECT_EQ(why.kind, ListError::Kind::kNotRegular);
  EXPECT_EQ(DescribeListError(why, Lang::kEnglish),
            dir / "folder.sha256: not a regular file but a folder");

  ASSERT_EQ(mkfifo((dir / "fifo.sha256").c_str(), 0644), 0);
  EXPECT_FALSE(list.Load(dir / "fifo.sha256", &why));  // and does not hang
  EXPECT_EQ(why.kind, ListError::Kind::kNotRegular);
}

TEST(ListRead, LoadReadsLinesAcrossItsReadsLikeParse) {
  // Loads read 64 KiB at a time: lines of every length straddle the reads,
  // one of them exactly the longest allowed.
  test::TempDir dir;
  std::vector<ListEntry> entries;
  for (size_t i = 0; i < 400; ++i)
    entries.push_back({std::string(1 + i * 97 % 3000, char('a' + i % 26)) +
                           (i % 7 ? "" : "\\x"),
                       Digest::Of(&i, sizeof i)});
  entries.push_back({std::string(kMaxListLine - 66, 'L'), Digest::Of("", 0)});
  for (size_t i = 0; i < 50; ++i)
    entries.push_back({"tail" + std::to_string(i), Digest::Of(&i, 1)});
  std::string text = FormatList(entries);
  ASSERT_GT(text.size(), 4u * 65536);
  test::WriteFile(dir / "l", std::vector<uint8_t>(text.begin(), text.end()));
  ChecksumList loaded, parsed;
  ListError why;
  ASSERT_TRUE(loaded.Load(dir / "l", &why))
      << DescribeListError(why, Lang::kEnglish);
  ASSERT_TRUE(parsed.Parse(text, "l", &why));
  ASSERT_EQ(loaded.entries().size(), entries.size());
  for (size_t i = 0; i < entries.size(); ++i) {
    EXPECT_EQ(loaded.entries()[i].name, entries[i].name) << i;
    EXPECT_EQ(loaded.entries()[i].digest, entries[i].digest) << i;
  }
}

TEST(ListRead, LinesUpToTheLimitAreRead) {
  std::string h = Hex("abc");
  std::string name(kMaxListLine - 66, 'n');  // the line is exactly the limit
  ChecksumList list;
  ListError why;
  ASSERT_TRUE(list.Parse(h + "  " + name + "\n", "l", &why))
      << DescribeListError(why, Lang::kEnglish);
  EXPECT_NE(list.Find(name), nullptr);
  ASSERT_FALSE(list.Parse(h + "  " + name + "n\n", "l", &why));
  EXPECT_EQ(why.kind, ListError::Kind::kLineTooLong);
}

TEST(ListRead, RandomDamageNeverCrashes) {
  std::mt19937 rng(11);
  std::vector<ListEntry> entries;
  for (const std::string& n : OddNames())
    entries.push_back({n, Digest::Of(n.data(), n.size())});
  std::string good = FormatList(entries) + "SHA256 (t) = " + Hex("t") + "\n";
  const char alphabet[] = "\\ *()=\r\n\t#0aF\0SHA256xz";
  int parsed = 0, refused = 0;
  for (int round = 0; round < 3000; ++round) {
    std::string text = good;
    int edits = 1 + static_cast<int>(rng() % 8);
    for (int e = 0; e < edits; ++e) {
      size_t at = rng() % (text.size() + 1);
      char c = alphabet[rng() % (sizeof alphabet - 1)];
      switch (rng() % 3) {
        case 0: if (at < text.size()) text[at] = c; break;
        case 1: text.insert(at, 1, c); break;
        default: if (at < text.size()) text.erase(at, 1 + rng() % 70); break;
      }
    }
    ChecksumList list;
    ListError why;
    if (list.Parse(text, "x", &why)) {
      ++parsed;
      EXPECT_FALSE(list.entries().empty());
    } else {
      ++refused;
      uint64_t lines = 1;
      for (char c : text) lines += c == '\n';
      EXPECT_LE(why.line, lines);
      EXPECT_FALSE(DescribeListError(why, Lang::kEnglish).empty());
    }
  }
  // Both outcomes occur, so the damage reaches the parser.
  EXPECT_GT(parsed, 0);
  EXPECT_GT(refused, 0);
}

}  // namespace
}  // namespace pvx
