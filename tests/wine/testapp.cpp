// A small dialog program on which the driver's own test exercises every
// command: an edit, two combo boxes, a check box, a button that asks a
// question in a message box, a disabled button, a button that runs a long
// operation behind a progress window, and dropped files.
//
// Exit status: 10 when closed with OK, 20 with Exit / Esc / the close box.

#ifndef UNICODE
#define UNICODE
#endif
#include <windows.h>
#include <shellapi.h>

#include <cwchar>

namespace {

const int kEdit = 1000, kShow = 1001, kSize = 1003, kStatus = 1004,
          kLong = 1007, kDest = 1008, kEcho = 1009, kPercent = 1004;

HINSTANCE g_instance;
bool g_cancelled;

void Status(HWND dlg, const wchar_t* fmt, int value) {
  wchar_t buf[64];
  swprintf(buf, 64, fmt, value);
  SetDlgItemTextW(dlg, kStatus, buf);
}

INT_PTR CALLBACK WorkProc(HWND, UINT msg, WPARAM wp, LPARAM) {
  if (msg == WM_INITDIALOG) return TRUE;
  if (msg == WM_COMMAND && LOWORD(wp) == IDCANCEL) {
    g_cancelled = true;
    return TRUE;
  }
  return FALSE;
}

// Runs until the progress window's Cancel (or Esc) is pressed, keeping the
// interface alive by draining the queue, with the main dialog disabled.
void LongOperation(HWND dlg) {
  EnableWindow(dlg, FALSE);
  HWND work = CreateDialogParamW(g_instance, MAKEINTRESOURCEW(101), NULL,
                                 WorkProc, 0);
  g_cancelled = false;
  int ticks = 0;
  while (!g_cancelled) {
    MSG m;
    while (PeekMessageW(&m, NULL, 0, 0, PM_REMOVE)) {
      if (!IsDialogMessageW(work, &m)) {
        TranslateMessage(&m);
        DispatchMessageW(&m);
      }
    }
    Sleep(20);
    wchar_t pct[16];
    swprintf(pct, 16, L"%d%%", (++ticks / 5) % 100);
    SetDlgItemTextW(work, kPercent, pct);
  }
  EnableWindow(dlg, TRUE);
  DestroyWindow(work);
  SetDlgItemTextW(dlg, kStatus, L"long=cancelled");
}

INT_PTR CALLBACK MainProc(HWND dlg, UINT msg, WPARAM wp, LPARAM) {
  switch (msg) {
    case WM_INITDIALOG:
      SendDlgItemMessageW(dlg, kSize, CB_ADDSTRING, 0, (LPARAM)L"1.44M");
      SendDlgItemMessageW(dlg, kSize, CB_ADDSTRING, 0, (LPARAM)L"1.25M");
      SendDlgItemMessageW(dlg, kSize, CB_SETCURSEL, 0, 0);
      SendDlgItemMessageW(dlg, kDest, CB_ADDSTRING, 0, (LPARAM)L"(Same Folder)");
      SendDlgItemMessageW(dlg, kDest, CB_ADDSTRING, 0, (LPARAM)L"C:\\保存先");
      SendDlgItemMessageW(dlg, kDest, CB_SETCURSEL, 0, 0);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wp)) {
        case IDOK:
          EndDialog(dlg, 10);
          return TRUE;
        case IDCANCEL:
          EndDialog(dlg, 20);
          return TRUE;
        case kShow: {
          wchar_t caption[128];
          GetWindowTextW(dlg, caption, 128);
          int r = MessageBoxW(dlg, L"テスト 表示", caption, MB_OKCANCEL);
          Status(dlg, L"result=%d", r);
          return TRUE;
        }
        case kLong:
          LongOperation(dlg);
          return TRUE;
        case kSize:
          if (HIWORD(wp) == CBN_SELCHANGE)
            Status(dlg, L"size=%d",
                   (int)SendDlgItemMessageW(dlg, kSize, CB_GETCURSEL, 0, 0));
          return TRUE;
        case kEdit:
          if (HIWORD(wp) == EN_UPDATE) {
            wchar_t text[300] = L"echo:";
            GetDlgItemTextW(dlg, kEdit, text + 5, 290);
            SetDlgItemTextW(dlg, kEcho, text);
          }
          return TRUE;
      }
      return FALSE;
    case WM_DROPFILES: {
      HDROP drop = (HDROP)wp;
      UINT n = DragQueryFileW(drop, 0xFFFFFFFF, NULL, 0);
      wchar_t path[MAX_PATH] = L"";
      DragQueryFileW(drop, 0, path, MAX_PATH);
      DragFinish(drop);
      SetDlgItemTextW(dlg, kEdit, path);
      Status(dlg, L"drop=%d", (int)n);
      return TRUE;
    }
  }
  return FALSE;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  g_instance = instance;
  return (int)DialogBoxParamW(instance, MAKEINTRESOURCEW(100), NULL, MainProc, 0);
}
