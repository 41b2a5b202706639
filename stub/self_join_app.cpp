#include "stub/self_join_app.h"

#include <commctrl.h>
#include <shlobj.h>

#include "engines/engine_util.h"
#include "engines/engines.h"
#include "engines/messages.h"
#include "base/text.h"
#include "platform/win32/wide.h"
#include "resources/stub/resource.h"

namespace pvx {

uint32_t LoadedImageSize(HMODULE module) {
  // The loader has checked these headers before the program could run. The
  // stub's SizeOfImage is the length of its file, which is what
  // StubImageSize finds in it: check_stub refuses a build where either
  // differs (the raw data of each section lies at its address, and both
  // alignments are equal).
  const uint8_t* image = reinterpret_cast<const uint8_t*>(module);
  const IMAGE_NT_HEADERS32* nt = reinterpret_cast<const IMAGE_NT_HEADERS32*>(
      image + reinterpret_cast<const IMAGE_DOS_HEADER*>(image)->e_lfanew);
  // __ImageBase is declared as the DOS header alone; the headers after it
  // are mapped too.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Warray-bounds"
  return nt->OptionalHeader.SizeOfImage;
#pragma GCC diagnostic pop
}

CSelfJoinApp::CSelfJoinApp()
    : m_nStubImageSize(0), m_platform(IDS_SELFJOIN_PROGRESS) {
  m_strSelfPath[0] = 0;
}

BOOL CSelfJoinApp::InitInstance() {
  FromWide(m_platform.ModulePath(), m_strSelfPath, kPathCap);
  m_nStubImageSize = LoadedImageSize(ThisModule());

  CSelfJoinDlg dialog(*this);
  dialog.DoModal(nullptr);
  return FALSE;
}

BOOL CSelfJoinApp::SelfJoin(const char* destination) {
  Failure io;
  int result = pvx::SelfJoin(m_platform, m_strSelfPath, m_nStubImageSize,
                             destination, &io);
  if (result == kIoFailure) m_platform.Notify(io.text);
  return result == kDone;
}

CSelfJoinDlg::CSelfJoinDlg(CSelfJoinApp& app)
    : CDialog(IDD_SELFJOIN), m_app(app) {
  m_strDestination[0] = 0;
}

bool CSelfJoinDlg::DoDataExchange(bool save) {
  return DdxText(save, IDC_DESTINATION, m_strDestination,
                 sizeof m_strDestination);
}

BOOL CSelfJoinDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  m_app.Platform().SetMainWindow(m_hWnd);
  // The program's own folder, with its trailing separator. UTF-8 never
  // holds a "\" byte inside a character, so the last one is the last one.
  StrCopy(m_strDestination, sizeof m_strDestination, m_app.m_strSelfPath);
  char* cut = m_strDestination;
  for (char* c = m_strDestination; *c; ++c)
    if (*c == '\\') cut = c + 1;
  *cut = 0;
  UpdateData(false);
  return TRUE;
}

void CSelfJoinDlg::OnOK() {
  if (!UpdateData(true)) {
    Tell(m_app.Platform(), kMsgPathTooLong, "Destination");
    return;
  }
  if (m_app.SelfJoin(m_strDestination)) EndDialog(IDOK);
}

bool CSelfJoinDlg::OnCommand(int id, int code, HWND control) {
  if (id == IDC_BROWSE_DESTINATION) {
    if (code == BN_CLICKED) OnBrowseDestination();
    return true;
  }
  return CDialog::OnCommand(id, code, control);
}

void CSelfJoinDlg::OnBrowseDestination() {
  wchar_t path[MAX_PATH];
  BROWSEINFOW info = {};
  info.hwndOwner = m_hWnd;
  info.pszDisplayName = path;
  info.lpszTitle = L"Choose the destination...";
  info.ulFlags = BIF_RETURNONLYFSDIRS;
  LPITEMIDLIST item = SHBrowseForFolderW(&info);
  if (!item) return;  // cancelled: the edit keeps its text
  if (SHGetPathFromIDListW(item, path) &&
      FromWide(path, m_strDestination, sizeof m_strDestination))
    UpdateData(false);
  ILFree(item);
}

}  // namespace pvx

// The program's entry point: no C run-time start-up runs before it.
extern "C" void WinMainCRTStartup() {
  InitCommonControls();  // registers the progress bar's window class
  pvx::CSelfJoinApp app;
  app.InitInstance();
  ExitProcess(0);
}
