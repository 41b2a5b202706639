// The tool's main dialog: a file name, a destination folder with its
// history, a piece size, the "SPvX..." and "Pause" options, and the "Cut"
// and "Concatinate" buttons that run the engines.
#pragma once

#include <windows.h>

#include "format/piece_format.h"
#include "platform/win32/dialog.h"
#include "tool/dest_history.h"

namespace pvx {

class CParvexApp;

// The piece size of size choice index: "1.44M" (0) or "1.25M" (1). Any
// other index, which a stored choice outside the list leaves behind, takes
// the first choice.
uint32_t PieceSizeOf(int index);

class CParvexDlg : public CDialog {
 public:
  explicit CParvexDlg(CParvexApp& app);

  // Fields, one per control; start-up fills them before the dialog runs
  // and saves them after it.
  int m_nDestIndex = 0;              // destination to select at start; -1 the last
  char m_strFileName[kPathCap];      // 1001
  int m_nSizeIndex = 0;              // 1024; -1 when nothing is selected
  int m_bSelfJoin = 0;               // 1027
  char m_strDestination[kPathCap];   // 1028
  int m_bPause = 0;                  // 1029
  HICON m_hIcon;

 protected:
  bool DoDataExchange(bool save) override;
  BOOL OnInitDialog() override;
  void OnCancel() override;
  bool OnCommand(int id, int code, HWND control) override;
  bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam,
                 INT_PTR* result) override;

 private:
  void OnUpdateFileName();
  void OnBrowseFile();
  void OnBrowseFolder();
  void OnDropFiles(HDROP drop);
  void OnCut();
  void OnConcatinate();
  bool OnPaint();

  // The first steps of both operations: reads the controls, trims the
  // fields and settles the destination. False (the user told) when a
  // control's text is too long to take.
  bool PrepareDestination(bool cut);
  // Tells the user that the text of field (its label) is too long.
  void TellTooLong(const char* field);

  // The history in the destination list (after the fixed entry), and the
  // list written to the settings.
  void LoadDestinations();
  void RememberDestination(const char* text);
  void SaveDestinations();

  CParvexApp& m_app;
  DestHistory m_history;
};

}  // namespace pvx
