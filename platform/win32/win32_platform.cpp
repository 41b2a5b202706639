#include "platform/win32/win32_platform.h"

#include "base/text.h"
#include "platform/names.h"
#include "platform/win32/wide.h"

#include <commdlg.h>
#include <shlobj.h>

// The Windows programs are compiled with GCC's i386 structure layout, which
// aligns 64-bit members to 4 bytes (windows/CMakeLists.txt). The system's
// structures that they pass hold no such member and no bit-field, so they
// keep the system's layout; their sizes say so.
static_assert(sizeof(BROWSEINFOW) == 32 && sizeof(MONITORINFO) == 40 &&
                  sizeof(MSG) == 28 && sizeof(OPENFILENAMEW) == 88 &&
                  sizeof(PAINTSTRUCT) == 64 && sizeof(LARGE_INTEGER) == 8 &&
                  sizeof(BY_HANDLE_FILE_INFORMATION) == 52 &&
                  sizeof(WIN32_FIND_DATAW) == 592 &&
                  sizeof(IMAGE_NT_HEADERS32) == 248,
              "a system structure changed its layout");

namespace pvx {

namespace {

Win32File* FileOf(FileHandle f) { return reinterpret_cast<Win32File*>(f); }
HANDLE HandleOf(FileHandle f) { return FileOf(f)->handle; }

// The largest text the message boxes show, in UTF-16 units.
constexpr int kMessageCap = 4096;

// Text in code page from to code page to (UTF-8 or 932) through UTF-16, into
// out (cap bytes, terminated). False (out empty) when the text is not valid
// in from, has no exact form in to, or does not fit.
bool Recode(UINT from, UINT to, const char* in, char* out, size_t cap) {
  wchar_t wide[kPathCap];
  BOOL defaulted = FALSE;
  if (cap == 0) return false;
  if (MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, in, -1, wide,
                          kPathCap) <= 0 ||
      // Code page 932 gets no look-alikes and reports characters it lacks;
      // UTF-8 has every character and takes neither option.
      WideCharToMultiByte(to, to == CP_UTF8 ? 0 : WC_NO_BEST_FIT_CHARS, wide,
                          -1, out, static_cast<int>(cap), nullptr,
                          to == CP_UTF8 ? nullptr : &defaulted) <= 0 ||
      defaulted) {
    out[0] = 0;
    return false;
  }
  return true;
}

// The last error of a call on f into *why; false, for returning.
bool Fail(Failure* why, FileHandle f) {
  Win32Platform::SetFailure(why, FileOf(f)->path, GetLastError());
  return false;
}

// True when two open handles name the same file: volume serial and file
// index alike.
bool SameIdentity(HANDLE a, HANDLE b) {
  BY_HANDLE_FILE_INFORMATION ia, ib;
  return GetFileInformationByHandle(a, &ia) &&
         GetFileInformationByHandle(b, &ib) &&
         ia.dwVolumeSerialNumber == ib.dwVolumeSerialNumber &&
         ia.nFileIndexHigh == ib.nFileIndexHigh &&
         ia.nFileIndexLow == ib.nFileIndexLow;
}

// The attributes of what stands at path; INVALID_FILE_ATTRIBUTES when
// nothing does or the path does not convert.
DWORD AttributesOf(const char* path) {
  wchar_t wide[kPathCap];
  if (!ToWide(path, wide, kPathCap)) return INVALID_FILE_ATTRIBUTES;
  return GetFileAttributesW(wide);
}

}  // namespace

Win32Platform::Win32Platform(UINT progress_caption_id)
    : caption_id_(progress_caption_id) {
  DWORD n = GetModuleFileNameW(nullptr, module_path_, kPathCap);
  if (n >= kPathCap) n = 0;
  module_path_[n] = 0;
  // The title: the program's file name without its extension.
  const wchar_t* name = module_path_;
  for (const wchar_t* c = module_path_; *c; ++c)
    if (*c == L'\\' || *c == L'/') name = c + 1;
  int len = 0;
  int dot = -1;
  for (; name[len] && len < MAX_PATH - 1; ++len) {
    title_[len] = name[len];
    if (name[len] == L'.') dot = len;
  }
  title_[dot >= 0 ? dot : len] = 0;
}

Win32Platform::~Win32Platform() { ProgressDestroy(); }

void Win32Platform::SetFailure(Failure* why, const char* path, DWORD error) {
  if (!why) return;
  wchar_t wide[512];
  char cause[768];
  DWORD n = FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      error, 0, wide, 512, nullptr);
  // The system's texts end in a line break; some hold one inside. Every
  // break becomes a blank, and the blanks at the end go.
  for (DWORD i = 0; i < n; ++i)
    if (wide[i] == L'\r' || wide[i] == L'\n') wide[i] = L' ';
  while (n > 0 && wide[n - 1] == L' ') --n;
  wide[n] = 0;
  if (n == 0 || !FromWide(wide, cause, sizeof cause))
    Format(cause, sizeof cause, "error %u", static_cast<unsigned>(error));
  Format(why->text, sizeof why->text, "%s: %s", path, cause);
}

const char* Win32Platform::PathOf(FileHandle f) { return FileOf(f)->path; }

const char* Platform::PathOf(FileHandle f) {
  return f ? Win32Platform::PathOf(f) : "";
}

FileHandle Win32Platform::Open(const char* path, DWORD access, DWORD share,
                               DWORD disposition, Failure* why) {
  Win32File* slot = nullptr;
  for (Win32File& file : files_)
    if (!file.handle) {
      slot = &file;
      break;
    }
  if (!slot) {
    SetFailure(why, path, ERROR_TOO_MANY_OPEN_FILES);
    return nullptr;
  }
  wchar_t wide[kPathCap];
  if (!StrCopy(slot->path, kPathCap, path) || !ToWide(path, wide, kPathCap)) {
    SetFailure(why, path, ERROR_FILENAME_EXCED_RANGE);
    return nullptr;
  }
  HANDLE h = CreateFileW(wide, access, share, nullptr, disposition,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    SetFailure(why, path, GetLastError());
    return nullptr;
  }
  slot->handle = h;
  return reinterpret_cast<FileHandle>(slot);
}

FileHandle Platform::OpenRead(const char* path, Failure* why) {
  return Win32Platform::Self(this).Open(path, GENERIC_READ, FILE_SHARE_READ,
                                        OPEN_EXISTING, why);
}

FileHandle Platform::OpenSource(const char* path, Failure* why) {
  return Win32Platform::Self(this).Open(path, GENERIC_READ, FILE_SHARE_READ,
                                        OPEN_EXISTING, why);
}

FileHandle Platform::OpenWrite(const char* path, FileHandle, bool,
                                    Failure* why) {
  // Readers may look (so that SameFile can tell an input from the output);
  // nobody else writes while we do.
  return Win32Platform::Self(this).Open(path, GENERIC_WRITE, FILE_SHARE_READ,
                                        OPEN_ALWAYS, why);
}

bool Platform::Truncate(FileHandle f, Failure* why) {
  return Seek(f, 0, why) &&
         (SetEndOfFile(HandleOf(f)) || Fail(why, f));
}

bool Platform::Length(FileHandle f, uint64_t* length, Failure* why) {
  // The same query as the identity checks: one import less.
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(HandleOf(f), &info)) return Fail(why, f);
  *length = uint64_t{info.nFileSizeHigh} << 32 | info.nFileSizeLow;
  return true;
}

bool Platform::Seek(FileHandle f, uint64_t offset, Failure* why) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(offset);
  return SetFilePointerEx(HandleOf(f), to, nullptr, FILE_BEGIN) ||
         Fail(why, f);
}

bool Platform::Read(FileHandle f, void* buf, uint32_t n, uint32_t* got,
                         Failure* why) {
  DWORD read = 0;
  BOOL ok = ReadFile(HandleOf(f), buf, n, &read, nullptr);
  *got = ok ? read : 0;
  return ok || Fail(why, f);
}

bool Platform::Write(FileHandle f, const void* buf, uint32_t n,
                          Failure* why) {
  const uint8_t* p = static_cast<const uint8_t*>(buf);
  while (n > 0) {
    DWORD written = 0;
    if (!WriteFile(HandleOf(f), p, n, &written, nullptr)) return Fail(why, f);
    if (written == 0) {  // nothing moved and no error: the disk is full
      Win32Platform::SetFailure(why, Win32Platform::PathOf(f), ERROR_HANDLE_DISK_FULL);
      return false;
    }
    p += written;
    n -= written;
  }
  return true;
}

bool Platform::Copy(FileHandle src, FileHandle dst, void* buf,
                         uint32_t n, uint32_t* got, Failure* why) {
  return CopyByReadWrite(*this, src, dst, buf, n, got, why);
}

bool Platform::SameFile(FileHandle a, FileHandle b) {
  return SameIdentity(HandleOf(a), HandleOf(b));
}

bool Platform::IsFileAt(FileHandle f, const char* path) {
  wchar_t wide[kPathCap];
  if (!f || !ToWide(path, wide, kPathCap)) return false;
  HANDLE h = CreateFileW(
      wide, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT,
      nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  bool same = SameIdentity(HandleOf(f), h);
  CloseHandle(h);
  return same;
}


uint32_t Platform::ChunkSize() { return kChunk; }

// Parvex.exe cuts at most 100 pieces, c00 .. c99, as it always has.
int Platform::PieceLimit() { return 100; }

uint8_t* Platform::ChunkBuffer() { return Win32Platform::Self(this).chunk_; }

void Platform::Close(FileHandle f) {
  if (!f) return;
  CloseHandle(HandleOf(f));
  FileOf(f)->handle = nullptr;
}

bool Platform::Exists(const char* path) {
  return AttributesOf(path) != INVALID_FILE_ATTRIBUTES;
}

bool Platform::IsFolder(const char* path) {
  DWORD attributes = AttributesOf(path);
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Platform::MakeFolder(const char* path) {
  wchar_t wide[kPathCap];
  return ToWide(path, wide, kPathCap) && CreateDirectoryW(wide, nullptr);
}

bool Platform::AcceptsName(const char* name) {
  return !IsWindowsDeviceOrTrimmedName(name);
}

bool Platform::ToHeaderName(const char* name, char* out, size_t cap) {
  return Recode(CP_UTF8, 932, name, out, cap);
}

bool Platform::ToHeaderStandIn(const char* name, char* out, size_t cap) {
  wchar_t wide[kPathCap];
  int units = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, name, -1,
                                  wide, kPathCap);
  if (units <= 0 || cap == 0) return false;
  size_t o = 0;
  // Each UTF-16 unit but the NUL on its own; a surrogate pair (a character
  // beyond the BMP, none of which code page 932 has) becomes one "_".
  for (int i = 0; i + 1 < units; ++i) {
    char part[2] = {'_', 0};
    BOOL defaulted = FALSE;
    int len = 1;
    if (wide[i] >= 0xD800 && wide[i] <= 0xDBFF) {
      ++i;
    } else {
      len = WideCharToMultiByte(932, WC_NO_BEST_FIT_CHARS, wide + i, 1, part,
                                2, nullptr, &defaulted);
      if (len <= 0 || defaulted) {
        part[0] = '_';
        len = 1;
      }
    }
    if (o + len >= cap) return false;
    MemCopy(out + o, part, len);
    o += len;
  }
  out[o] = 0;
  return true;
}

bool Platform::FromHeaderName(const char* raw, char* out, size_t cap) {
  return Recode(932, CP_UTF8, raw, out, cap);
}


bool Platform::StubImage(const uint8_t** image, uint32_t* length) {
  Win32Platform& self = Win32Platform::Self(this);
  if (!self.stub_) return false;
  *image = self.stub_;
  *length = self.stub_length_;
  return true;
}

int Win32Platform::ShowMessage(const char* text, UINT type) {
  wchar_t wide[kMessageCap];
  // Shown as well as it converts: a message must never vanish.
  if (MultiByteToWideChar(CP_UTF8, 0, text, -1, wide, kMessageCap) <= 0)
    wide[kMessageCap - 1] = 0;
  HWND owner = progress_ && progress_->GetSafeHwnd() ? progress_->GetSafeHwnd()
                                                     : main_;
  return MessageBoxW(owner, wide, title_, type);
}

Lang Platform::Language() { return Lang::kJapanese; }

void Platform::Notify(const char* text) {
  Win32Platform::Self(this).ShowMessage(text, MB_OK);
}

bool Platform::Confirm(const char* text) {
  return Win32Platform::Self(this).ShowMessage(text, MB_OKCANCEL) != IDCANCEL;
}

bool Platform::ConfirmReplace(const char*, const char* text) {
  return Confirm(text);
}

bool Platform::AwaitDisk(const char* text) {
  Win32Platform::Self(this).ShowMessage(text, MB_OK);
  return true;
}

bool Platform::ProgressCreate() {
  Win32Platform& self = Win32Platform::Self(this);
  if (self.progress_) return true;
  self.progress_ =
      new (self.progress_room_) CProgressDlg(0, self.caption_id_);
  if (!self.progress_->Create(self.main_)) {
    // No window came to be and the owner is enabled again: the object
    // holds nothing that its destructor would give back.
    self.progress_ = nullptr;
    return false;
  }
  return true;
}

void Platform::ProgressCaption(const char* text) {
  CProgressDlg* progress = Win32Platform::Self(this).progress_;
  if (progress) progress->SetCaption(text);
}

void Platform::ProgressLabel(const char* text) {
  CProgressDlg* progress = Win32Platform::Self(this).progress_;
  if (progress) progress->SetLabel(text);
}

void Platform::ProgressPos(int pos) {
  CProgressDlg* progress = Win32Platform::Self(this).progress_;
  if (progress) progress->SetPos(pos);
}

bool Platform::ProgressCheckCancel() {
  // Without a window nothing could ever answer: report a cancel rather than
  // let a waiting engine spin for ever.
  CProgressDlg* progress = Win32Platform::Self(this).progress_;
  return !progress || progress->CheckCancel();
}

void Platform::ProgressFinish(const char* text, bool button_first) {
  CProgressDlg* progress = Win32Platform::Self(this).progress_;
  if (!progress) return;
  if (button_first) progress->SetItemText(IDCANCEL, "OK");
  progress->SetItemText(IDC_PROGRESS_PERCENT, text);
  if (!button_first) progress->SetItemText(IDCANCEL, "OK");
}

void Platform::ProgressDestroy() {
  Win32Platform& self = Win32Platform::Self(this);
  if (!self.progress_) return;
  self.progress_->~CProgressDlg();
  self.progress_ = nullptr;
}

}  // namespace pvx
