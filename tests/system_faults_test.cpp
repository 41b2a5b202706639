// Failures of the system under the POSIX platform, made through its table
// of system calls: a full disk, an I/O error, a rename across file systems,
// a file system without renameat2. Each row fails one call at one count and
// says what the cut or join must report and leave on disk. These run
// anywhere, without root, a small tmpfs or a 4 GiB file.
#include <errno.h>
#include <gtest/gtest.h>
#include <string.h>

#include <functional>
#include <string>
#include <vector>

#include "engines/engines.h"
#include "format/piece_format.h"
#include "platform/posix/system_calls.h"
#include "tests/fake_platform.h"
#include "tests/test_util.h"

namespace pvx {
namespace {

using test::Exists;
using test::List;
using test::Pattern;
using test::ReadFile;
using test::WriteFile;

// Which call fails, at which of its calls (1-based), with which errno. The
// replacement functions read it; a scope puts the system's functions back.
struct Fault {
  enum Call { kNone, kRead, kWrite, kFallocate, kRename, kRenameNoReplace,
              kOpen, kMkdir };
  Call call = kNone;
  int at = 1;
  int err = 0;
  int seen = 0;
};
Fault g_fault;
SystemCalls g_system;  // the table as the system gave it

bool Hit(Fault::Call call) {
  if (g_fault.call != call || ++g_fault.seen != g_fault.at) return false;
  errno = g_fault.err;
  return true;
}
ssize_t FailingRead(int fd, void* buf, size_t n) {
  return Hit(Fault::kRead) ? -1 : g_system.read(fd, buf, n);
}
ssize_t FailingWrite(int fd, const void* buf, size_t n) {
  return Hit(Fault::kWrite) ? -1 : g_system.write(fd, buf, n);
}
int FailingFallocate(int fd, int mode, off_t offset, off_t length) {
  return Hit(Fault::kFallocate) ? -1
                                : g_system.fallocate(fd, mode, offset, length);
}
int FailingRename(const char* from, const char* to) {
  return Hit(Fault::kRename) ? -1 : g_system.rename(from, to);
}
int FailingRenameNoReplace(const char* from, const char* to) {
  return Hit(Fault::kRenameNoReplace) ? -1
                                      : g_system.rename_noreplace(from, to);
}
int FailingOpen(const char* path, int flags, mode_t mode) {
  return Hit(Fault::kOpen) ? -1 : g_system.open(path, flags, mode);
}
int FailingMkdir(const char* path, mode_t mode) {
  return Hit(Fault::kMkdir) ? -1 : g_system.mkdir(path, mode);
}

class SystemCallScope {
 public:
  explicit SystemCallScope(Fault fault) {
    g_system = PosixSystemCalls();
    g_fault = fault;
    SystemCalls& t = PosixSystemCalls();
    t.read = FailingRead;
    t.write = FailingWrite;
    t.fallocate = FailingFallocate;
    t.rename = FailingRename;
    t.rename_noreplace = FailingRenameNoReplace;
    t.open = FailingOpen;
    t.mkdir = FailingMkdir;
  }
  ~SystemCallScope() {
    PosixSystemCalls() = g_system;
    g_fault = Fault();
  }
};

struct Row {
  const char* what;
  bool cut;          // a cut of r.bin (6000 bytes, pieces of 2500) into
                     // out/, or a join of that set into out/
  Fault fault;
  int result;        // what the engine returns
  const char* said;  // the failure's text, "" when it succeeds
  std::vector<std::string> left;  // what out/ holds afterwards
};

std::vector<Row> Rows() {
  using F = Fault;
  return {
      // The room for a piece is reserved before its data is written: a
      // disk too small is known at once and nothing of that piece stays.
      {"full disk at piece 1's reservation", true,
       {F::kFallocate, 2, ENOSPC}, kIoFailure,
       "out/r.c01: No space left on device", {"r.c00"}},
      {"full disk at the output's reservation", false,
       {F::kFallocate, 1, ENOSPC}, kIoFailure,
       "out/r.bin: No space left on device", {}},
      // A write that fails after the reservation: the partial piece stays
      // in its .part, the pieces before it under their names.
      {"write error in piece 1", true, {F::kWrite, 6, EIO}, kIoFailure,
       "out/r.c01.part: Input/output error", {"r.c00", "r.c01.part"}},
      {"write error in the output", false, {F::kWrite, 2, ENOSPC},
       kIoFailure, "out/r.bin.part: No space left on device",
       {"r.bin.part"}},
      {"read error in piece 1", false, {F::kRead, 6, EIO}, kIoFailure,
       "r.c01: Input/output error", {"r.bin.part"}},
      {"read error in the source", true, {F::kRead, 5, EIO}, kIoFailure,
       "r.bin: Input/output error", {"r.c00", "r.c01.part"}},
      // Taking the name fails: the data stays where the message says.
      {"rename across file systems", true, {F::kRenameNoReplace, 2, EXDEV},
       kIoFailure, "out/r.c01: Invalid cross-device link",
       {"r.c00", "r.c01.part"}},
      // A file system without renameat2: link and unlink take its place and
      // still never replace an entry.
      {"no renameat2", false, {F::kRenameNoReplace, 1, ENOSYS}, kDone, "",
       {"r.bin"}},
      {"no renameat2 in a cut", true, {F::kRenameNoReplace, 1, EINVAL}, kDone,
       "", {"r.c00", "r.c01", "r.c02"}},
      // An open that fails names the file and leaves nothing.
      {"too many open files", false, {F::kOpen, 3, EMFILE}, kFailed,
       "r.c01: Too many open files", {"r.bin.part"}},
      {"no room for a folder", true, {F::kMkdir, 1, ENOSPC}, kFailed,
       "out/r.c00.part: No such file or directory", {}},
  };
}

class SystemFaults : public ::testing::TestWithParam<Row> {};

TEST_P(SystemFaults, EachFailureNamesItsFileAndLeavesWhatItSays) {
  const Row& row = GetParam();
  test::TempDir dir;
  FakePlatform p;
  p.lang = Lang::kEnglish;
  p.SetChunkSize(1000);  // several reads and writes a piece
  WriteFile(dir / "r.bin", Pattern(6000));
  Failure io = {};
  const std::string out = dir / "out/";
  if (!row.cut) {
    ASSERT_EQ(CutFile(p, 2500, (dir / "r.bin").c_str(), "", false, false, &io),
              kDone);
    p.log.clear();
  }
  int result;
  {
    SystemCallScope scope(row.fault);
    result = row.cut ? CutFile(p, 2500, (dir / "r.bin").c_str(), out.c_str(),
                               false, false, &io)
                     : JoinFile(p, (dir / "r.c00").c_str(), out.c_str(),
                                false, &io);
  }
  EXPECT_EQ(result, row.result) << row.what;
  std::string said = result == kIoFailure ? io.text
                     : p.Notices().empty() ? ""
                                           : p.Notices().back();
  if (*row.said) {
    EXPECT_NE(said.find(row.said), std::string::npos)
        << row.what << ": " << said;
  } else {
    EXPECT_EQ(said, "") << row.what;
  }
  std::vector<std::string> left =
      Exists(dir / "out") ? List(dir / "out") : std::vector<std::string>{};
  EXPECT_EQ(left, row.left) << row.what;
  if (row.result == kDone && !row.cut)
    EXPECT_EQ(ReadFile(dir / "out/r.bin"), Pattern(6000)) << row.what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SystemFaults, ::testing::ValuesIn(Rows()),
    [](const ::testing::TestParamInfo<Row>& info) {
      std::string name;
      for (const char* c = info.param.what; *c; ++c)
        name += isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
      return name;
    });

}  // namespace
}  // namespace pvx
