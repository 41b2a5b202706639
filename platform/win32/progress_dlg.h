// The modeless progress window of the Windows programs (template
// IDD_PROGRESS): a caption, a label, a bar of 0..65535, a percent line and
// one button that reads "Cancel" and later "OK". While it exists it keeps
// its owner (the main dialog) disabled, and each SetPos and CheckCancel
// first dispatches every pending message of the thread, which is what keeps
// the programs alive while an operation runs inside a button handler.
#pragma once

#include <windows.h>

#include "platform/win32/dialog.h"
#include "platform/percent.h"
#include "platform/win32/progress_ids.h"

namespace pvx {

class CProgressDlg : public CDialog {
 public:
  // caption_id names the string that becomes the caption; 0 takes
  // default_caption_id, the program's own (42000 in the tool, 104 in the
  // stub).
  CProgressDlg(UINT caption_id, UINT default_caption_id);
  ~CProgressDlg();

  // Disables owner when it exists and is enabled, then creates the window.
  // On failure enables the owner again and returns FALSE.
  BOOL Create(HWND owner);
  // Enables the owner (when this window disabled it) before the window goes.
  BOOL DestroyWindow() override;

  // Drains the queue, moves the bar, shows the percent. Returns the bar's
  // previous position.
  int SetPos(int pos);
  // Drains the queue; returns whether Cancel (or Esc) was used since the
  // last call, and forgets it.
  BOOL CheckCancel();
  // The label line above the bar.
  void SetLabel(const char* text);
  // Dispatches every pending message of the thread without waiting.
  void DrainMessages();
  // Writes the percent text for pos, only when it differs from the shown one.
  void ShowPercent(int pos);

 protected:
  bool DoDataExchange(bool save) override;
  BOOL OnInitDialog() override;
  void OnOK() override;      // nothing: the window stays
  void OnCancel() override;  // only sets the flag

 private:
  void ReEnableOwner();

  HWND m_progress = nullptr;
  UINT m_nCaptionId;
  // The bar's range and step never change.
  static constexpr int m_nRangeLow = kRangeLow;
  static constexpr int m_nRangeHigh = kRangeHigh;
  static constexpr int m_nStep = 10;
  BOOL m_bCancelled = FALSE;
  BOOL m_bOwnerDisabled = FALSE;
  HWND m_pParentWnd = nullptr;
};

}  // namespace pvx
