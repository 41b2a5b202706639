#include "tool/parvex_app.h"

#include "engines/engines.h"
#include "base/text.h"
#include "platform/win32/wide.h"
#include "resources/tool/resource.h"
#include "tool/parvex_dlg.h"

namespace pvx {
namespace {

const wchar_t kRegistryKey[] = L"Software\\Orvane products\\";

// An ASCII name (section or value) widened.
bool Widen(const char* ascii, wchar_t* out, size_t cap) {
  return ToWide(ascii, out, cap);
}

}  // namespace

CParvexApp::CParvexApp() : m_platform(IDS_PARVEX_PROGRESS) {}

bool CParvexApp::SectionKey(const char* section, wchar_t* out,
                            size_t cap) const {
  wchar_t wide_section[64];
  if (!Widen(section, wide_section, 64)) return false;
  const wchar_t* parts[] = {kRegistryKey, m_platform.Title(), L"\\",
                            wide_section};
  size_t n = 0;
  for (const wchar_t* part : parts)
    for (const wchar_t* c = part; *c; ++c) {
      if (n + 1 >= cap) return false;
      out[n++] = *c;
    }
  out[n] = 0;
  return true;
}

UINT CParvexApp::GetProfileInt(const char* section, const char* entry,
                               UINT fallback) {
  wchar_t path[512], name[64];
  HKEY key;
  if (!SectionKey(section, path, 512) || !Widen(entry, name, 64) ||
      RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_QUERY_VALUE, &key) !=
          ERROR_SUCCESS)
    return fallback;
  DWORD type = 0, value = 0, size = sizeof value;
  LONG rc = RegQueryValueExW(key, name, nullptr, &type,
                             reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value)
    return fallback;
  return value;
}

bool CParvexApp::WriteProfileInt(const char* section, const char* entry,
                                 UINT value) {
  wchar_t path[512], name[64];
  HKEY key;
  if (!SectionKey(section, path, 512) || !Widen(entry, name, 64) ||
      RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  DWORD data = value;
  LONG rc = RegSetValueExW(key, name, 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&data), sizeof data);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

bool CParvexApp::GetProfileString(const char* section, const char* entry,
                                  char* out, size_t cap) {
  if (cap) out[0] = 0;
  wchar_t path[512], name[64];
  HKEY key;
  if (!SectionKey(section, path, 512) || !Widen(entry, name, 64) ||
      RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_QUERY_VALUE, &key) !=
          ERROR_SUCCESS)
    return false;
  wchar_t value[kPathCap];
  DWORD type = 0, size = sizeof value - sizeof(wchar_t);
  LONG rc = RegQueryValueExW(key, name, nullptr, &type,
                             reinterpret_cast<BYTE*>(value), &size);
  RegCloseKey(key);
  if (rc != ERROR_SUCCESS || type != REG_SZ) return false;
  // The stored string need not carry its terminator.
  value[size / sizeof(wchar_t)] = 0;
  return FromWide(value, out, cap);
}

bool CParvexApp::WriteProfileString(const char* section, const char* entry,
                                    const char* text) {
  wchar_t path[512], name[64], value[kPathCap];
  HKEY key;
  if (!SectionKey(section, path, 512) || !Widen(entry, name, 64) ||
      !ToWide(text, value, kPathCap) ||
      RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr,
                      REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  DWORD size = 0;
  while (value[size]) ++size;
  size = (size + 1) * sizeof(wchar_t);
  LONG rc = RegSetValueExW(key, name, 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(value), size);
  RegCloseKey(key);
  return rc == ERROR_SUCCESS;
}

void CParvexApp::FileFromCommandLine(int argc, wchar_t** argv, char* out,
                                     size_t cap) {
  out[0] = 0;
  const wchar_t* arg = nullptr;
  for (int i = 1; i < argc && !arg; ++i)
    if (argv[i][0] != L'/' && argv[i][0] != L'-') arg = argv[i];
  if (!arg) return;

  // Windows takes "/" for "\" in paths; so does this name, so that the
  // folder part survives the lookup below.
  wchar_t path[2 * MAX_PATH];
  size_t n = 0;
  for (; arg[n]; ++n) {
    if (n + 1 >= 2 * MAX_PATH) {
      // Longer than any path: taken as typed, when it fits at all.
      if (!FromWide(arg, out, cap)) out[0] = 0;
      return;
    }
    path[n] = arg[n] == L'/' ? L'\\' : arg[n];
  }
  path[n] = 0;

  // The last component as the file system has it (its long name, in its
  // stored case); the folder part stays as typed. A name that matches
  // nothing is kept as it is: the engines report a missing file.
  WIN32_FIND_DATAW found;
  HANDLE search = n < MAX_PATH ? FindFirstFileW(path, &found)
                               : INVALID_HANDLE_VALUE;
  if (search != INVALID_HANDLE_VALUE) {
    FindClose(search);
    size_t cut = 0;
    for (size_t i = 0; i < n; ++i)
      if (path[i] == L'\\') cut = i + 1;
    size_t k = 0;
    for (; found.cFileName[k] && cut + k + 1 < 2 * MAX_PATH; ++k)
      path[cut + k] = found.cFileName[k];
    path[cut + k] = 0;
  }
  if (!FromWide(path, out, cap)) out[0] = 0;
}

BOOL CParvexApp::CutFile(uint32_t piece_size, const char* source,
                         const char* destination, BOOL self_join, BOOL pause,
                         bool* io_failed) {
  Failure io;
  int result = pvx::CutFile(m_platform, piece_size, source, destination,
                            self_join != 0, pause != 0, &io);
  *io_failed = result == kIoFailure;
  if (*io_failed) m_platform.Notify(io.text);
  return result == kDone;
}

BOOL CParvexApp::JoinFile(const char* path, const char* destination,
                          BOOL pause, bool* io_failed) {
  Failure io;
  int result = pvx::JoinFile(m_platform, path, destination, pause != 0, &io);
  *io_failed = result == kIoFailure;
  if (*io_failed) m_platform.Notify(io.text);
  return result == kDone;
}

BOOL CParvexApp::InitInstance() {
  // The stub program travels in this program's resources; self-joining
  // cuts copy its image from there.
  HMODULE module = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDR_STUB), L"SPVX");
  HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
  const void* image = loaded ? LockResource(loaded) : nullptr;
  if (image)
    m_platform.SetStubImage(static_cast<const uint8_t*>(image),
                            SizeofResource(module, found));

  CParvexDlg dialog(*this);
  UINT check = GetProfileInt("Settings", "Check", 0);
  dialog.m_bPause = check & 1;
  dialog.m_bSelfJoin = (check >> 1) ? 1 : 0;
  dialog.m_nSizeIndex = static_cast<int>(GetProfileInt("Settings", "Size", 0));
  dialog.m_nDestIndex = static_cast<int>(GetProfileInt("Settings", "Sel", 0));

  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv) {
    FileFromCommandLine(argc, argv, dialog.m_strFileName,
                        sizeof dialog.m_strFileName);
    LocalFree(argv);
  }

  dialog.DoModal(nullptr);

  WriteProfileInt("Settings", "Check",
                  static_cast<UINT>(2 * dialog.m_bSelfJoin + dialog.m_bPause));
  WriteProfileInt("Settings", "Size", static_cast<UINT>(dialog.m_nSizeIndex));
  WriteProfileInt("Settings", "Sel", static_cast<UINT>(dialog.m_nDestIndex));
  return FALSE;
}

}  // namespace pvx
