#include "cli/cli_platform.h"

#include <errno.h>
#include <locale.h>
#include <poll.h>
#include <signal.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <unistd.h>
#include <wchar.h>

#include <algorithm>

#include "base/text.h"
#include "engines/messages.h"
#include "engines/own_texts.h"
#include "format/piece_format.h"
#include "platform/percent.h"

namespace pvx {
namespace {

volatile sig_atomic_t g_interrupted = 0;
volatile sig_atomic_t g_signal = 0;  // the first signal that cancelled

// The signals that end parvex the way Ctrl-C does: the work stops at the
// next chunk, what was written stays (and is named), and the program ends.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void OnInterrupt(int sig) {
  if (g_interrupted) {
    // The first one has not been noticed yet: the program is stuck
    // somewhere, so let this one end it.
    signal(sig, SIG_DFL);
    raise(sig);
    return;
  }
  if (!g_signal) g_signal = sig;
  g_interrupted = 1;
}

// The ending signals as a set.
sigset_t EndingSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : kEndingSignals) sigaddset(&set, sig);
  return set;
}

constexpr int kBarCells = 20;

// The characters of UTF-8 text, decoded as the C library decodes UTF-8
// whatever the user's locale: the progress line measures names in columns
// with wcwidth, which knows the wide East Asian characters.
locale_t Utf8Locale() {
  static locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  return utf8;
}

// Cuts s to at most cols columns, at a character boundary; returns the
// columns it takes. A byte that does not decode, or a character wcwidth
// does not know, takes one column.
size_t FitColumns(std::string* s, size_t cols) {
  locale_t utf8 = Utf8Locale();
  locale_t old = utf8 ? uselocale(utf8) : nullptr;
  size_t used = 0;
  size_t i = 0;
  mbstate_t state{};
  while (i < s->size()) {
    wchar_t c = 0;
    size_t len = mbrtowc(&c, s->data() + i, s->size() - i, &state);
    int w = 1;
    if (len == static_cast<size_t>(-1) || len == static_cast<size_t>(-2) ||
        len == 0) {
      len = 1;
      state = mbstate_t{};
    } else {
      w = wcwidth(c);
      if (w < 0) w = 1;
    }
    if (used + static_cast<size_t>(w) > cols) {
      s->resize(i);
      break;
    }
    used += static_cast<size_t>(w);
    i += len;
  }
  if (old) uselocale(old);
  return used;
}

size_t Columns(std::string s) { return FitColumns(&s, static_cast<size_t>(-1)); }

size_t TerminalColumns() {
  struct winsize ws;
  if (ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) {
    return ws.ws_col;
  }
  return 80;
}

}  // namespace

std::string Count(Lang lang, uint64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + TrN(lang, one, many, n);
}

std::string TerminalSafe(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  const size_t n = text.size();
  for (size_t i = 0; i < n;) {
    const unsigned char b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      out += (b < 0x20 && b != '\n' && b != '\t') || b == 0x7F
                 ? '?'
                 : static_cast<char>(b);
      ++i;
      continue;
    }
    // The length a lead byte announces, and the smallest code point that
    // needs it (shorter forms are invalid).
    const size_t len = b >= 0xC2 && b <= 0xDF   ? 2
                       : b >= 0xE0 && b <= 0xEF ? 3
                       : b >= 0xF0 && b <= 0xF4 ? 4
                                                : 0;
    uint32_t c = len == 2 ? b & 0x1F : len == 3 ? b & 0x0F : b & 0x07;
    size_t k = 1;
    for (; len && k < len && i + k < n; ++k) {
      const unsigned char t = static_cast<unsigned char>(text[i + k]);
      if ((t & 0xC0) != 0x80) break;
      c = (c << 6) | (t & 0x3F);
    }
    const bool valid = len && k == len &&
                       c >= (len == 2 ? 0x80u : len == 3 ? 0x800u : 0x10000u) &&
                       c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF) &&
                       !(c >= 0x80 && c <= 0x9F);  // C1 controls
    if (valid) {
      out.append(text, i, len);
      i += len;
    } else {
      out += '?';
      ++i;
    }
  }
  return out;
}

void PrintSafe(const char* format, ...) {
  va_list args;
  va_start(args, format);
  char* text = nullptr;
  int n = vasprintf(&text, format, args);
  va_end(args);
  if (n < 0) return;
  fputs(TerminalSafe(text).c_str(), stdout);
  free(text);
}

std::string Prefixed(const std::string& text) {
  static const std::string kPrefix = "parvex: ";
  std::string out;
  size_t start = 0;
  for (;;) {
    size_t end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos
                                              ? std::string::npos
                                              : end - start);
    if (line.compare(0, kPrefix.size(), kPrefix) != 0) out += kPrefix;
    out += line;
    if (end == std::string::npos) break;
    out += '\n';
    start = end + 1;
  }
  return out;
}

Lang LanguageFromEnvironment() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = getenv(name);
    if (value != nullptr && value[0] != '\0') {
      return strncmp(value, "ja", 2) == 0 ? Lang::kJapanese : Lang::kEnglish;
    }
  }
  return Lang::kEnglish;
}

CliPlatform::CliPlatform()
    : lang_(LanguageFromEnvironment()),
      stdin_is_terminal_(isatty(STDIN_FILENO) == 1),
      stderr_is_terminal_(isatty(STDERR_FILENO) == 1) {}

void CliPlatform::CatchInterrupt() {
  struct sigaction sa;
  memset(&sa, 0, sizeof sa);
  sa.sa_handler = OnInterrupt;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = 0;  // no SA_RESTART: a press interrupts a prompt's read
  for (int sig : kEndingSignals) sigaction(sig, &sa, nullptr);
  // A reader that went away (join -o - | head) makes the next write fail
  // with EPIPE, which names standard output, instead of ending parvex
  // before it can say what it leaves.
  signal(SIGPIPE, SIG_IGN);
}

int CliPlatform::EndingSignal() { return g_signal; }

bool CliPlatform::TakeInterrupt() {
  if (!g_interrupted) return false;
  g_interrupted = 0;
  cancelled_ = true;
  return true;
}

CliPlatform::Input CliPlatform::ReadLine(std::string* line) {
  line->clear();
  // Ctrl-C (and the other ending signals) is held back except inside
  // ppoll, so a press that comes just before the wait still ends it.
  sigset_t interrupt = EndingSignals(), outside;
  sigprocmask(SIG_BLOCK, &interrupt, &outside);
  Input result = Input::kEnd;
  for (;;) {
    if (g_interrupted) {
      result = Input::kInterrupted;
      break;
    }
    struct pollfd in = {STDIN_FILENO, POLLIN, 0};
    if (ppoll(&in, 1, nullptr, &outside) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    char c;
    ssize_t n = read(STDIN_FILENO, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      result = line->empty() ? Input::kEnd : Input::kLine;
      break;
    }
    if (c == '\n') {
      result = Input::kLine;
      break;
    }
    line->push_back(c);
  }
  sigprocmask(SIG_SETMASK, &outside, nullptr);
  return result;
}

void CliPlatform::SetOutput(const std::string& engine_path,
                            const std::string& target,
                            const std::string& closing_from,
                            const std::string& closing_to) {
  output_from_ = engine_path;
  output_to_ = target;
  closing_from_ = closing_from;
  closing_to_ = closing_to;
}

void CliPlatform::Notify(const char* text) {
  EndProgressLine();
  std::string shown = text;
  // A notice about the redirected output names the file it really is.
  if (!output_from_.empty() && !ToStandardOutput() &&
      shown.compare(0, output_from_.size(), output_from_) == 0) {
    shown = output_to_ + shown.substr(output_from_.size());
  }
  fprintf(stderr, "%s\n", Prefixed(TerminalSafe(shown)).c_str());
}

bool CliPlatform::ConfirmReplace(const char* path, const char* text) {
  bool ok;
  if (!Redirected(path)) {
    ok = PosixPlatform::ConfirmReplace(path, text);
  } else {
    // The engine's question names its own output; ask about the target.
    char question[kPathCap + 128];
    Format(question, sizeof question, Text(lang_, kMsgOverwrite),
           output_to_.c_str());
    ok = PosixPlatform::ConfirmReplace(output_to_.c_str(), question);
  }
  if (ok) agreed_.insert(path);
  return ok;
}

FileHandle CliPlatform::OpenWrite(const char* path, FileHandle like,
                                  bool replace, Failure* why) {
  if (!Redirected(path))
    return PosixPlatform::OpenWrite(path, like, replace, why);
  if (ToStandardOutput()) return OpenStandardOutput(why);
  return PosixPlatform::OpenWrite(output_to_.c_str(), like, replace, why);
}

bool CliPlatform::Exists(const char* path) {
  if (!Redirected(path)) return PosixPlatform::Exists(path);
  // Standard output is written as it stands: nothing there to replace.
  return !ToStandardOutput() && PosixPlatform::Exists(output_to_.c_str());
}

bool CliPlatform::IsFileAt(FileHandle f, const char* path) {
  if (!Redirected(path)) return PosixPlatform::IsFileAt(f, path);
  return !ToStandardOutput() &&
         PosixPlatform::IsFileAt(f, output_to_.c_str());
}

bool CliPlatform::MakeFolder(const char* path) {
  if (!PosixPlatform::MakeFolder(path)) return false;
  made_.push_back(path);
  return true;
}

void CliPlatform::RemoveMadeFolders() {
  for (auto it = made_.rbegin(); it != made_.rend(); ++it) rmdir(it->c_str());
  made_.clear();
}

bool CliPlatform::Confirm(const char* text) {
  EndProgressLine();
  fprintf(stderr, "%s [y/N] ", Prefixed(TerminalSafe(text)).c_str());
  if (TakeInterrupt()) {  // Ctrl-C at the disk prompt just before
    fputs("n\n", stderr);
    return false;
  }
  if (answers_ != Answers::kAsk) {
    fputs(answers_ == Answers::kYes ? "y\n" : "n\n", stderr);
    return answers_ == Answers::kYes;
  }
  if (input_is_data_) {
    fputs("n\n", stderr);
    if (!told_no_terminal_) {
      told_no_terminal_ = true;
      fputs(Tr(lang_,
               "parvex: standard input carries the data: every question is "
               "answered Cancel (use -y or -n to choose).\n"),
            stderr);
    }
    return false;
  }
  if (!stdin_is_terminal_) {
    fputs("n\n", stderr);
    if (!told_no_terminal_) {
      told_no_terminal_ = true;
      fputs(Tr(lang_,
               "parvex: standard input is not a terminal: every question is "
               "answered Cancel (use -y or -n to choose).\n"),
            stderr);
    }
    return false;
  }
  std::string line;
  switch (ReadLine(&line)) {
    case Input::kInterrupted:
      TakeInterrupt();
      fputs("\n", stderr);
      return false;
    case Input::kEnd:
      fputs("\n", stderr);
      return false;
    case Input::kLine:
      break;
  }
  size_t a = line.find_first_not_of(" \t\r");
  size_t b = line.find_last_not_of(" \t\r");
  std::string word = a == std::string::npos ? "" : line.substr(a, b - a + 1);
  return word == "y" || word == "Y" || strcasecmp(word.c_str(), "yes") == 0;
}

bool CliPlatform::AwaitDisk(const char* text) {
  if (skip_disk_) {
    skip_disk_ = false;
    return true;
  }
  EndProgressLine();
  fprintf(stderr, "%s [Enter] ", Prefixed(TerminalSafe(text)).c_str());
  std::string line;
  // Ctrl-C here cancels before the next piece is touched.
  Input got = ReadLine(&line);
  if (got != Input::kLine || !stdin_is_terminal_) fputs("\n", stderr);
  return !(got == Input::kInterrupted && TakeInterrupt());
}

bool CliPlatform::ReadStream(FileHandle f, void* buf, uint32_t n,
                             uint32_t* got, Failure* why) {
  // As ReadLine: the ending signals reach this thread only inside ppoll.
  sigset_t interrupt = EndingSignals(), outside;
  sigprocmask(SIG_BLOCK, &interrupt, &outside);
  bool ok = true;
  *got = 0;
  for (;;) {
    if (g_interrupted) break;  // ProgressCheckCancel takes it
    struct pollfd in = {DescriptorOf(f), POLLIN, 0};
    if (ppoll(&in, 1, nullptr, &outside) < 0 && errno != EINTR) {
      Format(why->text, sizeof why->text, "%s: %s", PathOf(f), strerror(errno));
      ok = false;
      break;
    }
    if (in.revents == 0) continue;
    ssize_t r = read(in.fd, buf, n);
    if (r < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (r < 0) {
      Format(why->text, sizeof why->text, "%s: %s", PathOf(f), strerror(errno));
      ok = false;
    } else {
      *got = static_cast<uint32_t>(r);
    }
    break;
  }
  sigprocmask(SIG_SETMASK, &outside, nullptr);
  return ok;
}

bool CliPlatform::Commit(FileHandle f, bool replace, bool* taken,
                         Failure* why) {
  if (!PosixPlatform::Commit(f, replace, taken, why)) return false;
  committed_.push_back(PathOf(f));
  return true;
}

bool CliPlatform::ProgressCreate() {
  ProgressDestroy();
  shown_ = true;
  return true;
}

void CliPlatform::ProgressCaption(const char* text) {
  caption_ = text;
  Draw();
}

void CliPlatform::ProgressLabel(const char* text) {
  label_ = text;
  Draw();
}

void CliPlatform::ProgressPos(int pos) {
  pos_ = pos;
  Draw();
}

bool CliPlatform::ProgressCheckCancel() {
  if (finished_) {
    // The closing wait: the report is printed and counts as acknowledged.
    EndProgressLine();
    if (!closing_.empty() && !quiet_) {
      if (!closing_from_.empty() && closing_ == closing_from_)
        closing_ = closing_to_;
      if (ToStandardOutput()) {
        // Standard output carries the data alone.
        fprintf(stderr, "%s\n", Prefixed(TerminalSafe(closing_)).c_str());
      } else {
        fprintf(stdout, "%s\n", TerminalSafe(closing_).c_str());
        fflush(stdout);
      }
    }
    closing_.clear();
    return true;
  }
  return TakeInterrupt();
}

void CliPlatform::ProgressFinish(const char* text, bool) {
  finished_ = true;
  closing_ = text;
}

void CliPlatform::ProgressDestroy() {
  EndProgressLine();
  shown_ = false;
  finished_ = false;
  caption_.clear();
  label_.clear();
  closing_.clear();
  pos_ = 0;
}

void CliPlatform::EndProgressLine() {
  if (!line_open_) return;
  fputs("\n", stderr);
  line_open_ = false;
  drawn_.clear();
}

void CliPlatform::Draw() {
  if (!shown_ || !stderr_is_terminal_ || quiet_) return;
  char percent[16];
  PercentText(pos_, percent, sizeof percent);
  int clamped = pos_ < kRangeLow ? kRangeLow : pos_ > kRangeHigh ? kRangeHigh : pos_;
  int cells = static_cast<int>(static_cast<int64_t>(clamped) * kBarCells / kRangeHigh);
  std::string tail = " [" + std::string(cells, '#') +
                     std::string(kBarCells - cells, '.') + "] " +
                     std::string(4 - std::min<size_t>(4, strlen(percent)), ' ') +
                     percent;

  // Caption and label take what room the bar leaves; the caption goes first.
  size_t room = TerminalColumns() - 1;
  size_t left = room > tail.size() ? room - tail.size() : 0;
  std::string head = caption_.empty() || label_.empty()
                         ? caption_ + label_
                         : caption_ + "  " + label_;
  if (Columns(head) > left) head = label_;
  FitColumns(&head, left);

  std::string line = TerminalSafe(head) + tail;
  for (char& c : line)
    if (c == '\n' || c == '\t') c = ' ';
  if (line_open_ && line == drawn_) return;
  fprintf(stderr, "\r%s\033[K", line.c_str());
  fflush(stderr);
  drawn_ = line;
  line_open_ = true;
}

}  // namespace pvx
