// `parvex cut -`: a stream cut makes the pieces a cut of the same bytes as a
// file makes, writes nothing for a stream that needs no cutting, and asks
// about taken names before it writes a piece.
#include "cli/stream_cut.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "engines/engines.h"
#include "tests/fake_platform.h"
#include "tests/test_util.h"

namespace pvx {
namespace {

using test::Exists;
using test::List;
using test::Pattern;
using test::ReadFile;
using test::WriteFile;
using Bytes = std::vector<uint8_t>;

class StreamCutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    p.SetQuiet(true);
    ASSERT_EQ(mkdir((dir / "file").c_str(), 0755), 0);
    ASSERT_EQ(mkdir((dir / "stream").c_str(), 0755), 0);
  }
  void TearDown() override {
    if (fd_ >= 0) close(fd_);
  }
  // A descriptor that yields bytes and then ends: a pipe whose writing end
  // is closed once they are in it (they fit its buffer, so nothing waits).
  int Pipe(const Bytes& bytes) {
    int ends[2];
    EXPECT_EQ(pipe(ends), 0);
    EXPECT_LT(bytes.size(), 65536u);
    EXPECT_EQ(write(ends[1], bytes.data(), bytes.size()),
              static_cast<ssize_t>(bytes.size()));
    close(ends[1]);
    return fd_ = ends[0];
  }
  // A descriptor over a temporary file holding bytes.
  int FileInput(const Bytes& bytes) {
    WriteFile(dir / "input", bytes);
    return fd_ = open((dir / "input").c_str(), O_RDONLY);
  }
  int Stream(int fd, uint32_t piece) {
    return CutStream(p, fd, "base.bin", piece, dir / "stream/", false,
                     nullptr, &io);
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
  CliPlatform p;
  Failure io = {};
  int fd_ = -1;
};

TEST_F(StreamCutTest, APipeIsCutAsTheFileWouldBe) {
  Bytes data = Pattern(10000, 11);
  FileCut(data, 4000);
  ASSERT_EQ(Stream(Pipe(data), 4000), kDone) << io.text;
  EXPECT_EQ(List(dir / "stream"),
            (std::vector<std::string>{"base.c00", "base.c01", "base.c02"}));
  ExpectSamePieces();
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
  close(fd_);
  ASSERT_EQ(Stream(Pipe({}), 4000), kFailed);
  EXPECT_TRUE(List(dir / "stream").empty());
}

TEST_F(StreamCutTest, ATakenNameIsAskedAboutBeforeAnyPieceIsWritten) {
  WriteFile(dir / "stream/base.c01", {'o', 'l', 'd'});
  p.SetAnswers(Answers::kNo);
  EXPECT_EQ(Stream(Pipe(Pattern(10000, 13)), 4000), kFailed);
  EXPECT_EQ(List(dir / "stream"), std::vector<std::string>{"base.c01"});
  EXPECT_EQ(ReadFile(dir / "stream/base.c01"), (Bytes{'o', 'l', 'd'}));

  close(fd_);
  Bytes data = Pattern(10000, 13);
  FileCut(data, 4000);
  p.SetAnswers(Answers::kYes);
  ASSERT_EQ(Stream(Pipe(data), 4000), kDone) << io.text;
  ExpectSamePieces();
}

}  // namespace
}  // namespace pvx
