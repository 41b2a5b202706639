#include "tool/parvex_dlg.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include "engines/messages.h"
#include "base/text.h"
#include "platform/win32/ddx.h"
#include "platform/win32/wide.h"
#include "resources/tool/resource.h"
#include "tool/parvex_app.h"

namespace pvx {
namespace {

// The registry section "Destinations" of the application's settings.
class ProfileDestStore : public DestStore {
 public:
  explicit ProfileDestStore(CParvexApp& app) : app_(app) {}
  bool ReadFolder(int k, char* out, size_t cap) override {
    char name[16];
    Format(name, sizeof name, "Folder%d", k);
    return app_.GetProfileString("Destinations", name, out, cap);
  }
  void WriteFolder(int k, const char* text) override {
    char name[16];
    Format(name, sizeof name, "Folder%d", k);
    app_.WriteProfileString("Destinations", name, text);
  }

 private:
  CParvexApp& app_;
};

// The entries the two lists start with.
const wchar_t* const kSizeChoices[] = {L"1.44M", L"1.25M"};
const uint32_t kSizeBytes[] = {kSize144, kSize125};

void AddListEntry(HWND list, const char* text) {
  wchar_t wide[kDialogTextCap];
  ToWide(text, wide, kDialogTextCap);
  SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide));
}

}  // namespace

uint32_t PieceSizeOf(int index) {
  return index == 1 ? kSizeBytes[1] : kSizeBytes[0];
}

CParvexDlg::CParvexDlg(CParvexApp& app) : CDialog(IDD_PARVEX), m_app(app) {
  m_strFileName[0] = 0;
  m_strDestination[0] = 0;
  m_hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_PARVEX));
}

bool CParvexDlg::DoDataExchange(bool save) {
  bool ok = DdxEditText(m_hWnd, save, IDC_FILENAME, m_strFileName,
                        sizeof m_strFileName);
  DdxCBIndex(m_hWnd, save, IDC_PIECE_SIZE, &m_nSizeIndex);
  DdxCheck(m_hWnd, save, IDC_SELFJOIN, &m_bSelfJoin);
  ok &= DdxCBString(m_hWnd, save, IDC_DESTINATION, m_strDestination,
                    sizeof m_strDestination);
  DdxCheck(m_hWnd, save, IDC_PAUSE, &m_bPause);
  return ok;
}

BOOL CParvexDlg::OnInitDialog() {
  // The lists get their fixed entries before the fields are written.
  HWND destinations = GetDlgItem(IDC_DESTINATION);
  AddListEntry(destinations, kSameFolder);
  for (const wchar_t* choice : kSizeChoices)
    SendMessageW(GetDlgItem(IDC_PIECE_SIZE), CB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(choice));
  CDialog::OnInitDialog();
  m_app.Platform().SetMainWindow(m_hWnd);

  SendMessageW(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
  SendMessageW(m_hWnd, WM_SETICON, ICON_SMALL,
               reinterpret_cast<LPARAM>(m_hIcon));
  if (m_strFileName[0]) OnUpdateFileName();
  LoadDestinations();
  SendMessageW(destinations, CB_SETCURSEL, static_cast<WPARAM>(m_nDestIndex),
               0);
  return TRUE;
}

bool CParvexDlg::OnCommand(int id, int code, HWND control) {
  switch (id) {
    case IDC_BROWSE_FILE:
      if (code == BN_CLICKED) OnBrowseFile();
      return true;
    case IDC_CUT:
      if (code == BN_CLICKED) OnCut();
      return true;
    case IDC_CONCATINATE:
      if (code == BN_CLICKED) OnConcatinate();
      return true;
    case IDC_BROWSE_FOLDER:
      if (code == BN_CLICKED) OnBrowseFolder();
      return true;
    case IDC_FILENAME:
      if (code == EN_UPDATE) OnUpdateFileName();
      return true;
  }
  return CDialog::OnCommand(id, code, control);
}

bool CParvexDlg::OnMessage(UINT message, WPARAM wparam, LPARAM,
                           INT_PTR* result) {
  switch (message) {
    case WM_PAINT:
      return OnPaint();
    case WM_QUERYDRAGICON:
      *result = reinterpret_cast<INT_PTR>(m_hIcon);
      return true;
    case WM_DROPFILES:
      OnDropFiles(reinterpret_cast<HDROP>(wparam));
      return true;
  }
  return false;
}

// While minimized the dialog shows its icon in the middle of its client
// area; otherwise the dialog manager paints.
bool CParvexDlg::OnPaint() {
  if (!IsIconic(m_hWnd)) return false;
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(m_hWnd, &paint);
  SendMessageW(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  GetClientRect(m_hWnd, &client);
  int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
  int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
  DrawIcon(dc, x, y, m_hIcon);
  EndPaint(m_hWnd, &paint);
  return true;
}

// "Cut" and "SPvX..." need a name that is not blank; "Concatinate" needs
// ".c" (any case) at the last "." of the text.
void CParvexDlg::OnUpdateFileName() {
  // A text too long for its field is left as the user has it: the fields
  // are not written back, and the buttons go by what could be read.
  bool read = UpdateData(true);
  const char* t = m_strFileName;
  while (*t == ' ' || *t == '\t' || *t == '\n' || *t == '\r' || *t == '\v' ||
         *t == '\f')
    ++t;
  BOOL named = *t != 0;
  EnableWindow(GetDlgItem(IDC_CUT), named);
  EnableWindow(GetDlgItem(IDC_SELFJOIN), named);

  const char* dot = nullptr;
  for (const char* c = m_strFileName; *c; ++c)
    if (*c == '.') dot = c;
  BOOL piece = dot && (dot[1] == 'c' || dot[1] == 'C');
  EnableWindow(GetDlgItem(IDC_CONCATINATE), piece);
  if (read) UpdateData(false);
}

void CParvexDlg::OnBrowseFile() {
  UpdateData(true);
  wchar_t path[MAX_PATH] = L"";
  OPENFILENAMEW open = {};
  open.lStructSize = sizeof open;
  open.hwndOwner = m_hWnd;
  open.lpstrFilter = L"All files(*.*)\0*.*\0";
  open.lpstrFile = path;
  open.nMaxFile = MAX_PATH;
  open.lpstrTitle = L"Terget file";
  open.Flags = OFN_FILEMUSTEXIST;
  if (!GetOpenFileNameW(&open)) return;
  if (!FromWide(path, m_strFileName, sizeof m_strFileName)) return;
  UpdateData(false);
  OnUpdateFileName();
}

// Only the first of the dropped items counts; a folder is taken like a file.
void CParvexDlg::OnDropFiles(HDROP drop) {
  wchar_t path[kPathCap];
  UINT length = DragQueryFileW(drop, 0, nullptr, 0);
  UINT n = length < kPathCap ? DragQueryFileW(drop, 0, path, kPathCap) : 0;
  DragFinish(drop);
  if (n == 0) return;  // nothing dropped, or a name too long to take
  if (!FromWide(path, m_strFileName, sizeof m_strFileName)) return;
  UpdateData(false);
  OnUpdateFileName();
}

void CParvexDlg::OnBrowseFolder() {
  UpdateData(true);
  wchar_t path[MAX_PATH];
  BROWSEINFOW info = {};
  info.hwndOwner = m_hWnd;
  info.pidlRoot = nullptr;  // the desktop: the whole name space
  info.pszDisplayName = path;
  info.lpszTitle = L"Choose log folder...";
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  LPITEMIDLIST item = SHBrowseForFolderW(&info);
  if (!item) return;
  // Taken as the system gives it; it enters the history only when an
  // operation uses it.
  if (SHGetPathFromIDListW(item, path) &&
      FromWide(path, m_strDestination, sizeof m_strDestination))
    UpdateData(false);
  ILFree(item);
}

void CParvexDlg::TellTooLong(const char* field) {
  char text[256];
  Format(text, sizeof text, Text(Lang::kJapanese, kMsgPathTooLong), field);
  m_app.Platform().Notify(text);
}

bool CParvexDlg::PrepareDestination(bool cut) {
  if (!UpdateData(true)) {
    // The field that could not take its control's text is empty now.
    TellTooLong(m_strFileName[0] ? "Destination" : "FileName");
    return false;
  }
  // Whatever way a path came into the fields (typed, pasted, dropped or
  // browsed), a "/" in it separates folders.
  TrimBlanks(m_strFileName);
  SlashesToBackslashes(m_strFileName);
  SlashesToBackslashes(m_strDestination);
  if (SendMessageW(GetDlgItem(IDC_DESTINATION), CB_GETCURSEL, 0, 0) == 0) {
    m_strDestination[0] = 0;  // "(Same Folder)"
    return true;
  }
  TrimBlanks(m_strDestination);
  if (!m_strDestination[0]) return true;
  RememberDestination(m_strDestination);
  if (cut) m_nDestIndex = -1;
  size_t n = StrLen(m_strDestination);
  if (m_strDestination[n - 1] != '\\' &&
      !StrAppend(m_strDestination, sizeof m_strDestination, "\\")) {
    TellTooLong("Destination");
    return false;
  }
  return true;
}

void CParvexDlg::OnCut() {
  if (!PrepareDestination(true)) return;
  bool io_failed = false;
  if (m_app.CutFile(PieceSizeOf(m_nSizeIndex), m_strFileName,
                    m_strDestination, m_bSelfJoin, m_bPause, &io_failed))
    EndDialog(IDOK);
  // After a read or write failure the list is saved with the next save.
  if (!io_failed) SaveDestinations();
}

void CParvexDlg::OnConcatinate() {
  if (!PrepareDestination(false)) return;
  bool io_failed = false;
  if (m_app.JoinFile(m_strFileName, m_strDestination, m_bPause, &io_failed))
    EndDialog(IDOK);
  if (!io_failed) SaveDestinations();
}

void CParvexDlg::OnCancel() {
  UpdateData(true);
  SaveDestinations();
  CDialog::OnCancel();
}

void CParvexDlg::LoadDestinations() {
  ProfileDestStore store(m_app);
  int first = m_history.Count();
  m_history.Load(store);
  HWND list = GetDlgItem(IDC_DESTINATION);
  for (int i = first; i < m_history.Count(); ++i)
    AddListEntry(list, m_history.At(i));
}

void CParvexDlg::RememberDestination(const char* text) {
  HWND list = GetDlgItem(IDC_DESTINATION);
  // The list holds the history's entries in its order; its exact search
  // ignores case the way the system compares texts. Started after position
  // 0, it looks at the folders first and at the fixed entry last.
  wchar_t wide[kDialogTextCap];
  ToWide(text, wide, kDialogTextCap);
  LRESULT same = SendMessageW(list, CB_FINDSTRINGEXACT, 0,
                              reinterpret_cast<LPARAM>(wide));
  int removed = m_history.Remember(text, same == CB_ERR ? -1
                                                        : static_cast<int>(same));
  if (removed >= 0) SendMessageW(list, CB_DELETESTRING, removed, 0);
  AddListEntry(list, text);
}

void CParvexDlg::SaveDestinations() {
  ProfileDestStore store(m_app);
  m_history.Save(store, &m_nDestIndex);
}

}  // namespace pvx
