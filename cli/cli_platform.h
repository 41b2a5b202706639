// The terminal as the engines' user: notices and questions on standard
// error, answers from standard input (or from -y / -n), a one-line progress
// display, and Ctrl-C as the progress window's Cancel button.
#pragma once

#include <stdint.h>

#include <set>
#include <string>

#include "platform/posix/interrupt.h"
#include "platform/posix/posix_platform.h"
#include "platform/posix/terminal.h"

namespace pvx {

// How questions (overwrite, rename) are answered.
enum class Answers { kAsk, kYes, kNo };

// "1 piece", "2 pieces": the count with the English singular or plural, or
// with the Japanese text, which has one form.
std::string Count(Lang lang, uint64_t n, const char* one, const char* many);

// printf to standard output, through TerminalSafe: how parvex prints
// what it reports (names from the disk and from headers among it).
void PrintSafe(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Every line of text with "parvex: " in front, unless it has it already.
std::string Prefixed(const std::string& text);

class CliPlatform final : public PosixPlatform {
 public:
  CliPlatform();

  void SetAnswers(Answers answers) { answers_ = answers; }
  // The next request for a disk is answered at once: the user was asked
  // for it already.
  void SkipNextDisk() { skip_disk_ = true; }
  // Standard input carries data (cut -): questions never read it.
  void SetInputIsData() { input_is_data_ = true; }
  // No progress line and no closing message.
  void SetQuiet(bool quiet) { quiet_ = quiet; }

  // join -o: the output the engine would write at engine_path goes to
  // target instead ("-": standard output, where nothing is asked and the
  // closing message goes to standard error).
  void SetOutput(const std::string& engine_path, const std::string& target,
                 const std::string& closing_from,
                 const std::string& closing_to);

  // True once the user has cancelled: Cancel during the copy, or Ctrl-C at a
  // question or at the disk prompt.
  bool Cancelled() const { return cancelled_; }

  // True when the user agreed to replace what stands at path.
  bool Agreed(const char* path) const { return agreed_.count(path) != 0; }

  Lang Language() override { return lang_; }
  // Each line of a notice starts with "parvex: ".
  void Notify(const char* text) override;
  bool Confirm(const char* text) override;
  bool ConfirmReplace(const char* path, const char* text) override;

  bool AwaitDisk(const char* text) override;
  bool ProgressCreate() override;
  void ProgressCaption(const char* text) override;
  void ProgressLabel(const char* text) override;
  void ProgressPos(int pos) override;
  bool ProgressCheckCancel() override;
  void ProgressFinish(const char* text, bool button_first) override;
  void ProgressDestroy() override;

 private:
  // Takes a pending Ctrl-C, if there is one: the user has cancelled.
  bool TakeInterrupt();
  // Ends the progress line so that other output starts on a line of its own.
  void EndProgressLine();
  void Draw();

  Lang lang_;
  Answers answers_ = Answers::kAsk;
  bool stdin_is_terminal_;
  bool stderr_is_terminal_;
  bool told_no_terminal_ = false;
  bool cancelled_ = false;
  bool quiet_ = false;
  bool input_is_data_ = false;
  bool skip_disk_ = false;
  std::set<std::string> agreed_;  // paths the user agreed to replace
  std::string closing_from_;  // join -o: the closing message naming the
  std::string closing_to_;    // engine's output, and naming the target

  // The progress window.
  bool shown_ = false;        // between ProgressCreate and ProgressDestroy
  bool finished_ = false;     // the button reads "OK": the closing wait
  std::string caption_;
  std::string label_;
  std::string closing_;       // the percent item's text: the closing message
  int pos_ = 0;
  std::string drawn_;         // the line as last drawn
  bool line_open_ = false;    // the cursor stands at the end of that line
};

}  // namespace pvx
