// Digests taken while copying, by a wrapper over any platform: a join
// through it refuses a damaged piece or result before the result takes its
// name, a cut lists what it wrote and read, a stream's bytes are digested
// as they arrive, and whatever the platform inside says passes through
// unchanged.
#include "integrity/hashing_platform.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "engines/engines.h"
#include "engines/stream_cut.h"
#include "integrity/par2_format.h"
#include "tests/fake_platform.h"
#include "tests/test_util.h"

namespace pvx {
namespace {

using test::Exists;
using test::Pattern;
using test::ReadFile;
using test::WriteFile;
using Bytes = std::vector<uint8_t>;

// The fake user who says yes to everything, in English, with a chunk of
// 1,024 bytes.
class EnglishFake : public FakePlatform {
 public:
  EnglishFake() {
    lang = Lang::kEnglish;
    SetChunkSize(1024);
  }
};

Sha256 DigestOf(const std::string& path) {
  Bytes b = ReadFile(path);
  return Digest::Of(b.data(), b.size());
}

// 14,000 bytes in pieces of 4,000: base.c00 .. base.c03 in set/.
class HashedJoin : public ::testing::Test {
 protected:
  void SetUp() override {
    source = Pattern(14000, 5);
    WriteFile(dir / "base.bin", source);
    FakePlatform cutter;
    Failure io = {};
    ASSERT_EQ(CutFile(cutter, 4000, (dir / "base.bin").c_str(),
                      (dir / "set/").c_str(), false, false, &io),
              kDone);
    for (const char* name : {"base.c00", "base.c01", "base.c02", "base.c03"})
      pieces[dir / (std::string("set/") + name)] = DigestOf(dir / (std::string("set/") + name));
    ASSERT_EQ(pieces.size(), 4u);
    result = Digest::Of(source.data(), source.size());
  }
  // Flips one byte in the middle of a piece, keeping its length.
  void Damage(const std::string& name) {
    Bytes b = ReadFile(dir / ("set/" + name));
    b[b.size() / 2] ^= 0x01;
    WriteFile(dir / ("set/" + name), b);
  }
  int Join(const std::map<std::string, Sha256>& want, const Sha256* output) {
    p.StartDigests();
    p.Expect(want, output, "base.bin", "base.sha256");
    return JoinFile(p, (dir / "set/base.c00").c_str(), "", false, &io);
  }
  std::string Out() const { return dir / "set/base.bin"; }

  test::TempDir dir;
  EnglishFake fake;
  HashingPlatform p{fake};
  Failure io = {};
  Bytes source;
  std::map<std::string, Sha256> pieces;
  Sha256 result = {};
};

TEST_F(HashedJoin, ASoundSetPassesEveryCheck) {
  ASSERT_EQ(Join(pieces, &result), kDone) << io.text;
  EXPECT_EQ(ReadFile(Out()), source);
}

TEST_F(HashedJoin, ADamagedMiddlePieceIsRefused) {
  const std::string piece = dir / "set/base.c01";
  Damage("base.c01");
  Sha256 now = DigestOf(piece);
  // Found when the next piece is opened: the join stops there and says so.
  EXPECT_EQ(Join(pieces, &result), kFailed);
  EXPECT_EQ(fake.Notices(),
            std::vector<std::string>{
                "parvex: " + piece + ": damaged: its SHA-256 is " +
                ToHex(now) + ", but base.sha256 lists " +
                ToHex(pieces[piece])});
  EXPECT_FALSE(Exists(Out())) << "the result must not take its name";
}

TEST_F(HashedJoin, ADamagedSecondLastPieceIsRefusedWithoutALineForTheResult) {
  // A list of the pieces only: nothing checks the result itself, so the
  // pieces read last must still be checked before it takes its name.
  const std::string piece = dir / "set/base.c02";
  Damage("base.c02");
  Sha256 now = DigestOf(piece);
  EXPECT_EQ(Join(pieces, nullptr), kIoFailure);
  EXPECT_EQ(std::string(io.text),
            "parvex: " + piece + ": damaged: its SHA-256 is " + ToHex(now) +
                ", but base.sha256 lists " + ToHex(pieces[piece]));
  EXPECT_FALSE(Exists(Out()));
}

TEST_F(HashedJoin, ADamagedLastPieceIsRefusedWithoutALineForTheResult) {
  const std::string piece = dir / "set/base.c03";
  Damage("base.c03");
  EXPECT_EQ(Join(pieces, nullptr), kIoFailure);
  EXPECT_NE(std::string(io.text).find(piece + ": damaged"), std::string::npos)
      << io.text;
  EXPECT_FALSE(Exists(Out()));
}

TEST_F(HashedJoin, AResultThatDiffersFromItsLineIsRefused) {
  // The pieces match a list made of damaged pieces: only the result's line
  // can tell.
  Damage("base.c02");
  std::map<std::string, Sha256> damaged = pieces;
  damaged[dir / "set/base.c02"] = DigestOf(dir / "set/base.c02");
  Bytes joined = source;
  joined[3716 + 4000 + 2000] ^= 0x01;  // where c02's middle byte lands
  Sha256 got = Digest::Of(joined.data(), joined.size());
  EXPECT_EQ(Join(damaged, &result), kIoFailure);
  EXPECT_EQ(std::string(io.text),
            "parvex: " + Out() + ".part: the joined bytes have SHA-256 " +
                ToHex(got) + ", but base.sha256 lists " + ToHex(result) +
                " for base.bin")
      << "the .part keeps the damaged bytes for a look";
  EXPECT_FALSE(Exists(Out()));
}

TEST(HashedCut, DigestsListThePiecesWrittenAndTheSourceInOrder) {
  test::TempDir dir;
  WriteFile(dir / "base.bin", Pattern(10000, 9));
  EnglishFake fake;
  HashingPlatform p(fake);
  p.StartDigests();
  Failure io = {};
  ASSERT_EQ(CutFile(p, 4000, (dir / "base.bin").c_str(), "", false, false,
                    &io),
            kDone)
      << io.text;
  std::vector<HashingPlatform::FileDigest> got;
  Failure why = {};
  ASSERT_TRUE(p.Digests(&got, &why)) << why.text;
  std::vector<std::string> want = {dir / "base.c00", dir / "base.c01",
                                   dir / "base.c02", dir / "base.bin"};
  ASSERT_EQ(got.size(), want.size());
  for (size_t k = 0; k < want.size(); ++k) {
    EXPECT_EQ(got[k].path, want[k]) << k;
    EXPECT_EQ(got[k].written, k < 3) << k;
    EXPECT_EQ(ToHex(got[k].digest), ToHex(DigestOf(want[k]))) << want[k];
  }
}

// ---- the wrapper and the platform inside --------------------------------

TEST(HashingWrapper, AFailureOfThePlatformInsidePassesThroughUnchanged) {
  // The third write: the header, then two chunks of the copy, which takes
  // the hasher's own way when digests are on.
  for (bool digests : {false, true}) {
    test::TempDir dir;
    WriteFile(dir / "base.bin", Pattern(10000, 3));
    EnglishFake fake;
    fake.fail_write_at = 3;
    HashingPlatform p(fake);
    if (digests) p.StartDigests();
    Failure io = {};
    EXPECT_EQ(CutFile(p, 4000, (dir / "base.bin").c_str(), "", false, false,
                      &io),
              kIoFailure)
        << digests;
    EXPECT_EQ(std::string(io.text),
              dir / "base.c00.part: No space left on device")
        << digests;
    EXPECT_EQ(fake.writes, 3) << digests;
    std::vector<HashingPlatform::FileDigest> got;
    Failure why = {};
    ASSERT_TRUE(p.Digests(&got, &why)) << why.text;
    for (const auto& f : got)
      EXPECT_FALSE(f.written) << f.path << ": a piece never finished";
  }
}

TEST(HashingWrapper, TheUserAndTheWindowAreThePlatformInside) {
  test::TempDir dir;
  WriteFile(dir / "base.bin", Pattern(10000, 4));
  WriteFile(dir / "base.c01", {'o', 'l', 'd'});
  EnglishFake fake;
  HashingPlatform p(fake);
  p.StartDigests();
  Failure io = {};
  fake.answers = {false};
  EXPECT_EQ(CutFile(p, 4000, (dir / "base.bin").c_str(), "", false, false,
                    &io),
            kFailed);
  EXPECT_EQ(fake.Questions(),
            std::vector<std::string>{"base.c01 already exists.\nOverwrite it?"});
  EXPECT_EQ(ReadFile(dir / "base.c01"), (Bytes{'o', 'l', 'd'}));
  fake.answers = {true};
  EXPECT_EQ(CutFile(p, 4000, (dir / "base.bin").c_str(), "", false, false,
                    &io),
            kDone);
  EXPECT_EQ(fake.Filter("percent:"),
            std::vector<std::string>{"base.bin is cut into 3 files."});
  EXPECT_FALSE(fake.progress_open);
}

TEST(HashingWrapper, AStreamIsDigestedAsItArrivesAndARewrittenPieceIsNot) {
  test::TempDir dir;
  const Bytes data = Pattern(10000, 5);
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  ASSERT_EQ(write(ends[1], data.data(), data.size()),
            static_cast<ssize_t>(data.size()));
  close(ends[1]);
  const int saved = dup(0);
  dup2(ends[0], 0);
  close(ends[0]);
  EnglishFake fake;
  HashingPlatform p(fake);
  p.StartDigests();
  Failure io = {};
  const StreamCutResult cut =
      CutStream(p, "base.bin", 4000, dir.path() + "/", false, &io);
  dup2(saved, 0);
  close(saved);
  ASSERT_EQ(cut.result, kDone) << io.text;

  std::vector<HashingPlatform::FileDigest> got;
  Failure why = {};
  ASSERT_TRUE(p.Digests(&got, &why)) << why.text;
  // Piece 0 has its header written again at the end: no digest of it was
  // taken in passing.
  std::vector<std::string> want = {dir / "base.c01", dir / "base.c02",
                                   "standard input"};
  ASSERT_EQ(got.size(), want.size());
  for (size_t k = 0; k < want.size(); ++k) {
    EXPECT_EQ(got[k].path, want[k]) << k;
    EXPECT_EQ(got[k].written, k < 2) << k;
  }
  EXPECT_EQ(ToHex(got[0].digest), ToHex(DigestOf(dir / "base.c01")));
  EXPECT_EQ(ToHex(got[2].digest), ToHex(Digest::Of(data.data(), data.size())));
}

// ---- PAR2 checksums taken in passing -------------------------------------

// How the POSIX platform below the fake identifies a written file.
bool StampOfFile(FileHandle f, par2::FileStamp* stamp) {
  struct stat st;
  if (!PosixPlatform::StatOf(f, &st) || !S_ISREG(st.st_mode)) return false;
  *stamp = par2::StampOf(st);
  return true;
}

par2::Md5 Md5Of(const std::string& path) {
  Bytes b = ReadFile(path);
  return par2::Md5Hasher::Of(b.data(), b.size());
}

TEST(HashedCut, Par2ChecksumsOfEachPieceWrittenWholeAndInOrder) {
  test::TempDir dir;
  WriteFile(dir / "base.bin", Pattern(40000, 3));
  const std::vector<std::string> pieces = {dir / "base.c00", dir / "base.c01",
                                           dir / "base.c02"};
  for (bool digests : {true, false}) {
    SCOPED_TRACE(digests ? "with SHA-256 digests" : "alone");
    for (const std::string& piece : pieces) unlink(piece.c_str());
    EnglishFake fake;
    HashingPlatform p(fake);
    if (digests) p.StartDigests();
    p.StartPar2Checksums(StampOfFile);
    Failure io = {};
    ASSERT_EQ(CutFile(p, 16000, (dir / "base.bin").c_str(), "", false, false,
                      &io),
              kDone)
        << io.text;
    std::vector<HashingPlatform::FileDigest> listed;
    Failure why = {};
    ASSERT_TRUE(p.Digests(&listed, &why)) << why.text;
    EXPECT_EQ(listed.size(), digests ? 4u : 0u);
    for (const HashingPlatform::FileDigest& d : listed)
      EXPECT_EQ(ToHex(d.digest), ToHex(DigestOf(d.path))) << d.path;
    std::vector<par2::TakenChecksums> taken = p.TakePar2Checksums();
    ASSERT_EQ(taken.size(), pieces.size());
    for (size_t k = 0; k < pieces.size(); ++k) {
      struct stat st;
      ASSERT_EQ(stat(pieces[k].c_str(), &st), 0);
      EXPECT_TRUE(taken[k].file == par2::StampOf(st)) << pieces[k];
      EXPECT_EQ(taken[k].sums->Length(), static_cast<uint64_t>(st.st_size));
      EXPECT_EQ(taken[k].sums->WholeMd5(), Md5Of(pieces[k])) << pieces[k];
    }
    EXPECT_TRUE(p.TakePar2Checksums().empty()) << "handed over once";
  }
}

TEST(HashedCut, AFileWrittenOutOfOrderOrUnstampedHasNoPar2Checksums) {
  test::TempDir dir;
  const Bytes b = Pattern(5000, 1);
  // As a cut of standard input rewrites piece 0's header at the end.
  {
    EnglishFake fake;
    HashingPlatform p(fake);
    p.StartPar2Checksums(StampOfFile);
    Failure why = {};
    const std::string path = dir / "piece.c00";
    FileHandle f = p.OpenWrite(path.c_str(), nullptr, false, &why);
    ASSERT_NE(f, nullptr) << why.text;
    ASSERT_TRUE(p.Write(f, b.data(), 5000, &why)) << why.text;
    ASSERT_TRUE(p.Seek(f, 0, &why)) << why.text;
    ASSERT_TRUE(p.Write(f, b.data() + 10, 100, &why)) << why.text;
    bool taken = false;
    ASSERT_TRUE(p.Commit(f, false, &taken, &why)) << why.text;
    p.Close(f);
    EXPECT_TRUE(Exists(path));
    EXPECT_TRUE(p.TakePar2Checksums().empty());
  }
  // A file the platform cannot identify: its checksums could not be
  // matched with it later.
  {
    EnglishFake fake;
    HashingPlatform p(fake);
    p.StartPar2Checksums([](FileHandle, par2::FileStamp*) { return false; });
    Failure why = {};
    const std::string path = dir / "piece.c01";
    FileHandle f = p.OpenWrite(path.c_str(), nullptr, false, &why);
    ASSERT_NE(f, nullptr) << why.text;
    ASSERT_TRUE(p.Write(f, b.data(), 5000, &why)) << why.text;
    bool taken = false;
    ASSERT_TRUE(p.Commit(f, false, &taken, &why)) << why.text;
    p.Close(f);
    EXPECT_TRUE(Exists(path));
    EXPECT_TRUE(p.TakePar2Checksums().empty());
  }
}

}  // namespace
}  // namespace pvx
