// The cut of standard input: it makes the pieces a cut of the same bytes as
// a file makes, writes nothing for a stream that needs no cutting, asks
// about taken names before it writes a piece, refuses up front a name the
// header of a long stream could not carry, and says which pieces stand when
// it fails.
#include "engines/stream_cut.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "cli/cli_platform.h"
#include "engines/engines.h"
#include "tests/fake_platform.h"
#include "tests/test_util.h"

namespace pvx {
namespace {

using test::List;
using test::Pattern;
using test::ReadFile;
using test::WriteFile;
using Bytes = std::vector<uint8_t>;

// Descriptor 0 reads fd for as long as this lives (fd is taken over).
class StandardInputFrom {
 public:
  explicit StandardInputFrom(int fd) : saved_(dup(0)) {
    dup2(fd, 0);
    close(fd);
  }
  ~StandardInputFrom() {
    dup2(saved_, 0);
    close(saved_);
  }

 private:
  int saved_;
};

class StreamCutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    p.lang = Lang::kEnglish;
    ASSERT_EQ(mkdir((dir / "file").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((dir / "stream").c_str(), 0755), 0);
  }
  // A pipe that yields bytes and then ends: its writing end is closed once
  // they are in it (they fit its buffer, so nothing waits).
  int Pipe(const Bytes& bytes) {
    int ends[2];
    EXPECT_EQ(pipe(ends), 0);
    EXPECT_LT(bytes.size(), 65536u);
    EXPECT_EQ(write(ends[1], bytes.data(), bytes.size()),
              static_cast<ssize_t>(bytes.size()));
    close(ends[1]);
    return ends[0];
  }
  // A descriptor over a temporary file holding bytes.
  int FileInput(const Bytes& bytes) {
    WriteFile(dir / "input", bytes);
    return open((dir / "input").c_str(), O_RDONLY);
  }
  int Stream(int fd, uint32_t piece, const std::string& name = "base.bin") {
    StandardInputFrom input(fd);
    last = CutStream(p, name, piece, dir / "stream/", false, &io);
    return last.result;
  }
  // Cuts bytes as the file file/base.bin.
  void FileCut(const Bytes& bytes, uint32_t piece) {
    WriteFile(dir / "file/base.bin", bytes);
    FakePlatform f;
    Failure why = {};
    ASSERT_EQ(CutFile(f, piece, (dir / "file/base.bin").c_str(), "", false,
                      false, &why),
              kDone);
    ASSERT_EQ(unlink((dir / "file/base.bin").c_str()), 0);
  }
  void ExpectSamePieces() {
    std::vector<std::string> names = List(dir / "file");
    ASSERT_EQ(List(dir / "stream"), names);
    for (const std::string& name : names)
      EXPECT_EQ(ReadFile(dir / ("stream/" + name)),
                ReadFile(dir / ("file/" + name)))
          << name;
  }

  test::TempDir dir;
  FakePlatform p;
  Failure io = {};
  StreamCutResult last;
};

TEST_F(StreamCutTest, APipeIsCutAsTheFileWouldBe) {
  Bytes data = Pattern(10000, 11);
  FileCut(data, 4000);
  ASSERT_EQ(Stream(Pipe(data), 4000), kDone) << io.text;
  EXPECT_EQ(List(dir / "stream"),
            (std::vector<std::string>{"base.c00", "base.c01", "base.c02"}));
  ExpectSamePieces();
  EXPECT_EQ(p.Filter("percent:"),
            std::vector<std::string>{"base.bin is cut into 3 files."});
}

TEST_F(StreamCutTest, AFileDescriptorIsCutAsTheFileWouldBe) {
  // One byte into a further piece, and a chunk that is not the piece size.
  p.SetChunkSize(1000);
  Bytes data = Pattern(4000 - 284 + 4000 + 1, 12);
  FileCut(data, 4000);
  ASSERT_EQ(Stream(FileInput(data), 4000), kDone) << io.text;
  EXPECT_EQ(test::FileSize(dir / "stream/base.c02"), 1u);
  ExpectSamePieces();
}

TEST_F(StreamCutTest, AStreamNotLongerThanOnePieceWritesNothing) {
  ASSERT_EQ(Stream(Pipe(Pattern(4000)), 4000), kFailed);
  EXPECT_TRUE(List(dir / "stream").empty());
  ASSERT_EQ(Stream(Pipe({}), 4000), kFailed);
  EXPECT_TRUE(List(dir / "stream").empty());
  EXPECT_EQ(p.Notices().back(),
            "base.bin is 0 KB.\nThere is no need to cut it.");
}

TEST_F(StreamCutTest, ATakenNameIsAskedAboutBeforeAnyPieceIsWritten) {
  WriteFile(dir / "stream/base.c01", {'o', 'l', 'd'});
  p.answers = {false};
  EXPECT_EQ(Stream(Pipe(Pattern(10000, 13)), 4000), kFailed);
  EXPECT_EQ(List(dir / "stream"), std::vector<std::string>{"base.c01"});
  EXPECT_EQ(ReadFile(dir / "stream/base.c01"), (Bytes{'o', 'l', 'd'}));
  EXPECT_TRUE(p.Filter("create").empty()) << "refused before the window";

  Bytes data = Pattern(10000, 13);
  FileCut(data, 4000);
  p.answers = {true};
  ASSERT_EQ(Stream(Pipe(data), 4000), kDone) << io.text;
  ExpectSamePieces();
}

// A platform at which a file appears at `appear` as the first piece is
// opened: after the names were decided, while the cut runs.
class LateArrival : public FakePlatform {
 public:
  std::string appear;
  FileHandle OpenWrite(const char* path, FileHandle like, bool replace,
                       Failure* why) override {
    if (!appear.empty()) {
      WriteFile(appear, {'n', 'e', 'w'});
      appear.clear();
    }
    return FakePlatform::OpenWrite(path, like, replace, why);
  }
};

TEST_F(StreamCutTest, ANameTakenAfterTheQuestionIsAskedAboutNotReplaced) {
  // Both cuts: the piece's name was free when the names were decided, so
  // nobody agreed to replace what stands there now.
  for (bool stream : {true, false}) {
    SCOPED_TRACE(stream ? "standard input" : "file");
    const std::string folder = dir / (stream ? "stream/" : "file/");
    LateArrival late;
    late.lang = Lang::kEnglish;
    late.appear = folder + "base.c02";
    late.answers = {false};
    Failure why = {};
    const Bytes data = Pattern(10000, 15);
    int result;
    if (stream) {
      StandardInputFrom input(Pipe(data));
      result = CutStream(late, "base.bin", 4000, folder, false, &why).result;
    } else {
      WriteFile(folder + "base.bin", data);
      result = CutFile(late, 4000, (folder + "base.bin").c_str(), "", false,
                       false, &why);
    }
    EXPECT_EQ(result, kIoFailure) << "the taken name, told";
    EXPECT_EQ(late.replace_paths, std::vector<std::string>{folder + "base.c02"});
    EXPECT_EQ(ReadFile(folder + "base.c02"), (Bytes{'n', 'e', 'w'}));
  }
}

// ---- names ----------------------------------------------------------------

TEST_F(StreamCutTest, ANameTheLargeHeaderCannotCarryIsRefusedBeforeReading) {
  // 250 bytes: the classic header holds it, the "@PARVEX+" header (FileName
  // and the record's 18 bytes after its NUL) does not, and whether the
  // stream reaches 4 GiB is known only at its end.
  const std::string name = std::string(246, 'n') + ".bin";
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  const Bytes data = Pattern(10000, 14);
  ASSERT_EQ(write(ends[1], data.data(), data.size()),
            static_cast<ssize_t>(data.size()));
  close(ends[1]);
  const int reader = dup(ends[0]);
  EXPECT_EQ(Stream(ends[0], 4000, name), kFailed);
  EXPECT_EQ(p.Notices(),
            std::vector<std::string>{
                name + ": this file name is too long for the header of a "
                       "source of 4 GiB or more: it may be 245 bytes long "
                       "(Shift_JIS) at most."});
  EXPECT_TRUE(List(dir / "stream").empty());
  EXPECT_TRUE(p.Questions().empty());
  // Not a byte of the stream was taken.
  Bytes left(data.size() + 1);
  EXPECT_EQ(read(reader, left.data(), left.size()),
            static_cast<ssize_t>(data.size()));
  close(reader);

  // The longest name that fits: 245 bytes.
  const std::string longest = std::string(241, 'n') + ".bin";
  EXPECT_EQ(Stream(Pipe(data), 4000, longest), kDone) << io.text;
}

TEST_F(StreamCutTest, AFileOfFourGibibytesSaysHowLongItsNameMayBe) {
  // A name with a code page 932 form needs the record only from 4 GiB on:
  // the limit is that of FileName beside the record, not of a stand-in.
  const std::string name = std::string(246, 'n') + ".bin";
  WriteFile(dir / name, Pattern(5000, 15));
  p.fake_length[dir / name] = (uint64_t{5} << 30);
  EXPECT_EQ(CutFile(p, 1u << 30, (dir / name).c_str(), "", false, false, &io),
            kFailed);
  ASSERT_EQ(p.Notices().size(), 1u);
  EXPECT_NE(p.Notices()[0].find("it may be 245 bytes long"), std::string::npos)
      << p.Notices()[0];
}

// ---- failures ---------------------------------------------------------------

TEST_F(StreamCutTest, TooManyPiecesNameThePiecesThatStand) {
  p.SetPieceLimit(3);
  const Bytes data = Pattern(3716 + 4000 + 4000 + 1, 16);
  EXPECT_EQ(Stream(Pipe(data), 4000), kFailed);
  EXPECT_EQ(p.Notices(), std::vector<std::string>{
                             "The number of pieces has exceeded 3."});
  EXPECT_EQ(last.first_written, dir / "stream/base.c01");
  EXPECT_EQ(last.last_written, dir / "stream/base.c02");
  EXPECT_EQ(List(dir / "stream"),
            (std::vector<std::string>{"base.c00.part", "base.c01", "base.c02"}));
}

TEST_F(StreamCutTest, CancelStopsTheCutAndNamesNothingBeforeAPieceStands) {
  p.SetChunkSize(1000);
  p.cancel_at_check = 3;
  EXPECT_EQ(Stream(Pipe(Pattern(10000, 17)), 4000), kFailed);
  EXPECT_EQ(p.checks, 3);
  EXPECT_TRUE(last.first_written.empty());
  EXPECT_EQ(List(dir / "stream"), std::vector<std::string>{"base.c00.part"});
}

TEST_F(StreamCutTest, AReadFailureNamesStandardInput) {
  EXPECT_EQ(Stream(open(dir.path().c_str(), O_RDONLY | O_DIRECTORY), 4000),
            kIoFailure);
  EXPECT_EQ(std::string(io.text), "standard input: Is a directory");
  EXPECT_TRUE(last.first_written.empty());
}

// ---- the terminal's wait for standard input --------------------------------

TEST(TerminalStream, CtrlCEndsTheWaitAsACancelAndDataIsReadAsItComes) {
  // The terminal's handlers for this test only.
  const int signals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
  struct sigaction before[4];
  for (int i = 0; i < 4; ++i) sigaction(signals[i], nullptr, &before[i]);
  CatchEndingSignals();
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  CliPlatform t;
  FileHandle in;
  {
    StandardInputFrom input(dup(ends[0]));
    Failure why = {};
    in = t.OpenStandardInput(&why);
  }
  ASSERT_NE(in, nullptr);
  char buf[16];
  uint32_t got = 99;
  Failure why = {};
  // A press while nothing has come: the wait ends at once, as Cancel.
  raise(SIGINT);
  EXPECT_TRUE(t.ReadStream(in, buf, sizeof buf, &got, &why));
  EXPECT_EQ(got, 0u);
  EXPECT_TRUE(t.ProgressCheckCancel());
  EXPECT_TRUE(t.Cancelled());
  // Bytes that came are read, and the end is an end, not a Cancel.
  ASSERT_EQ(write(ends[1], "abc", 3), 3);
  EXPECT_TRUE(t.ReadStream(in, buf, sizeof buf, &got, &why));
  EXPECT_EQ(got, 3u);
  close(ends[1]);
  EXPECT_TRUE(t.ReadStream(in, buf, sizeof buf, &got, &why));
  EXPECT_EQ(got, 0u);
  EXPECT_FALSE(t.ProgressCheckCancel());
  t.Close(in);
  close(ends[0]);
  for (int i = 0; i < 4; ++i) sigaction(signals[i], &before[i], nullptr);
}

}  // namespace
}  // namespace pvx
