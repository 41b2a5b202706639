// The tool Parvex.exe: the application object. It reads the saved
// settings and the file named on the command line, runs the main dialog,
// and saves the settings when the dialog has closed; it also carries the
// cut and join operations that the dialog calls.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <windows.h>

#include "platform/win32/win32_platform.h"

namespace pvx {

class CParvexDlg;

class CParvexApp {
 public:
  CParvexApp();

  // Start-up, the dialog, and saving the settings. Returns FALSE: the
  // program ends when the dialog has.
  BOOL InitInstance();

  // The engines, for the dialog. Both return TRUE when the work is done and
  // the user has acknowledged it, FALSE when it was refused, failed or was
  // cancelled (the engine has told the user) and also after a read or write
  // failure, which is reported here. *io_failed tells the last case apart.
  BOOL CutFile(uint32_t piece_size, const char* source,
               const char* destination, BOOL self_join, BOOL pause,
               bool* io_failed);
  BOOL JoinFile(const char* path, const char* destination, BOOL pause,
                bool* io_failed);

  // Settings under HKEY_CURRENT_USER\Software\Orvane products\<program
  // name>\<section>. A value that is missing or of another type reads as
  // the default; a string that does not fit reads as empty.
  UINT GetProfileInt(const char* section, const char* entry, UINT fallback);
  bool WriteProfileInt(const char* section, const char* entry, UINT value);
  bool GetProfileString(const char* section, const char* entry, char* out,
                        size_t cap);
  bool WriteProfileString(const char* section, const char* entry,
                          const char* value);

  // The file named on the command line, in the form the file system
  // reports for its last component, into out; empty when there is none.
  // argv is the whole command line split into words (argv[0] the program).
  static void FileFromCommandLine(int argc, wchar_t** argv, char* out,
                                  size_t cap);

  Win32Platform& Platform() { return m_platform; }

 private:
  // The key path below HKEY_CURRENT_USER for section; false when too long.
  bool SectionKey(const char* section, wchar_t* out, size_t cap) const;

  Win32Platform m_platform;
};

}  // namespace pvx
