#include "platform/win32/ddx.h"

#include "platform/win32/dialog.h"
#include "platform/win32/wide.h"

namespace pvx {
namespace {

// The text of window h as UTF-8; false (out empty) when it does not fit.
bool ReadText(HWND h, char* out, size_t cap) {
  wchar_t wide[kDialogTextCap];
  if (GetWindowTextLengthW(h) >= kDialogTextCap) {
    if (cap) out[0] = 0;
    return false;
  }
  wide[0] = 0;
  GetWindowTextW(h, wide, kDialogTextCap);
  return FromWide(wide, out, cap);
}

bool SameWide(const wchar_t* a, const wchar_t* b) {
  while (*a && *a == *b) ++a, ++b;
  return *a == *b;
}

}  // namespace

void DdxCheck(HWND dialog, bool save, int id, int* field) {
  HWND control = GetDlgItem(dialog, id);
  if (save)
    *field = static_cast<int>(SendMessageW(control, BM_GETCHECK, 0, 0));
  else
    SendMessageW(control, BM_SETCHECK, static_cast<WPARAM>(*field), 0);
}

void DdxCBIndex(HWND dialog, bool save, int id, int* field) {
  HWND control = GetDlgItem(dialog, id);
  if (save)
    *field = static_cast<int>(SendMessageW(control, CB_GETCURSEL, 0, 0));
  else
    SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(*field), 0);
}

bool DdxCBString(HWND dialog, bool save, int id, char* field, size_t cap) {
  HWND control = GetDlgItem(dialog, id);
  if (save) return ReadText(control, field, cap);
  wchar_t wide[kDialogTextCap];
  ToWide(field, wide, kDialogTextCap);
  if (SendMessageW(control, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                   reinterpret_cast<LPARAM>(wide)) == CB_ERR)
    SetWindowTextW(control, wide);
  return true;
}

bool DdxEditText(HWND dialog, bool save, int id, char* field, size_t cap) {
  HWND control = GetDlgItem(dialog, id);
  if (save) return ReadText(control, field, cap);
  wchar_t wide[kDialogTextCap];
  wchar_t shown[kDialogTextCap];
  ToWide(field, wide, kDialogTextCap);
  shown[0] = 0;
  if (GetWindowTextLengthW(control) < kDialogTextCap) {
    GetWindowTextW(control, shown, kDialogTextCap);
    if (SameWide(shown, wide)) return true;
  }
  SetWindowTextW(control, wide);
  return true;
}

}  // namespace pvx
