#include "platform/win32/progress_dlg.h"

#include <commctrl.h>

#include "base/text.h"
#include "platform/percent.h"

namespace pvx {

CProgressDlg::CProgressDlg(UINT caption_id, UINT default_caption_id)
    : CDialog(IDD_PROGRESS),
      m_nCaptionId(caption_id ? caption_id : default_caption_id) {}

CProgressDlg::~CProgressDlg() {
  if (m_hWnd) DestroyWindow();
}

BOOL CProgressDlg::Create(HWND owner) {
  m_pParentWnd = owner;
  // EnableWindow answers whether the owner was disabled already: only an
  // owner that this window disabled is enabled again.
  if (owner) m_bOwnerDisabled = !EnableWindow(owner, FALSE);
  if (!CDialog::Create(owner)) {
    ReEnableOwner();
    return FALSE;
  }
  return TRUE;
}

void CProgressDlg::ReEnableOwner() {
  if (m_bOwnerDisabled && m_pParentWnd) EnableWindow(m_pParentWnd, TRUE);
  m_bOwnerDisabled = FALSE;
}

BOOL CProgressDlg::DestroyWindow() {
  ReEnableOwner();
  return CDialog::DestroyWindow();
}

bool CProgressDlg::DoDataExchange(bool) {
  m_progress = GetDlgItem(IDC_PROGRESS_BAR);
  return true;
}

BOOL CProgressDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  SendMessageW(m_progress, PBM_SETRANGE, 0,
               MAKELPARAM(m_nRangeLow, m_nRangeHigh));
  SendMessageW(m_progress, PBM_SETSTEP, m_nStep, 0);
  SendMessageW(m_progress, PBM_SETPOS, m_nRangeLow, 0);
  wchar_t caption[256];
  if (LoadStringW(ThisModule(), m_nCaptionId, caption, 256) <= 0)
    caption[0] = 0;
  SendMessageW(m_hWnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(caption));
  return TRUE;
}

void CProgressDlg::OnOK() {}

void CProgressDlg::OnCancel() { m_bCancelled = TRUE; }

void CProgressDlg::DrainMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (m_hWnd && IsDialogMessageW(m_hWnd, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

int CProgressDlg::SetPos(int pos) {
  DrainMessages();
  LRESULT previous = SendMessageW(m_progress, PBM_SETPOS, pos, 0);
  ShowPercent(pos);
  return static_cast<int>(previous & 0xFFFF);
}

BOOL CProgressDlg::CheckCancel() {
  DrainMessages();
  BOOL cancelled = m_bCancelled;
  m_bCancelled = FALSE;
  return cancelled;
}

void CProgressDlg::SetLabel(const char* text) {
  SetItemText(IDC_PROGRESS_LABEL, text);
}

void CProgressDlg::ShowPercent(int pos) {
  char text[16];
  char shown[16];
  PercentText(pos, text, sizeof text, m_nRangeLow, m_nRangeHigh);
  if (!GetItemText(IDC_PROGRESS_PERCENT, shown, sizeof shown) ||
      StrCompare(shown, text) != 0)
    SetItemText(IDC_PROGRESS_PERCENT, text);
}

}  // namespace pvx
