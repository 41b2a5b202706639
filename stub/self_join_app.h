// The self-joining stub _sSPVX.exe: the application object and its dialog.
// The program heads piece 0 of a self-joining set; started, it asks for a
// destination folder and rebuilds the source file from the data behind its
// own image and the pieces next to it.
#pragma once

#include <stdint.h>
#include <windows.h>

#include "format/piece_format.h"
#include "platform/win32/dialog.h"
#include "platform/win32/win32_platform.h"

namespace pvx {

class CSelfJoinApp {
 public:
  CSelfJoinApp();

  // Start-up: records the program's own path and image length, runs the
  // dialog. Returns FALSE: the program ends when the dialog has.
  BOOL InitInstance();
  // Rebuilds the source into destination (the dialog's text as typed).
  // Nonzero when done and acknowledged; every failure has been shown.
  BOOL SelfJoin(const char* destination);

  Win32Platform& Platform() { return m_platform; }

  char m_strSelfPath[kPathCap];  // the running program's full path
  uint32_t m_nStubImageSize;     // where the header starts in its own file

 private:
  Win32Platform m_platform;
};

class CSelfJoinDlg : public CDialog {
 public:
  explicit CSelfJoinDlg(CSelfJoinApp& app);

  char m_strDestination[kPathCap];

 protected:
  bool DoDataExchange(bool save) override;
  BOOL OnInitDialog() override;
  void OnOK() override;
  bool OnCommand(int id, int code, HWND control) override;

 private:
  void OnBrowseDestination();

  CSelfJoinApp& m_app;
};

// The length of the program image loaded at module: its SizeOfImage, which
// for the stub equals its file's length (checked after every build).
uint32_t LoadedImageSize(HMODULE module);

}  // namespace pvx
