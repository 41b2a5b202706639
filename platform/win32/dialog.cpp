#include "platform/win32/dialog.h"

#include "platform/win32/wide.h"

namespace pvx {

CDialog::CDialog(UINT template_id) : m_nIDTemplate(template_id) {}

INT_PTR CDialog::DoModal(HWND owner) {
  return DialogBoxParamW(ThisModule(),
                         MAKEINTRESOURCEW(m_nIDTemplate), owner, DialogProc,
                         reinterpret_cast<LPARAM>(this));
}

bool CDialog::Create(HWND owner) {
  CreateDialogParamW(ThisModule(),
                     MAKEINTRESOURCEW(m_nIDTemplate), owner, DialogProc,
                     reinterpret_cast<LPARAM>(this));
  return m_hWnd != nullptr;
}

BOOL CDialog::DestroyWindow() {
  if (!m_hWnd) return FALSE;
  return ::DestroyWindow(m_hWnd);  // WM_NCDESTROY clears m_hWnd
}

void CDialog::EndDialog(INT_PTR result) { ::EndDialog(m_hWnd, result); }

bool CDialog::UpdateData(bool save) {
  bool was_writing = m_bWriting;
  if (!save) m_bWriting = true;
  bool ok = DoDataExchange(save);
  m_bWriting = was_writing;
  return ok;
}

void CDialog::SetText(HWND window, const char* text) {
  wchar_t wide[kDialogTextCap];
  ToWide(text, wide, kDialogTextCap);
  SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide));
}

bool CDialog::GetItemText(int id, char* out, size_t cap) const {
  wchar_t wide[kDialogTextCap];
  // WM_GETTEXT cuts a longer text to the buffer: a full buffer may be cut.
  LRESULT n = SendMessageW(GetDlgItem(id), WM_GETTEXT, kDialogTextCap,
                           reinterpret_cast<LPARAM>(wide));
  if (n >= kDialogTextCap - 1) {
    if (cap) out[0] = 0;
    return false;
  }
  wide[n] = 0;
  return FromWide(wide, out, cap);
}

BOOL CDialog::OnInitDialog() {
  UpdateData(false);
  return TRUE;
}

bool CDialog::DoDataExchange(bool) { return true; }

void CDialog::OnOK() {
  if (UpdateData(true)) EndDialog(IDOK);
}

void CDialog::OnCancel() { EndDialog(IDCANCEL); }

bool CDialog::OnCommand(int id, int, HWND) {
  switch (id) {
    case IDOK:
      OnOK();
      return true;
    case IDCANCEL:
      OnCancel();
      return true;
  }
  return false;
}

bool CDialog::OnMessage(UINT, WPARAM, LPARAM, INT_PTR*) { return false; }

bool CDialog::DdxText(bool save, int id, char* field, size_t cap) {
  if (save) return GetItemText(id, field, cap);
  SetItemText(id, field);
  return true;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wparam,
                                     LPARAM lparam) {
  CDialog* self;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<CDialog*>(lparam);
    SetWindowLongPtrW(hwnd, DWLP_USER, lparam);
    self->m_hWnd = hwnd;
    // A top-level dialog that its initialisation did not move is centred.
    RECT before, after;
    GetWindowRect(hwnd, &before);
    BOOL focus = self->OnInitDialog();
    GetWindowRect(hwnd, &after);
    if (!(GetWindowLongW(hwnd, GWL_STYLE) & WS_CHILD) &&
        before.left == after.left && before.top == after.top)
      PlaceDialog(hwnd);
    return focus;
  }
  self = reinterpret_cast<CDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
  if (!self) return FALSE;  // before WM_INITDIALOG (WM_SETFONT) or after
  switch (message) {
    case WM_COMMAND:
      if (self->m_bWriting) return TRUE;
      return self->OnCommand(LOWORD(wparam), HIWORD(wparam),
                             reinterpret_cast<HWND>(lparam));
    case WM_NCDESTROY:
      SetWindowLongPtrW(hwnd, DWLP_USER, 0);
      self->m_hWnd = nullptr;
      return FALSE;
  }
  INT_PTR result = FALSE;
  if (self->OnMessage(message, wparam, lparam, &result)) return result;
  return FALSE;
}

}  // namespace pvx
