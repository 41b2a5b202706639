// What the POSIX platform does for a terminal front end: the output join -o
// redirects, the folders a command made, the files it put in place, the
// ending signals and the waits they end, text a terminal may be sent.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "platform/posix/interrupt.h"
#include "platform/posix/terminal.h"
#include "tests/fake_platform.h"
#include "tests/test_util.h"

namespace pvx {
namespace {

using test::TempDir;

// Writes bytes to path through p, put in place.
bool WriteThrough(FakePlatform& p, const std::string& path,
                  const std::string& bytes) {
  Failure why = {};
  FileHandle f = p.OpenWrite(path.c_str(), nullptr, false, &why);
  if (!f) return false;
  bool taken = false;
  const bool ok =
      p.Write(f, bytes.data(), static_cast<uint32_t>(bytes.size()), &why) &&
      p.Commit(f, false, &taken, &why);
  p.Close(f);
  return ok && !taken;
}

TEST(PosixRedirect, TheEnginesOutputIsWrittenAtTheTarget) {
  TempDir dir;
  FakePlatform p;
  const std::string engine = dir / "backup.tar", target = dir / "elsewhere";
  test::WriteFile(engine, {'o', 'l', 'd'});
  p.Redirect(engine, target);
  EXPECT_TRUE(p.Redirected(engine.c_str()));
  EXPECT_FALSE(p.Redirected(target.c_str()));
  // The engine's name stands for the target, which is not there yet.
  EXPECT_FALSE(p.Exists(engine.c_str()));
  ASSERT_TRUE(WriteThrough(p, engine, "new"));
  EXPECT_TRUE(p.Exists(engine.c_str()));
  EXPECT_EQ(test::ReadFile(target), (std::vector<uint8_t>{'n', 'e', 'w'}));
  // What stands at the engine's own name is left alone.
  EXPECT_EQ(test::ReadFile(engine), (std::vector<uint8_t>{'o', 'l', 'd'}));
  Failure why = {};
  FileHandle f = p.OpenRead(target.c_str(), &why);
  ASSERT_NE(f, nullptr);
  EXPECT_TRUE(p.IsFileAt(f, engine.c_str()));
  p.Close(f);
}

TEST(PosixRedirect, StandardOutputIsNeverThereToReplace) {
  TempDir dir;
  FakePlatform p;
  p.lang = Lang::kEnglish;
  const std::string engine = dir / "backup.tar";
  test::WriteFile(engine, {'x'});
  p.Redirect(engine, "-");
  EXPECT_TRUE(p.RedirectedToStandardOutput());
  EXPECT_FALSE(p.Exists(engine.c_str()));
  Failure why = {};
  FileHandle f = p.OpenWrite(engine.c_str(), nullptr, false, &why);
  ASSERT_NE(f, nullptr) << why.text;
  EXPECT_STREQ(p.PathOf(f), "standard output");
  EXPECT_FALSE(p.IsFileAt(f, engine.c_str()));
  p.Close(f);
  EXPECT_FALSE(test::Exists(engine + ".part"));
}

TEST(PosixMadeFolders, OnlyTheEmptyOnesAreRemovedDeepestFirst) {
  TempDir dir;
  FakePlatform p;
  const std::string a = dir / "a", ab = dir / "a/b", c = dir / "c";
  ASSERT_TRUE(p.MakeFolder(a.c_str()));
  ASSERT_TRUE(p.MakeFolder(ab.c_str()));
  ASSERT_TRUE(p.MakeFolder(c.c_str()));
  // A folder that was there already is not the platform's to remove.
  ASSERT_FALSE(p.MakeFolder(c.c_str()));
  test::WriteFile(c + "/kept", {'k'});
  p.RemoveMadeFolders();
  EXPECT_FALSE(test::Exists(ab));
  EXPECT_FALSE(test::Exists(a));
  EXPECT_TRUE(test::Exists(c + "/kept"));
  // Each folder is removed once: emptied later, it stays.
  ASSERT_EQ(unlink((c + "/kept").c_str()), 0);
  p.RemoveMadeFolders();
  EXPECT_TRUE(test::Exists(c));
}

TEST(PosixCommitted, TheFilesPutInPlaceAreTakenInOrder) {
  TempDir dir;
  FakePlatform p;
  ASSERT_TRUE(WriteThrough(p, dir / "b.c01", "1"));
  ASSERT_TRUE(WriteThrough(p, dir / "b.c00", "0"));
  // Closed without Commit: not put in place.
  Failure why = {};
  FileHandle f = p.OpenWrite((dir / "b.c02").c_str(), nullptr, false, &why);
  ASSERT_NE(f, nullptr);
  p.Close(f);
  EXPECT_EQ(p.TakeCommitted(),
            (std::vector<std::string>{dir / "b.c01", dir / "b.c00"}));
  EXPECT_TRUE(p.TakeCommitted().empty());
}

TEST(PosixFileSize, OnlyARegularFileIsMeasured) {
  TempDir dir;
  test::WriteFile(dir / "five", {1, 2, 3, 4, 5});
  ASSERT_EQ(symlink("five", (dir / "link").c_str()), 0);
  uint64_t size = 99;
  EXPECT_TRUE(PosixPlatform::RegularFileSize((dir / "five").c_str(), &size));
  EXPECT_EQ(size, 5u);
  size = 99;
  EXPECT_TRUE(PosixPlatform::RegularFileSize((dir / "link").c_str(), &size));
  EXPECT_EQ(size, 5u);
  size = 99;
  EXPECT_FALSE(PosixPlatform::RegularFileSize(dir.path().c_str(), &size));
  EXPECT_FALSE(PosixPlatform::RegularFileSize((dir / "none").c_str(), &size));
  EXPECT_EQ(size, 99u);
}

// The ending signals caught for one test, the handlers before put back.
class EndingSignalsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 4; ++i) sigaction(kSignals[i], nullptr, &before_[i]);
    CatchEndingSignals();
  }
  void TearDown() override {
    while (TakeInterrupt()) {
    }
    for (int i = 0; i < 4; ++i) sigaction(kSignals[i], &before_[i], nullptr);
  }

 private:
  static constexpr int kSignals[4] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
  struct sigaction before_[4];
};

TEST_F(EndingSignalsTest, APressIsNotedOnceAndNamed) {
  EXPECT_TRUE(EndingSignalsCaught());
  EXPECT_FALSE(TakeInterrupt());
  raise(SIGTERM);
  EXPECT_TRUE(TakeInterrupt());
  EXPECT_FALSE(TakeInterrupt());
  // The first signal that cancelled is the one named.
  const int first = EndingSignal();
  EXPECT_TRUE(first == SIGTERM || first == SIGINT) << first;
  raise(SIGHUP);
  EXPECT_EQ(EndingSignal(), first);
  EXPECT_TRUE(TakeInterrupt());
}

// The child runs the test afresh: no signal noted by the tests before.
TEST(EndingSignalsDeathTest, SigtermEndsTheProgramAsItWouldOnceAllIsSaid) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        CatchEndingSignals();
        raise(SIGTERM);
        TakeInterrupt();
        fputs("said", stderr);
        EndAsSignalled(0);
        _exit(7);  // not reached
      },
      ::testing::KilledBySignal(SIGTERM), "said");
}

TEST(EndingSignalsDeathTest, CtrlCLeavesTheStatusAsItIs) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        CatchEndingSignals();
        raise(SIGINT);
        TakeInterrupt();
        _exit(EndAsSignalled(130));
      },
      ::testing::ExitedWithCode(130), "");
  // Nothing ended the work: the status stands.
  EXPECT_EXIT(_exit(EndAsSignalled(1)), ::testing::ExitedWithCode(1), "");
}

TEST_F(EndingSignalsTest, LinesAreReadWithoutWhatFollowsAndAPressEndsTheWait) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  ASSERT_EQ(write(ends[1], "yes\nrest", 8), 8);
  const int saved = dup(STDIN_FILENO);
  dup2(ends[0], STDIN_FILENO);
  close(ends[0]);
  std::string line;
  EXPECT_EQ(ReadInputLine(&line), LineRead::kLine);
  EXPECT_EQ(line, "yes");
  // A press before the wait ends it with nothing read; it stays pending.
  raise(SIGINT);
  EXPECT_EQ(ReadInputLine(&line), LineRead::kInterrupted);
  EXPECT_TRUE(TakeInterrupt());
  close(ends[1]);
  // The last line needs no '\n'; then the input has ended.
  EXPECT_EQ(ReadInputLine(&line), LineRead::kLine);
  EXPECT_EQ(line, "rest");
  EXPECT_EQ(ReadInputLine(&line), LineRead::kEnd);
  EXPECT_EQ(line, "");
  dup2(saved, STDIN_FILENO);
  close(saved);
}

TEST_F(EndingSignalsTest, AStreamReadReturnsWhatCameOrNothingOnAPress) {
  int ends[2];
  ASSERT_EQ(pipe(ends), 0);
  char buf[8];
  uint32_t got = 99;
  raise(SIGINT);
  EXPECT_TRUE(ReadUnlessInterrupted(ends[0], buf, sizeof buf, &got));
  EXPECT_EQ(got, 0u);
  EXPECT_TRUE(TakeInterrupt());
  ASSERT_EQ(write(ends[1], "ab", 2), 2);
  EXPECT_TRUE(ReadUnlessInterrupted(ends[0], buf, sizeof buf, &got));
  EXPECT_EQ(got, 2u);
  EXPECT_EQ(std::string(buf, 2), "ab");
  close(ends[0]);
  close(ends[1]);
  // A descriptor that is not open fails, errno saying why.
  EXPECT_FALSE(ReadUnlessInterrupted(ends[0], buf, sizeof buf, &got));
}

TEST(TerminalProgram, TheFolderOfTheRunningProgram) {
  std::string folder;
  ASSERT_TRUE(ProgramFolder(&folder));
  // This test program is built in tests/ of the build tree.
  EXPECT_EQ(folder.substr(folder.rfind('/')), "/tests");
  EXPECT_EQ(access((folder + "/pvx_unit_tests").c_str(), X_OK), 0);
}

TEST(TerminalSafe, ControlsAndBytesThatAreNotUtf8BecomeQuestionMarks) {
  EXPECT_EQ(TerminalSafe("plain name.c00"), "plain name.c00");
  EXPECT_EQ(TerminalSafe("a\nb\tc"), "a\nb\tc");
  EXPECT_EQ(TerminalSafe("\x1b[31mred\r\x7f"), "?[31mred??");
  EXPECT_EQ(TerminalSafe("caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x98\x80"),
            "caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x98\x80");
  // C1 controls (U+0080 .. U+009F) start escape sequences too.
  EXPECT_EQ(TerminalSafe("\xC2\x9B" "2J"), "??2J");
  // A lone lead byte, a cut sequence, an overlong form, a surrogate.
  EXPECT_EQ(TerminalSafe("\xC3("), "?(");
  EXPECT_EQ(TerminalSafe("x\xE6\x97"), "x??");
  EXPECT_EQ(TerminalSafe("\xC0\xAF"), "??");
  EXPECT_EQ(TerminalSafe("\xED\xA0\x80"), "???");
  EXPECT_EQ(TerminalSafe("\xF4\x90\x80\x80"), "????");  // past U+10FFFF
}

TEST(TerminalColumns, WideCharactersTakeTwoColumnsAndAreNotSplit) {
  EXPECT_EQ(Columns("abc"), 3u);
  EXPECT_EQ(Columns("\xE6\x97\xA5\xE6\x9C\xAC"), 4u);  // two wide ones
  std::string s = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E";
  EXPECT_EQ(FitColumns(&s, 5), 4u);
  EXPECT_EQ(s, "\xE6\x97\xA5\xE6\x9C\xAC");
  s = "abcdef";
  EXPECT_EQ(FitColumns(&s, 3), 3u);
  EXPECT_EQ(s, "abc");
  // A byte that does not decode takes one column.
  s = "a\xFF" "b";
  EXPECT_EQ(FitColumns(&s, 10), 3u);
  EXPECT_EQ(s, "a\xFF" "b");
}

// Sets the locale variables for one test, and puts them back.
class LocaleVariables {
 public:
  LocaleVariables(const char* all, const char* messages, const char* lang) {
    for (int i = 0; i < 3; ++i) {
      const char* now = getenv(kNames[i]);
      had_[i] = now != nullptr;
      if (now) saved_[i] = now;
    }
    Set(0, all);
    Set(1, messages);
    Set(2, lang);
  }
  ~LocaleVariables() {
    for (int i = 0; i < 3; ++i) Set(i, had_[i] ? saved_[i].c_str() : nullptr);
  }

 private:
  static void Set(int i, const char* value) {
    if (value) setenv(kNames[i], value, 1);
    else unsetenv(kNames[i]);
  }
  static constexpr const char* kNames[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
  bool had_[3];
  std::string saved_[3];
};

TEST(TerminalLanguage, TheFirstVariableSetDecides) {
  {
    LocaleVariables v(nullptr, nullptr, nullptr);
    EXPECT_EQ(LanguageFromEnvironment(), Lang::kEnglish);
  }
  {
    LocaleVariables v("", "ja_JP.UTF-8", "en_US.UTF-8");
    EXPECT_EQ(LanguageFromEnvironment(), Lang::kJapanese);
  }
  {
    LocaleVariables v("C", "ja_JP.UTF-8", nullptr);
    EXPECT_EQ(LanguageFromEnvironment(), Lang::kEnglish);
  }
  {
    LocaleVariables v(nullptr, nullptr, "ja");
    EXPECT_EQ(LanguageFromEnvironment(), Lang::kJapanese);
  }
}

}  // namespace
}  // namespace pvx
