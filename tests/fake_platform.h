// A scripted platform for engine tests: real files in a temporary folder,
// with the user's answers, Cancel presses and failures given by the test,
// and every question, notice and progress call written to a log.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/names.h"
#include "platform/posix/posix_platform.h"

namespace pvx {

class FakePlatform : public PosixPlatform {
 public:
  // The Windows programs' chunk unless a test sets another.
  FakePlatform() { SetChunkSize(32768); }

  // What the user does.
  std::deque<bool> answers;      // Confirm answers in order; empty: OK
  int cancel_at_check = 0;       // press Cancel before this CheckCancel (1-based)
  bool progress_fails = false;   // the progress window cannot be created
  int cancel_at_disk = 0;        // Ctrl-C at this disk prompt (1-based)
  Lang lang = Lang::kJapanese;
  bool windows_names = false;    // names as the Win32 platform accepts them

  // What the disk does.
  int fail_write_at = 0;         // this Write (1-based) fails
  std::map<std::string, uint64_t> fake_length;  // Length() lies for a path
  bool pretend_copy = false;     // Copy says it moved n bytes, moves none
  bool no_reserve = false;       // the file system reserves no room
  bool has_stub = false;
  std::vector<uint8_t> stub;

  // What happened.
  std::vector<std::string> log;  // "notify:", "confirm:", "disk:", ...
  std::vector<int> positions;    // every ProgressPos
  int writes = 0;
  int checks = 0;
  int disks = 0;
  std::vector<std::string> replace_paths;  // every ConfirmReplace path
  bool progress_open = false;

  std::vector<std::string> Notices() const { return Filter("notify:"); }
  std::vector<std::string> Questions() const { return Filter("confirm:"); }
  std::vector<std::string> Filter(const std::string& kind) const {
    std::vector<std::string> out;
    for (const auto& line : log)
      if (line.compare(0, kind.size(), kind) == 0)
        out.push_back(line.substr(kind.size()));
    return out;
  }

  bool Length(FileHandle f, uint64_t* length, Failure* why) override {
    auto it = fake_length.find(PathOf(f));
    if (it != fake_length.end()) {
      *length = it->second;
      return true;
    }
    return PosixPlatform::Length(f, length, why);
  }
  bool Write(FileHandle f, const void* buf, uint32_t n, Failure* why) override {
    if (++writes == fail_write_at) {
      snprintf(why->text, sizeof why->text, "%s: No space left on device",
               PathOf(f));
      return false;
    }
    return PosixPlatform::Write(f, buf, n, why);
  }
  bool Reserve(FileHandle f, uint64_t length, Failure* why) override {
    return no_reserve || PosixPlatform::Reserve(f, length, why);
  }
  // Chunks go through Read and Write so that write failures can be placed.
  bool Copy(FileHandle src, FileHandle dst, void* buf, uint32_t n,
            uint32_t* got, Failure* why) override {
    if (pretend_copy) return *got = n, true;
    return CopyByReadWrite(*this, src, dst, buf, n, got, why);
  }
  bool StubImage(const uint8_t** image, uint32_t* length) override {
    if (!has_stub) return false;
    *image = stub.data();
    *length = static_cast<uint32_t>(stub.size());
    return true;
  }

  bool AcceptsName(const char* name) override {
    return !windows_names || !IsWindowsDeviceOrTrimmedName(name);
  }

  Lang Language() override { return lang; }
  void Notify(const char* text) override { log.push_back(std::string("notify:") + text); }
  bool Confirm(const char* text) override {
    log.push_back(std::string("confirm:") + text);
    if (answers.empty()) return true;
    bool a = answers.front();
    answers.pop_front();
    return a;
  }
  bool ConfirmReplace(const char* path, const char* text) override {
    replace_paths.push_back(path);
    return PosixPlatform::ConfirmReplace(path, text);
  }
  bool AwaitDisk(const char* text) override {
    log.push_back(std::string("disk:") + text);
    return ++disks != cancel_at_disk;
  }

  bool ProgressCreate() override {
    log.push_back("create");
    finished_ = false;
    if (progress_fails) return false;
    progress_open = true;
    return true;
  }
  void ProgressCaption(const char* text) override { log.push_back(std::string("caption:") + text); }
  void ProgressLabel(const char* text) override { log.push_back(std::string("label:") + text); }
  void ProgressPos(int pos) override { positions.push_back(pos); }
  bool ProgressCheckCancel() override {
    ++checks;
    if (finished_) return true;  // the user presses OK at once
    return checks == cancel_at_check;
  }
  // The two changes in the order the engine asks for.
  void ProgressFinish(const char* text, bool button_first) override {
    if (button_first) log.push_back("button:OK");
    log.push_back(std::string("percent:") + text);
    if (!button_first) log.push_back("button:OK");
    finished_ = true;
  }
  void ProgressDestroy() override {
    log.push_back("destroy");
    progress_open = false;
  }

 private:
  bool finished_ = false;
};

}  // namespace pvx
