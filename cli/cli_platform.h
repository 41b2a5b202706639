// The terminal as the engines' user: notices and questions on standard
// error, answers from standard input (or from -y / -n), a one-line progress
// display, and Ctrl-C as the progress window's Cancel button.
#pragma once

#include <stdint.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/posix/posix_platform.h"

namespace pvx {

// How questions (overwrite, rename) are answered.
enum class Answers { kAsk, kYes, kNo };

// Japanese when the first non-empty of LC_ALL, LC_MESSAGES and LANG starts
// with "ja"; English otherwise.
Lang LanguageFromEnvironment();


// "1 piece", "2 pieces": the count with the English singular or plural, or
// with the Japanese text, which has one form.
std::string Count(Lang lang, uint64_t n, const char* one, const char* many);

// text as a terminal may show it: every byte that is not part of valid
// UTF-8, every control character but the line feed and the tab (C0, DEL
// and C1: what starts an escape sequence or moves the cursor) becomes '?'.
std::string TerminalSafe(const std::string& text);

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

  // Makes Ctrl-C a press of Cancel. A second press before the first has been
  // noticed ends the program the usual way.
  // SIGTERM and SIGHUP do the same; SIGPIPE is ignored (the write fails).
  static void CatchInterrupt();
  // The signal that cancelled the work (SIGINT, SIGTERM, SIGHUP), or 0.
  static int EndingSignal();

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

  // What join -o redirects: the engine's output path stands for the target.
  FileHandle OpenWrite(const char* path, FileHandle like, bool replace,
                       Failure* why) override;
  // Remembers the folders it makes, for RemoveMadeFolders.
  bool MakeFolder(const char* path) override;
  // Removes the folders made so far that are still empty, the deepest
  // first.
  void RemoveMadeFolders();
  // Remembers the names of the files put in place (see TakeCommitted).
  bool Commit(FileHandle f, bool replace, bool* taken, Failure* why) override;
  // The files put in place since the last call, in order.
  std::vector<std::string> TakeCommitted() { return std::move(committed_); }
  bool Exists(const char* path) override;
  bool IsFileAt(FileHandle f, const char* path) override;
  bool AwaitDisk(const char* text) override;
  // Waits for standard input and Ctrl-C alike: a press ends the wait.
  bool ReadStream(FileHandle f, void* buf, uint32_t n, uint32_t* got,
                  Failure* why) override;

  bool ProgressCreate() override;
  void ProgressCaption(const char* text) override;
  void ProgressLabel(const char* text) override;
  void ProgressPos(int pos) override;
  bool ProgressCheckCancel() override;
  void ProgressFinish(const char* text, bool button_first) override;
  void ProgressDestroy() override;

 private:
  enum class Input { kLine, kEnd, kInterrupted };
  // Reads one line from standard input, byte by byte so that nothing past
  // the line is consumed.
  Input ReadLine(std::string* line);
  // Takes a pending Ctrl-C, if there is one.
  bool TakeInterrupt();
  // Ends the progress line so that other output starts on a line of its own.
  void EndProgressLine();
  void Draw();
  // True when path is the engine's output that join -o redirects.
  bool Redirected(const char* path) const {
    return !output_from_.empty() && output_from_ == path;
  }
  bool ToStandardOutput() const { return output_to_ == "-"; }

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
  std::vector<std::string> made_;  // folders made, in order
  std::vector<std::string> committed_;  // files put in place, in order
  std::string output_from_;   // join -o: the engine's output path
  std::string output_to_;     // and where it goes instead
  std::string closing_from_;  // the closing message naming the former
  std::string closing_to_;    // and naming the latter

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
