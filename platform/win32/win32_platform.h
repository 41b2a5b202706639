// The platform of the Windows programs: files through CreateFileW and
// friends, names converted between UTF-8 (inside) and UTF-16 (the W
// functions), header names in code page 932, questions in message boxes
// titled with the program's name, and the progress window CProgressDlg.
#pragma once

#include <new>
#include <windows.h>

#include "platform/platform.h"
#include "platform/win32/progress_dlg.h"

namespace pvx {

// An open file: its handle and the path it was opened with, for messages.
struct Win32File {
  HANDLE handle;  // null: the slot is free
  char path[kPathCap];
};

class Win32Platform final : public Platform {
  friend class Platform;

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
  // The running program's full path, as the system reports it (empty when
  // it is longer than kPathCap).
  const wchar_t* ModulePath() const { return module_path_; }
  // A message box with text, MB_OK or MB_OKCANCEL, owned by the progress
  // window while it exists, else by the main window; returns the answer.
  int ShowMessage(const char* text, UINT type);

  // "<path>: <the system's text for error>" into *why.
  static void SetFailure(Failure* why, const char* path, DWORD error);
  // The path a handle was opened with.
  static const char* PathOf(FileHandle f);

  // The operations of Platform are defined over this class (see
  // platform/win32/direct/platform/binding.h). Notes on how they behave here:
  // - OpenWrite creates or opens path in place (like and replace change
  //   nothing: the file bears its name at once), Reserve and Commit have
  //   nothing to do.
  // - Copy goes through buf: Read, then Write.
  // - IsFileAt compares volume serial and file index, through a handle that
  //   asks for no access, so that no sharing mode of an open file stands in
  //   its way.
  // - AcceptsName refuses device names and names that Windows trims.
  // - OpenStandardInput and ReadStream are not defined: these programs cut
  //   no stream.

 private:
  FileHandle Open(const char* path, DWORD access, DWORD share,
                  DWORD disposition, Failure* why);
  // The platform the engines hold: the only one these programs have.
  static Win32Platform& Self(Platform* p) {
    return *static_cast<Win32Platform*>(p);
  }

  HWND main_ = nullptr;
  UINT caption_id_;
  const uint8_t* stub_ = nullptr;
  uint32_t stub_length_ = 0;
  CProgressDlg* progress_ = nullptr;
  alignas(CProgressDlg) unsigned char progress_room_[sizeof(CProgressDlg)];
  wchar_t module_path_[kPathCap];
  wchar_t title_[MAX_PATH];
  // The open files and the chunk buffer, inside the object (which the
  // programs keep on their committed stack) so that no program needs a heap
  // or zero-filled data: the engines hold at most three files at once.
  Win32File files_[8] = {};
  uint8_t chunk_[kChunk];
};

}  // namespace pvx
