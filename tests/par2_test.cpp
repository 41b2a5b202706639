// The PAR2 library from the inside: packets through the reader, the field
// and the matrix a repair inverts, and create/repair on real files where
// par2cmdline cannot see (memory bounds, refusals, symbolic links, FIFOs,
// cancellation). par2/par2.sh checks the same files against par2cmdline.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <thread>

#include "integrity/gf16.h"
#include "integrity/par2_checksums.h"
#include "integrity/par2_create.h"
#include "integrity/par2_format.h"
#include "integrity/par2_io.h"
#include "integrity/par2_repair.h"
#include "tests/test_util.h"

using namespace pvx::par2;
using pvx::test::Exists;
using pvx::test::List;
using pvx::test::Pattern;
using pvx::test::ReadFile;
using pvx::test::TempDir;
using pvx::test::WriteFile;

namespace {

// ---- packets -----------------------------------------------------------------

struct Built {
  std::vector<uint8_t> bytes;
  Md5 set{};
  FileDescPacket desc;
  IfscPacket ifsc;
  MainPacket main;
};

Built SomePackets() {
  Built b;
  b.desc.md5_16k = Md5Hasher::Of("head", 4);
  b.desc.md5 = Md5Hasher::Of("whole", 5);
  b.desc.length = 123457;
  b.desc.name = "データ 1.c00";  // 16 bytes of UTF-8: no padding needed
  b.desc.file_id = FileIdOf(b.desc.md5_16k, b.desc.length, b.desc.name);
  b.ifsc.file_id = b.desc.file_id;
  b.ifsc.slices = {{Md5Hasher::Of("a", 1), 0x12345678u}, {Md5Hasher::Of("b", 1), 7}};
  b.main.slice_size = 65536;
  b.main.files = {b.desc.file_id};
  b.set = SetIdOf(MainBody(b.main));
  auto add = [&](std::vector<uint8_t> p) { b.bytes.insert(b.bytes.end(), p.begin(), p.end()); };
  add(Packet(b.set, kMainType, MainBody(b.main)));
  add(Packet(b.set, kFileDescType, FileDescBody(b.desc)));
  add(Packet(b.set, kIfscType, IfscBody(b.ifsc)));
  add(Packet(b.set, kCreatorType, CreatorBody("Parvex 9")));
  return b;
}

FileContents Read(const std::vector<uint8_t>& bytes) {
  MemorySource src(bytes.data(), bytes.size());
  FileContents c;
  std::string why;
  EXPECT_TRUE(ReadPackets(src, &c, &why)) << why;
  return c;
}

TEST(Par2Packets, RoundTripKeepsEveryField) {
  Built b = SomePackets();
  FileContents c = Read(b.bytes);
  ASSERT_EQ(c.packets, 4u);
  EXPECT_EQ(c.skipped, 0u);
  ASSERT_EQ(c.mains.size(), 1u);
  EXPECT_EQ(c.mains[0].first, b.set);
  EXPECT_EQ(c.mains[0].second.slice_size, 65536u);
  EXPECT_EQ(c.mains[0].second.files, b.main.files);
  ASSERT_EQ(c.descs.size(), 1u);
  EXPECT_EQ(c.descs[0].second.name, b.desc.name);
  EXPECT_EQ(c.descs[0].second.length, b.desc.length);
  EXPECT_EQ(c.descs[0].second.md5, b.desc.md5);
  EXPECT_EQ(c.descs[0].second.md5_16k, b.desc.md5_16k);
  ASSERT_EQ(c.ifscs.size(), 1u);
  EXPECT_EQ(c.ifscs[0].second.slices, b.ifsc.slices);
  ASSERT_EQ(c.creators.size(), 1u);
  EXPECT_EQ(c.creators[0].second, "Parvex 9");
}

TEST(Par2Packets, ANameIsPaddedToFourAndComesBackWithoutPadding) {
  FileDescPacket d;
  d.name = "abcde";
  auto body = FileDescBody(d);
  EXPECT_EQ(body.size() % 4, 0u);
  Md5 set{};
  FileContents c = Read(Packet(set, kFileDescType, body));
  ASSERT_EQ(c.descs.size(), 1u);
  EXPECT_EQ(c.descs[0].second.name, "abcde");
}

TEST(Par2Packets, DamageIsSkippedAndReadingResumesAtTheNextMagic) {
  Built b = SomePackets();
  std::vector<uint8_t> bytes(37, 'x');  // garbage before
  bytes.insert(bytes.end(), b.bytes.begin(), b.bytes.end());
  // One byte of the File Description's name flipped: its MD5 fails.
  const size_t main_len = 64 + 12 + 16;
  bytes[37 + main_len + 64 + 60] ^= 1;
  FileContents c = Read(bytes);
  EXPECT_EQ(c.skipped, 1u);
  EXPECT_EQ(c.descs.size(), 0u);
  EXPECT_EQ(c.mains.size(), 1u);
  EXPECT_EQ(c.ifscs.size(), 1u);
  EXPECT_EQ(c.creators.size(), 1u);
}

TEST(Par2Packets, LengthsThatCannotBeAreRefusedWithoutReadingPastTheEnd) {
  Built b = SomePackets();
  for (uint64_t len : {uint64_t(0), uint64_t(63), uint64_t(66), ~uint64_t(0),
                       uint64_t(1) << 40}) {
    std::vector<uint8_t> bytes = b.bytes;
    for (int i = 0; i < 8; ++i) bytes[8 + i] = static_cast<uint8_t>(len >> (8 * i));
    FileContents c = Read(bytes);
    EXPECT_EQ(c.mains.size(), 0u) << len;
    EXPECT_EQ(c.descs.size(), 1u) << len;  // the next packets are found
    EXPECT_GE(c.skipped, 1u) << len;
  }
  // Cut short in the middle of the last packet.
  std::vector<uint8_t> cut(b.bytes.begin(), b.bytes.end() - 3);
  FileContents c = Read(cut);
  EXPECT_EQ(c.creators.size(), 0u);
  EXPECT_EQ(c.skipped, 1u);
}

// ---- the field -----------------------------------------------------------------

TEST(Par2Field, IsTheOneWithGenerator0x1100B) {
  Field f;
  EXPECT_EQ(f.Pow(2, 16), 0x100B);  // x^16 = x^12 + x^3 + x + 1
  EXPECT_EQ(f.Pow(2, 65535), 1);
  // The input constants: 2^n for n = 1, 2, 4, 7, 8 (3, 5, 6 share a
  // factor with 65535).
  EXPECT_EQ(InputConstants(f, 5), (std::vector<uint16_t>{2, 4, 16, 128, 256}));
  EXPECT_EQ(InputConstant(f, 4), 256);
}

TEST(Par2Field, InvertedMatrixTimesMatrixIsIdentity) {
  Field f;
  const size_t n = 6;
  auto c = InputConstants(f, 40);
  Matrix m;
  m.n = n;
  m.a.resize(n * n);
  // Rows: recovery exponents 0, 3, 5, ...; columns: lost slices 1, 7, 12, ...
  for (size_t r = 0; r < n; ++r)
    for (size_t k = 0; k < n; ++k)
      m.at(r, k) = f.Pow(c[1 + 6 * k], static_cast<uint32_t>(r * 2 + (r > 0)));
  Matrix inv = m;
  ASSERT_TRUE(Invert(f, &inv));
  for (size_t r = 0; r < n; ++r)
    for (size_t k = 0; k < n; ++k) {
      uint16_t sum = 0;
      for (size_t j = 0; j < n; ++j) sum ^= f.Mul(inv.at(r, j), m.at(j, k));
      EXPECT_EQ(sum, r == k ? 1 : 0) << r << "," << k;
    }
}

TEST(Par2Field, SingularMatricesAndDependentRowsAreFound) {
  Field f;
  Matrix m;
  m.n = 2;
  m.a = {3, 5, f.Mul(3, 9), f.Mul(5, 9)};  // row 2 = 9 * row 1
  EXPECT_FALSE(Invert(f, &m));
  std::vector<uint16_t> rows = {3, 5, f.Mul(3, 9), f.Mul(5, 9), 1, 1};
  EXPECT_EQ(IndependentRows(f, rows, 3, 2), (std::vector<size_t>{0, 2}));
  EXPECT_TRUE(IndependentRows(f, rows, 2, 2).empty());
}

// ---- naming and amounts ----------------------------------------------------

TEST(Par2Create, RecoveryFilesAreNamedAsPar2cmdlineNamesThem) {
  auto names = [](uint32_t n) {
    std::vector<std::string> v;
    for (const VolumePlan& p : PlanVolumes("/d/x.par2", n)) v.push_back(BaseName(p.path));
    return v;
  };
  EXPECT_EQ(names(1), (std::vector<std::string>{"x.vol0+1.par2"}));
  EXPECT_EQ(names(4), (std::vector<std::string>{"x.vol0+1.par2", "x.vol1+2.par2", "x.vol3+1.par2"}));
  EXPECT_EQ(names(12), (std::vector<std::string>{"x.vol00+1.par2", "x.vol01+2.par2",
                                                 "x.vol03+4.par2", "x.vol07+5.par2"}));
  EXPECT_EQ(OutputNames("x.par2", 2), (std::vector<std::string>{"x.par2", "x.vol0+1.par2", "x.vol1+1.par2"}));
}

TEST(Par2Create, AmountIsACountOrAShareRoundedUp) {
  uint32_t n = 0;
  std::string why;
  EXPECT_TRUE(ParseRecoveryAmount("3", 10, &n, &why));
  EXPECT_EQ(n, 3u);
  EXPECT_TRUE(ParseRecoveryAmount("10%", 250, &n, &why));
  EXPECT_EQ(n, 25u);
  EXPECT_TRUE(ParseRecoveryAmount("1%", 250, &n, &why));
  EXPECT_EQ(n, 3u);
  for (const char* bad : {"", "0", "x", "5%%", "101%", "-1", "70000", "0%"})
    EXPECT_FALSE(ParseRecoveryAmount(bad, 3, &n, &why)) << bad;
}

// ---- checksums taken as the bytes go by ---------------------------------------

// What the File Description and IFSC packets hold for bytes, computed from
// all of them at once: slices of slice_size padded with zeros.
struct Reference {
  Md5 whole{}, head{};
  std::vector<SliceCheck> slices;
};
Reference ReferenceFor(const std::vector<uint8_t>& b, uint64_t slice_size) {
  Reference r;
  r.whole = Md5Hasher::Of(b.data(), b.size());
  r.head = Md5Hasher::Of(b.data(), std::min<size_t>(b.size(), 16384));
  for (uint64_t at = 0; at < b.size(); at += slice_size) {
    std::vector<uint8_t> slice(slice_size, 0);
    size_t n = static_cast<size_t>(std::min<uint64_t>(slice_size, b.size() - at));
    std::copy(b.begin() + at, b.begin() + at + n, slice.begin());
    r.slices.push_back({Md5Hasher::Of(slice.data(), slice.size()),
                        Crc32(0, slice.data(), slice.size())});
  }
  return r;
}

// Feeds b in pieces of ever other sizes, as a copy hands them over.
void FeedAll(FileChecksums* sums, const std::vector<uint8_t>& b) {
  for (size_t at = 0, n = 1; at < b.size(); at += n, n = n * 3 % 50021 + 7)
    sums->Update(b.data() + at, std::min(n, b.size() - at));
}

TEST(Par2Checksums, InPassingEqualWhatTheWholeFileGives) {
  for (uint64_t taken : {uint64_t{0}, uint64_t{40000}}) {
    for (size_t len : {0, 1, 16383, 16384, 16385, 39999, 40000, 40001, 80000, 123457}) {
      SCOPED_TRACE("taken in slices of " + std::to_string(taken) + ", " +
                   std::to_string(len) + " bytes");
      std::vector<uint8_t> b = Pattern(len, static_cast<uint32_t>(len));
      FileChecksums sums(taken);
      FeedAll(&sums, b);
      EXPECT_EQ(sums.Length(), len);
      Reference want = ReferenceFor(b, 40000);
      EXPECT_EQ(sums.WholeMd5(), want.whole);
      EXPECT_EQ(sums.HeadMd5(), want.head);
      // Every size the bytes were taken in, or one that holds the whole
      // file in one slice as they were taken: the checks as computed at
      // once. Any other size cannot be told from them.
      for (uint64_t size : {uint64_t{40000}, uint64_t{123460}, uint64_t{60000}}) {
        std::vector<SliceCheck> got;
        const bool one_slice = len <= size && (taken == 0 || len <= taken);
        const bool fits = size == taken || one_slice;
        ASSERT_EQ(sums.Slices(size, &got), fits) << size;
        if (fits) EXPECT_EQ(got, ReferenceFor(b, size).slices) << size;
      }
    }
  }
}

TEST(Par2Checksums, HalvesFedOnTwoThreadsGiveTheSameAndMustAgree) {
  std::vector<uint8_t> b = Pattern(300001, 5);
  FileChecksums sums(65536);
  // The MD5s in chunks of one size, the CRC-32s in another, at once.
  std::thread md5([&] {
    for (size_t at = 0; at < b.size(); at += 4096)
      sums.UpdateMd5(b.data() + at, std::min<size_t>(4096, b.size() - at));
  });
  std::thread crc([&] {
    for (size_t at = 0; at < b.size(); at += 70001)
      sums.UpdateCrc(b.data() + at, std::min<size_t>(70001, b.size() - at));
  });
  md5.join();
  crc.join();
  std::vector<SliceCheck> got;
  ASSERT_TRUE(sums.Slices(65536, &got));
  EXPECT_EQ(got, ReferenceFor(b, 65536).slices);
  EXPECT_EQ(sums.WholeMd5(), Md5Hasher::Of(b.data(), b.size()));

  // A half that missed bytes: no slices to give.
  FileChecksums short_crc(0);
  short_crc.UpdateMd5(b.data(), 1000);
  short_crc.UpdateCrc(b.data(), 999);
  EXPECT_FALSE(short_crc.Slices(1000, &got));
}

// ---- create and repair on disk ---------------------------------------------

struct Set {
  TempDir dir;
  std::vector<std::string> pieces;
  std::vector<std::vector<uint8_t>> bytes;
  std::string index;
};

void MakeSet(Set* s, int count, size_t size, uint32_t seed = 7) {
  for (int i = 0; i < count; ++i) {
    std::string p = s->dir / ("piece.c0" + std::to_string(i));
    auto b = Pattern(i == count - 1 ? size / 2 + 3 : size, seed + static_cast<uint32_t>(i));
    WriteFile(p, b);
    s->pieces.push_back(p);
    s->bytes.push_back(b);
  }
  s->index = s->dir / "piece.par2";
}

CreateResult Create(const Set& s, uint32_t n, uint64_t memory = kDefaultMemoryLimit,
                    unsigned threads = 2) {
  CreateOptions o;
  o.pieces = s.pieces;
  o.index = s.index;
  o.recovery_slices = n;
  o.memory_limit = memory;
  o.threads = threads;
  return CreateRecovery(o);
}

std::map<std::string, std::vector<uint8_t>> Snapshot(const std::string& dir) {
  std::map<std::string, std::vector<uint8_t>> m;
  for (const std::string& n : List(dir)) m[n] = ReadFile(dir + "/" + n);
  return m;
}

TEST(Par2Create, SmallMemoryAndOneThreadWriteTheSameBytes) {
  // 150 KiB slices: 64 MiB does them in one pass; 512 KiB needs several
  // passes (the chunks of each slice accumulate across passes).
  Set s;
  MakeSet(&s, 5, 150 * 1024);
  CreateResult big = Create(s, 4);
  ASSERT_TRUE(big.ok) << big.error;
  EXPECT_EQ(big.slice_size, 150u * 1024);
  auto first = Snapshot(s.dir.path());
  for (const std::string& w : big.written) unlink(w.c_str());
  EngineJob job;
  job.slice_size = big.slice_size;
  job.outputs = 4;
  job.sources.resize(5);
  ASSERT_GE(EngineChunk(job, nullptr), big.slice_size);
  job.memory_limit = 512 << 10;
  job.threads = 1;
  ASSERT_LT(EngineChunk(job, nullptr), big.slice_size);
  CreateResult small = Create(s, 4, 512 << 10, 1);
  ASSERT_TRUE(small.ok) << small.error;
  EXPECT_EQ(Snapshot(s.dir.path()), first);
}

TEST(Par2Create, ChunksStayWithinTheMemoryWhateverTheSliceSize) {
  // Each worker holds a chunk of every output and one of its source, and
  // the sum of the pass before waits for the sink.
  for (uint64_t slice : {uint64_t{4}, uint64_t{8} << 20, uint64_t{1} << 30, uint64_t{4} << 30}) {
    for (size_t outputs : {1, 4, 300}) {
      EngineJob job;
      job.slice_size = slice;
      job.outputs = outputs;
      job.sources.resize(64);
      unsigned threads = 0;
      const uint64_t chunk = EngineChunk(job, &threads);
      EXPECT_GE(chunk, std::min<uint64_t>(slice, 64));
      EXPECT_LE(chunk * (threads * (outputs + 1) + outputs), kDefaultMemoryLimit)
          << slice << " bytes, " << outputs << " outputs";
    }
  }
}

// A set whose checksums are taken as the pieces are written: they describe
// the pieces in place of a hash of them in the pass that makes the data.
std::vector<TakenChecksums> TakeAll(const Set& s, uint64_t slice_size) {
  std::vector<TakenChecksums> taken;
  for (size_t i = 0; i < s.pieces.size(); ++i) {
    auto sums = std::make_shared<FileChecksums>(slice_size);
    FeedAll(sums.get(), s.bytes[i]);
    struct stat st;
    EXPECT_EQ(stat(s.pieces[i].c_str(), &st), 0);
    taken.push_back({StampOf(st), sums});
  }
  return taken;
}

TEST(Par2Create, ChecksumsTakenInPassingWriteTheSameBytes) {
  // Four pieces of 100000 bytes and a short last one.
  Set s;
  MakeSet(&s, 5, 100000);
  struct Case {
    uint64_t slice;  // 0: one slice per piece
    uint64_t taken;  // the slices the checksums were taken in
  };
  for (Case c : {Case{0, 0}, Case{40000, 40000}, Case{40000, 0}}) {
    SCOPED_TRACE("slices " + std::to_string(c.slice) + ", taken in " +
                 std::to_string(c.taken));
    CreateOptions o;
    o.pieces = s.pieces;
    o.index = s.index;
    o.recovery_slices = 3;
    o.slice_size = c.slice;
    CreateResult hashed = CreateRecovery(o);
    ASSERT_TRUE(hashed.ok) << hashed.error;
    auto want = Snapshot(s.dir.path());
    for (const std::string& w : hashed.written) unlink(w.c_str());
    o.known = TakeAll(s, c.taken);
    CreateResult r = CreateRecovery(o);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(Snapshot(s.dir.path()), want);
    for (const std::string& w : r.written) unlink(w.c_str());
  }
}

// The MD5 the index gives the piece at path.
Md5 DescribedMd5(const std::string& index, const std::string& path) {
  FileContents c = Read(ReadFile(index));
  for (const auto& d : c.descs)
    if (d.second.name == BaseName(path)) return d.second.md5;
  ADD_FAILURE() << "no File Description for " << path;
  return {};
}

// Gives path the time of last change ns (nanoseconds since the epoch).
void SetChangeTime(const std::string& path, int64_t ns) {
  struct timespec times[2] = {{0, UTIME_OMIT},
                              {static_cast<time_t>(ns / 1000000000),
                               static_cast<long>(ns % 1000000000)}};
  ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

TEST(Par2Create, TakenChecksumsCountOnlyForTheFileAsItWasThen) {
  Set s;
  MakeSet(&s, 3, 50000);
  const std::vector<uint8_t> before = s.bytes[1];
  std::vector<TakenChecksums> taken = TakeAll(s, 0);
  const int64_t then = taken[1].file.mtime_ns;
  const std::vector<uint8_t> now = Pattern(50000, 77);
  CreateOptions o;
  o.pieces = s.pieces;
  o.index = s.index;
  o.recovery_slices = 1;
  o.confirm_replace = [](const std::vector<std::string>&) { return true; };

  // Rewritten in place within one tick of the clock, so that its stamp is
  // still that of the checksums: they are believed, the piece is not
  // hashed again.
  {
    int fd = open(s.pieces[1].c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pwrite(fd, now.data(), now.size(), 0), static_cast<ssize_t>(now.size()));
    close(fd);
  }
  SetChangeTime(s.pieces[1], then);
  o.known = taken;
  ASSERT_TRUE(CreateRecovery(o).ok);
  EXPECT_EQ(DescribedMd5(s.index, s.pieces[1]), Md5Hasher::Of(before.data(), before.size()));

  // Changed since: hashed anew.
  SetChangeTime(s.pieces[1], then + 1000000000);
  ASSERT_TRUE(CreateRecovery(o).ok);
  EXPECT_EQ(DescribedMd5(s.index, s.pieces[1]), Md5Hasher::Of(now.data(), now.size()));

  // Another file under the name, of the same size and time: hashed anew.
  WriteFile(s.pieces[1] + ".new", now);
  SetChangeTime(s.pieces[1] + ".new", then);
  SetChangeTime(s.pieces[1], then);
  ASSERT_EQ(rename((s.pieces[1] + ".new").c_str(), s.pieces[1].c_str()), 0);
  s.bytes[1] = now;
  ASSERT_TRUE(CreateRecovery(o).ok);
  EXPECT_EQ(DescribedMd5(s.index, s.pieces[1]), Md5Hasher::Of(now.data(), now.size()));
  EXPECT_EQ(DescribedMd5(s.index, s.pieces[0]), Md5Hasher::Of(s.bytes[0].data(), s.bytes[0].size()));

  // Written to while the recovery data is made: refused, nothing written.
  o.known = TakeAll(s, 0);
  for (const std::string& w : OutputNames(s.index, 1)) unlink(w.c_str());
  const int64_t later = o.known[2].file.mtime_ns + 1000000000;
  o.progress.report = [&](uint64_t, uint64_t) { SetChangeTime(s.pieces[2], later); };
  CreateResult r = CreateRecovery(o);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("piece.c02: changed while the recovery data was made"),
            std::string::npos) << r.error;
  EXPECT_EQ(List(s.dir.path()).size(), 3u);
}

TEST(Par2Repair, RebuildsWithSmallMemoryAndKeepsTheDamagedPiece) {
  Set s;
  MakeSet(&s, 6, 200 * 1024);
  ASSERT_TRUE(Create(s, 3).ok);
  unlink(s.pieces[1].c_str());
  auto damaged = s.bytes[4];
  damaged[1000] ^= 0x40;
  WriteFile(s.pieces[4], damaged);
  truncate(s.pieces[5].c_str(), 10);
  RepairOptions o;
  o.memory_limit = 1 << 20;  // chunks of 128 KiB: two passes
  uint64_t last_done = 0, last_total = 0;
  o.progress.report = [&](uint64_t d, uint64_t t) { last_done = d, last_total = t; };
  RepairResult r = RepairSet(s.index, o);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(r.rebuilt.size(), 3u);
  EXPECT_EQ(last_done, last_total);
  for (size_t i = 0; i < s.pieces.size(); ++i) EXPECT_EQ(ReadFile(s.pieces[i]), s.bytes[i]) << i;
  EXPECT_EQ(ReadFile(s.pieces[4] + ".bad"), damaged);
  EXPECT_TRUE(Exists(s.pieces[5] + ".bad"));
  EXPECT_FALSE(Exists(s.pieces[1] + ".bad"));
  for (const std::string& n : List(s.dir.path())) EXPECT_EQ(n.find(".part"), std::string::npos) << n;
}

TEST(Par2Repair, TooMuchLostChangesNothingAndSaysHowMuch) {
  Set s;
  MakeSet(&s, 5, 5000);
  ASSERT_TRUE(Create(s, 2).ok);
  unlink(s.pieces[0].c_str());
  unlink(s.pieces[2].c_str());
  WriteFile(s.pieces[3], Pattern(5000, 99));
  auto before = Snapshot(s.dir.path());
  VerifyReport v = VerifySet(s.index);
  ASSERT_TRUE(v.ok) << v.error;
  EXPECT_FALSE(v.repairable);
  EXPECT_EQ(v.bad_slices, 3u);
  std::map<std::string, PieceState> states;
  for (const PieceReport& p : v.pieces) states[p.name] = p.state;
  EXPECT_EQ(states["piece.c00"], PieceState::kMissing);
  EXPECT_EQ(states["piece.c02"], PieceState::kMissing);
  EXPECT_EQ(states["piece.c03"], PieceState::kDamaged);
  EXPECT_EQ(states["piece.c01"], PieceState::kGood);
  RepairResult r = RepairSet(s.index);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("3 slice(s)"), std::string::npos) << r.error;
  EXPECT_NE(r.error.find("piece.par2"), std::string::npos) << r.error;
  EXPECT_EQ(Snapshot(s.dir.path()), before);
}

TEST(Par2Repair, AGoodSetIsLeftAlone) {
  Set s;
  MakeSet(&s, 3, 4000);
  ASSERT_TRUE(Create(s, 1).ok);
  auto before = Snapshot(s.dir.path());
  RepairResult r = RepairSet(s.index);
  EXPECT_TRUE(r.ok) << r.error;
  EXPECT_TRUE(r.rebuilt.empty());
  EXPECT_TRUE(r.before.all_good);
  EXPECT_EQ(r.before.set.creator.rfind("Parvex 2.", 0), 0u) << r.before.set.creator;
  EXPECT_EQ(Snapshot(s.dir.path()), before);
}

TEST(Par2Repair, ReplacesAnOldBadFileOnlyWhenAllowed) {
  Set s;
  MakeSet(&s, 3, 4000);
  ASSERT_TRUE(Create(s, 1).ok);
  WriteFile(s.pieces[0], Pattern(4000, 1234));
  WriteFile(s.pieces[0] + ".bad", {1, 2, 3});
  auto before = Snapshot(s.dir.path());
  RepairResult r = RepairSet(s.index);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("piece.c00.bad"), std::string::npos) << r.error;
  EXPECT_EQ(Snapshot(s.dir.path()), before);
  RepairOptions o;
  std::vector<std::string> asked;
  o.confirm_replace = [&](const std::vector<std::string>& v) { asked = v; return true; };
  r = RepairSet(s.index, o);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(asked, (std::vector<std::string>{s.pieces[0] + ".bad"}));
  EXPECT_EQ(ReadFile(s.pieces[0]), s.bytes[0]);
  EXPECT_EQ(ReadFile(s.pieces[0] + ".bad"), Pattern(4000, 1234));
}

TEST(Par2Repair, NeverWritesThroughASymbolicLinkAtNamePart) {
  Set s;
  MakeSet(&s, 3, 4000);
  ASSERT_TRUE(Create(s, 1).ok);
  unlink(s.pieces[1].c_str());
  TempDir elsewhere;
  WriteFile(elsewhere / "victim", {9, 9});
  ASSERT_EQ(symlink((elsewhere / "victim").c_str(), (s.pieces[1] + ".part").c_str()), 0);
  RepairResult r = RepairSet(s.index);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("piece.c01.part"), std::string::npos) << r.error;
  EXPECT_EQ(ReadFile(elsewhere / "victim"), (std::vector<uint8_t>{9, 9}));
  EXPECT_FALSE(Exists(s.pieces[1]));
}

TEST(Par2Repair, IntoAnotherFolderLeavesTheSetAsItIs) {
  Set s;
  MakeSet(&s, 4, 3000);
  ASSERT_TRUE(Create(s, 2).ok);
  WriteFile(s.pieces[2], Pattern(3000, 5));
  unlink(s.pieces[3].c_str());
  auto before = Snapshot(s.dir.path());
  TempDir out;
  RepairOptions o;
  o.output_dir = out.path();
  RepairResult r = RepairSet(s.index, o);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_EQ(Snapshot(s.dir.path()), before);
  EXPECT_EQ(List(out.path()), (std::vector<std::string>{"piece.c02", "piece.c03"}));
  EXPECT_EQ(ReadFile(out / "piece.c02"), s.bytes[2]);
  EXPECT_EQ(ReadFile(out / "piece.c03"), s.bytes[3]);
}

TEST(Par2Create, RefusesFifosExistingOutputsAndItsOwnInputs) {
  Set s;
  MakeSet(&s, 2, 3000);
  // A FIFO among the pieces: refused at once, not waited on.
  std::string fifo = s.dir / "piece.c09";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  CreateOptions o;
  o.pieces = s.pieces;
  o.pieces.push_back(fifo);
  o.index = s.index;
  o.recovery_slices = 1;
  CreateResult r = CreateRecovery(o);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("piece.c09: not a regular file"), std::string::npos) << r.error;
  unlink(fifo.c_str());

  // An existing index: kept unless the caller agrees.
  WriteFile(s.index, {1});
  o.pieces = s.pieces;
  r = CreateRecovery(o);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(ReadFile(s.index), (std::vector<uint8_t>{1}));
  o.confirm_replace = [](const std::vector<std::string>&) { return true; };
  r = CreateRecovery(o);
  ASSERT_TRUE(r.ok) << r.error;
  EXPECT_GT(ReadFile(s.index).size(), 64u);

  // An output that is one of the pieces is never replaced, even if agreed.
  o.pieces = {s.pieces[0], s.dir / "piece.vol0+1.par2"};
  r = CreateRecovery(o);
  EXPECT_FALSE(r.ok);
  EXPECT_NE(r.error.find("is one of the pieces"), std::string::npos) << r.error;
}

TEST(Par2Create, CancelledLeavesNoFiles) {
  Set s;
  MakeSet(&s, 3, 100000);
  CreateOptions o;
  o.pieces = s.pieces;
  o.index = s.index;
  o.recovery_slices = 2;
  o.progress.cancelled = [] { return true; };
  CreateResult r = CreateRecovery(o);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.error, "cancelled");
  EXPECT_EQ(List(s.dir.path()).size(), 3u);
}

}  // namespace
