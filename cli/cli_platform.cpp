#include "cli/cli_platform.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>

#include "base/text.h"
#include "engines/messages.h"
#include "engines/own_texts.h"
#include "format/piece_format.h"
#include "platform/percent.h"

namespace pvx {
namespace {

constexpr int kBarCells = 20;

}  // namespace

std::string Count(Lang lang, uint64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + TrN(lang, one, many, n);
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

CliPlatform::CliPlatform()
    : lang_(LanguageFromEnvironment()),
      stdin_is_terminal_(isatty(STDIN_FILENO) == 1),
      stderr_is_terminal_(isatty(STDERR_FILENO) == 1) {}

bool CliPlatform::TakeInterrupt() {
  if (!pvx::TakeInterrupt()) return false;
  cancelled_ = true;
  return true;
}

void CliPlatform::SetOutput(const std::string& engine_path,
                            const std::string& target,
                            const std::string& closing_from,
                            const std::string& closing_to) {
  Redirect(engine_path, target);
  closing_from_ = closing_from;
  closing_to_ = closing_to;
}

void CliPlatform::Notify(const char* text) {
  EndProgressLine();
  std::string shown = text;
  // A notice about the redirected output names the file it really is.
  const std::string& from = RedirectSource();
  if (!from.empty() && !RedirectedToStandardOutput() &&
      shown.compare(0, from.size(), from) == 0) {
    shown = RedirectTarget() + shown.substr(from.size());
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
           RedirectTarget().c_str());
    ok = PosixPlatform::ConfirmReplace(RedirectTarget().c_str(), question);
  }
  if (ok) agreed_.insert(path);
  return ok;
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
  switch (ReadInputLine(&line)) {
    case LineRead::kInterrupted:
      TakeInterrupt();
      fputs("\n", stderr);
      return false;
    case LineRead::kEnd:
      fputs("\n", stderr);
      return false;
    case LineRead::kLine:
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
  LineRead got = ReadInputLine(&line);
  if (got != LineRead::kLine || !stdin_is_terminal_) fputs("\n", stderr);
  return !(got == LineRead::kInterrupted && TakeInterrupt());
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
      if (RedirectedToStandardOutput()) {
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
