// The platform of the Windows programs: files through CreateFileW and
// friends, names converted between UTF-8 (inside) and UTF-16 (the W
// functions), header names in code page 932, questions in message boxes
// titled with the program's name, and the progress window CProgressDlg.
#pragma once

#include <new>
#include <windows.h>

#include "format/piece_format.h"
#include "platform/platform.h"
#include "progress/progress_dlg.h"

namespace pvx {

class Win32Platform : public Platform {
 public:
  // progress_caption_id: the progress window's default caption (a string
  // resource of this program).
  explicit Win32Platform(UINT progress_caption_id);
  ~Win32Platform();

  // The main dialog: owner of the message boxes and of the progress window,
  // which disables it while it exists. May be null.
  void SetMainWindow(HWND main) { main_ = main; }
  // The stub program that this program carries, for StubImage.
  void SetStubImage(const uint8_t* image, uint32_t length) {
    stub_ = image;
    stub_length_ = length;
  }
  // The progress window while it exists, otherwise null.
  CProgressDlg* Progress() { return progress_; }
  // The program's name (its file name without extension): the title of
  // every message box.
  const wchar_t* Title() const { return title_; }
  // A message box with text, MB_OK or MB_OKCANCEL, owned by the progress
  // window while it exists, else by the main window; returns the answer.
  int ShowMessage(const char* text, UINT type);

  // "<path>: <the system's text for error>" into *why.
  static void SetFailure(Failure* why, const char* path, DWORD error);
  // The path a handle was opened with.
  static const char* PathOf(FileHandle f);

  FileHandle OpenRead(const char* path, Failure* why) override;
  FileHandle OpenSource(const char* path, Failure* why) override;
  // Creates or opens path in place (like and replace change nothing here:
  // the file bears its name at once, and Commit has nothing left to do).
  FileHandle OpenWrite(const char* path, FileHandle like, bool replace,
                       Failure* why) override;
  bool Truncate(FileHandle f, Failure* why) override;
  bool Reserve(FileHandle, uint64_t, Failure*) override { return true; }
  bool Commit(FileHandle, Failure*) override { return true; }
  bool Length(FileHandle f, uint64_t* length, Failure* why) override;
  bool Seek(FileHandle f, uint64_t offset, Failure* why) override;
  bool Read(FileHandle f, void* buf, uint32_t n, uint32_t* got,
            Failure* why) override;
  bool Write(FileHandle f, const void* buf, uint32_t n, Failure* why) override;
  // Through buf: Read, then Write.
  bool Copy(FileHandle src, FileHandle dst, void* buf, uint32_t n,
            uint32_t* got, Failure* why) override;
  bool SameFile(FileHandle a, FileHandle b) override;
  // Compares volume serial and file index, through a handle that asks for
  // no access, so that no sharing mode of an open file stands in its way.
  bool IsFileAt(FileHandle f, const char* path) override;
  uint32_t ChunkSize() override { return kChunk; }
  uint8_t* ChunkBuffer() override;
  void Close(FileHandle f) override;

  bool Exists(const char* path) override;
  bool IsFolder(const char* path) override;
  bool MakeFolder(const char* path) override;
  // Refuses device names and names that Windows trims.
  bool AcceptsName(const char* name) override {
    return !IsWindowsDeviceOrTrimmedName(name);
  }
  bool ToHeaderName(const char* name, char* out, size_t cap) override;
  bool FromHeaderName(const char* raw, char* out, size_t cap) override;
  bool StubImage(const uint8_t** image, uint32_t* length) override;

  Lang Language() override { return Lang::kJapanese; }
  void Notify(const char* text) override;
  bool Confirm(const char* text) override;
  bool ConfirmReplace(const char*, const char* text) override {
    return Confirm(text);
  }
  bool AwaitDisk(const char* text) override;

  bool ProgressCreate() override;
  void ProgressCaption(const char* text) override;
  void ProgressLabel(const char* text) override;
  void ProgressPos(int pos) override;
  bool ProgressCheckCancel() override;
  void ProgressItemText(int item, const char* text) override;
  void ProgressDestroy() override;

 private:
  FileHandle Open(const char* path, DWORD access, DWORD share,
                  DWORD disposition, Failure* why);

  HWND main_ = nullptr;
  UINT caption_id_;
  const uint8_t* stub_ = nullptr;
  uint32_t stub_length_ = 0;
  CProgressDlg* progress_ = nullptr;
  alignas(CProgressDlg) unsigned char progress_room_[sizeof(CProgressDlg)];
  wchar_t title_[MAX_PATH];
};

}  // namespace pvx
