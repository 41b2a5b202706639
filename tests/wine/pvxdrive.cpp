// pvxdrive: drives the dialogs of a Windows program from a test script, under
// Wine or on Windows. One command per invocation, or a script of commands
// ("pvxdrive run FILE"). Output is UTF-8 on stdout; diagnostics go to stderr.
//
// Exit status: 0 done, 1 failed (timeout, window or control missing, control
// disabled, expectation not met), 2 bad usage.

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const int kDefaultTimeoutMs = 10000;   // for finding windows before acting
const int kDefaultWaitMs = 20000;      // for wait / waitprefix / gone / until
const UINT kSendTimeoutMs = 5000;      // one synchronous message to the target

// ---------------------------------------------------------------- text ----

std::wstring Widen(const std::string& s) {
  if (s.empty()) return std::wstring();
  int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), NULL, 0);
  std::wstring w(n, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, s.data(), (int)s.size(), &w[0], n);
  return w;
}

std::string Narrow(const std::wstring& w) {
  if (w.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), NULL, 0,
                              NULL, NULL);
  std::string s(n, '\0');
  WideCharToMultiByte(CP_UTF8, 0, w.data(), (int)w.size(), &s[0], n, NULL,
                      NULL);
  return s;
}

void WriteRaw(DWORD which, const std::string& s) {
  HANDLE h = GetStdHandle(which);
  if (h == NULL || h == INVALID_HANDLE_VALUE) return;
  const char* p = s.data();
  size_t left = s.size();
  while (left > 0) {
    DWORD done = 0;
    if (!WriteFile(h, p, (DWORD)left, &done, NULL) || done == 0) break;
    p += done;
    left -= done;
  }
}

// CR LF and lone CR become LF, so that scripts compare plain lines.
std::wstring UnixLines(const std::wstring& w) {
  std::wstring r;
  for (size_t i = 0; i < w.size(); ++i) {
    if (w[i] == L'\r') {
      r += L'\n';
      if (i + 1 < w.size() && w[i + 1] == L'\n') ++i;
    } else {
      r += w[i];
    }
  }
  return r;
}

std::wstring StripMnemonic(const std::wstring& w) {
  std::wstring r;
  for (size_t i = 0; i < w.size(); ++i) {
    if (w[i] == L'&') {
      if (i + 1 < w.size() && w[i + 1] == L'&') {
        r += L'&';
        ++i;
      }
      continue;
    }
    r += w[i];
  }
  return r;
}

std::string Hwnd(HWND h) {
  char buf[32];
  snprintf(buf, sizeof buf, "0x%08lx", (unsigned long)(ULONG_PTR)h);
  return buf;
}

bool ParseNumber(const std::wstring& w, long long* out) {
  if (w.empty()) return false;
  wchar_t* end = NULL;
  long long v = wcstoll(w.c_str(), &end, 0);
  if (end == NULL || *end != L'\0') return false;
  *out = v;
  return true;
}

// ------------------------------------------------------------- context ----

typedef std::vector<std::wstring> Args;

struct Options {
  int timeout_ms = -1;      // -t: overrides the command's default
  std::wstring cls;         // -c: window class the caption must go with
  int nth = -1;             // -n: take the n-th match (0 = topmost)
  bool force = false;       // -f: act on disabled controls and windows too
};

struct Context {
  Options opt;
  bool quiet = false;       // errors are not printed (polling in "until")
  std::string out;          // what the command prints on stdout
  std::string last_error;
};

void Fail(Context& cx, const std::string& msg) {
  cx.last_error = msg;
  if (!cx.quiet) WriteRaw(STD_ERROR_HANDLE, "pvxdrive: " + msg + "\n");
}

int Timeout(const Context& cx, int dflt) {
  return cx.opt.timeout_ms >= 0 ? cx.opt.timeout_ms : dflt;
}

std::wstring WindowText(HWND h) {
  int n = GetWindowTextLengthW(h);
  std::wstring w(n + 1, L'\0');
  n = GetWindowTextW(h, &w[0], n + 1);
  w.resize(n < 0 ? 0 : n);
  return w;
}

std::wstring ClassOf(HWND h) {
  wchar_t buf[256];
  int n = GetClassNameW(h, buf, 256);
  return std::wstring(buf, n > 0 ? n : 0);
}

// The text of a control, asked of its own thread, so that edit controls of
// another process report what they show.
bool ControlText(HWND h, std::wstring* text) {
  DWORD_PTR len = 0;
  if (!SendMessageTimeoutW(h, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG,
                           kSendTimeoutMs, &len))
    return false;
  std::vector<wchar_t> buf(len + 2, L'\0');
  DWORD_PTR got = 0;
  if (!SendMessageTimeoutW(h, WM_GETTEXT, buf.size(), (LPARAM)&buf[0],
                           SMTO_ABORTIFHUNG, kSendTimeoutMs, &got))
    return false;
  *text = std::wstring(&buf[0], got);
  return true;
}

// ------------------------------------------------------- window lookup ----

struct Match {
  std::wstring title;
  bool prefix;
  const std::wstring* cls;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND h, LPARAM lp) {
  Match* m = reinterpret_cast<Match*>(lp);
  if (!IsWindowVisible(h)) return TRUE;
  std::wstring cap = WindowText(h);
  bool ok = m->prefix ? cap.compare(0, m->title.size(), m->title) == 0
                      : cap == m->title;
  if (ok && m->cls && !m->cls->empty() && ClassOf(h) != *m->cls) ok = false;
  if (ok) m->found.push_back(h);
  return TRUE;
}

// Visible top-level windows with that caption, topmost first.
std::vector<HWND> FindAll(const Context& cx, const std::wstring& title,
                          bool prefix) {
  Match m;
  m.title = title;
  m.prefix = prefix;
  m.cls = &cx.opt.cls;
  EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&m));
  return m.found;
}

bool SameId(UINT want, LONG_PTR have) {
  // Templates store -1 as 0xFFFF (classic) or 0xFFFFFFFF (extended).
  return (UINT)(have & 0xFFFF) == (want & 0xFFFF) &&
         (want > 0xFFFF ? (UINT)have == want : true);
}

struct IdSearch {
  UINT id;
  HWND hit;
};

BOOL CALLBACK FindId(HWND c, LPARAM lp) {
  IdSearch* s = reinterpret_cast<IdSearch*>(lp);
  if (SameId(s->id, GetWindowLongPtrW(c, GWLP_ID))) {
    s->hit = c;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK CollectChild(HWND c, LPARAM lp) {
  reinterpret_cast<std::vector<HWND>*>(lp)->push_back(c);
  return TRUE;
}

// Direct children first (the edit inside a drop-down combo box carries id
// 1001 of its own), then any descendant.
HWND FindControl(HWND top, UINT id) {
  for (HWND c = GetWindow(top, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (SameId(id, GetWindowLongPtrW(c, GWLP_ID))) return c;
  IdSearch s = {id, NULL};
  EnumChildWindows(top, FindId, reinterpret_cast<LPARAM>(&s));
  return s.hit;
}

const UINT kAnyControl = 0xFFFFFFFEu;
const UINT kMessageBox = 0xFFFFFFFDu;

bool IsButtonClass(HWND h) { return lstrcmpiW(ClassOf(h).c_str(), L"Button") == 0; }

// A message box: a dialog with the text in static 65535 and nothing but
// statics (text, icon) and buttons. Dialogs with -1 statics of their own
// also hold a 65535, but have other controls besides.
bool IsMessageBox(HWND h) {
  if (ClassOf(h) != L"#32770") return false;
  HWND text = FindControl(h, 0xFFFF);
  if (!text || lstrcmpiW(ClassOf(text).c_str(), L"Static") != 0) return false;
  for (HWND c = GetWindow(h, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    if (!IsButtonClass(c) && lstrcmpiW(ClassOf(c).c_str(), L"Static") != 0)
      return false;
  return true;
}

// Of several windows with one caption, -n picks by position. Otherwise, when
// the command names a control, only windows holding it count (so the dialog
// is found even while a message box of the same title is above it); of
// those the topmost enabled one wins (a message box above the dialog it
// disabled), and only when all are disabled the topmost one.
HWND Pick(const Context& cx, const std::vector<HWND>& all, UINT id) {
  if (cx.opt.nth >= 0) return cx.opt.nth < (int)all.size() ? all[cx.opt.nth] : NULL;
  std::vector<HWND> fit;
  for (HWND h : all)
    if (id == kAnyControl || (id == kMessageBox ? IsMessageBox(h) : FindControl(h, id) != NULL))
      fit.push_back(h);
  for (HWND h : fit)
    if (IsWindowEnabled(h)) return h;
  return fit.empty() ? NULL : fit[0];
}

BOOL CALLBACK DescribeTopLevel(HWND h, LPARAM lp) {
  std::string* s = reinterpret_cast<std::string*>(lp);
  if (!IsWindowVisible(h)) return TRUE;
  DWORD pid = 0;
  GetWindowThreadProcessId(h, &pid);
  char head[96];
  snprintf(head, sizeof head, " pid=%lu enabled=%d class=", (unsigned long)pid,
           IsWindowEnabled(h) ? 1 : 0);
  *s += Hwnd(h) + head + Narrow(ClassOf(h)) + " \"" + Narrow(WindowText(h)) +
        "\"\n";
  return TRUE;
}

std::string ListWindows() {
  std::string s;
  EnumWindows(DescribeTopLevel, reinterpret_cast<LPARAM>(&s));
  return s;
}

HWND WaitWindow(Context& cx, const std::wstring& title, bool prefix,
                int timeout_ms, UINT id = kAnyControl) {
  DWORD start = GetTickCount();
  for (;;) {
    HWND h = Pick(cx, FindAll(cx, title, prefix), id);
    if (h) return h;
    if ((int)(GetTickCount() - start) >= timeout_ms) break;
    Sleep(50);
  }
  std::string msg = std::string("no visible window ") +
                    (prefix ? "with caption prefix \"" : "titled \"") +
                    Narrow(title) + "\"";
  if (!cx.opt.cls.empty()) msg += " of class " + Narrow(cx.opt.cls);
  if (cx.opt.nth >= 0) msg += " at position " + std::to_string(cx.opt.nth);
  if (id == kMessageBox) msg += " that is a message box";
  else if (id != kAnyControl) msg += " holding control " + std::to_string(id);
  msg += " after " + std::to_string(timeout_ms) + " ms; visible windows:\n" +
         ListWindows();
  Fail(cx, msg);
  return NULL;
}

HWND Window(Context& cx, const std::wstring& title) {
  return WaitWindow(cx, title, false, Timeout(cx, kDefaultTimeoutMs));
}

bool ParseId(Context& cx, const std::wstring& arg, UINT* id) {
  long long v;
  if (!ParseNumber(arg, &v) || v < -1 || v > 0xFFFFFFFFLL) {
    Fail(cx, "bad control id \"" + Narrow(arg) + "\"");
    return false;
  }
  *id = (UINT)(v & 0xFFFFFFFFLL);
  if (v == -1) *id = 0xFFFF;
  return true;
}

// The window TITLE holding control ID (both waited for) and that control.
bool WindowAndControl(Context& cx, const Args& a, HWND* top, HWND* ctl) {
  UINT id;
  if (!ParseId(cx, a[1], &id)) return false;
  *top = WaitWindow(cx, a[0], false, Timeout(cx, kDefaultTimeoutMs), id);
  if (!*top) return false;
  *ctl = FindControl(*top, id);
  return *ctl != NULL;
}

// A user can act only on a visible, enabled control of an enabled window.
bool Usable(Context& cx, HWND top, HWND ctl, const char* what) {
  if (cx.opt.force) return true;
  std::string name = "\"" + Narrow(WindowText(top)) + "\"";
  if (!IsWindowEnabled(top)) {
    Fail(cx, std::string(what) + ": window " + name + " is disabled");
    return false;
  }
  if (ctl && !IsWindowVisible(ctl)) {
    Fail(cx, std::string(what) + ": control " +
                 std::to_string(GetWindowLongPtrW(ctl, GWLP_ID) & 0xFFFF) +
                 " of " + name + " is hidden");
    return false;
  }
  if (ctl && !IsWindowEnabled(ctl)) {
    Fail(cx, std::string(what) + ": control " +
                 std::to_string(GetWindowLongPtrW(ctl, GWLP_ID) & 0xFFFF) +
                 " of " + name + " is disabled");
    return false;
  }
  return true;
}

std::vector<HWND> Descendants(HWND top) {
  std::vector<HWND> all;
  EnumChildWindows(top, CollectChild, reinterpret_cast<LPARAM>(&all));
  return all;
}

HWND ButtonByText(Context& cx, HWND top, const std::wstring& text) {
  std::vector<HWND> all = Descendants(top);
  for (HWND c : all)
    if (IsButtonClass(c) && WindowText(c) == text) return c;
  for (HWND c : all)
    if (IsButtonClass(c) &&
        StripMnemonic(WindowText(c)) == StripMnemonic(text))
      return c;
  Fail(cx, "window \"" + Narrow(WindowText(top)) + "\" has no button \"" +
               Narrow(text) + "\"");
  return NULL;
}

// ------------------------------------------------------------ commands ----

typedef int (*Handler)(Context&, const Args&);

int CmdWait(Context& cx, const Args& a) {
  int ms = Timeout(cx, kDefaultWaitMs);
  long long v;
  if (a.size() > 1 && ParseNumber(a[1], &v)) ms = (int)v;
  HWND h = WaitWindow(cx, a[0], false, ms);
  if (!h) return 1;
  cx.out += Hwnd(h) + "\n";
  return 0;
}

int CmdWaitPrefix(Context& cx, const Args& a) {
  int ms = Timeout(cx, kDefaultWaitMs);
  long long v;
  if (a.size() > 1 && ParseNumber(a[1], &v)) ms = (int)v;
  HWND h = WaitWindow(cx, a[0], true, ms);
  if (!h) return 1;
  cx.out += Hwnd(h) + " " + Narrow(WindowText(h)) + "\n";
  return 0;
}

int CmdGone(Context& cx, const Args& a) {
  int ms = Timeout(cx, kDefaultWaitMs);
  long long v;
  if (a.size() > 1 && ParseNumber(a[1], &v)) ms = (int)v;
  DWORD start = GetTickCount();
  for (;;) {
    if (FindAll(cx, a[0], false).empty()) return 0;
    if ((int)(GetTickCount() - start) >= ms) break;
    Sleep(50);
  }
  Fail(cx, "window \"" + Narrow(a[0]) + "\" still there after " +
               std::to_string(ms) + " ms");
  return 1;
}

int CmdText(Context& cx, const Args& a) {
  HWND top, c;
  if (!WindowAndControl(cx, a, &top, &c)) return 1;
  std::wstring t;
  if (!ControlText(c, &t)) {
    Fail(cx, "control " + Narrow(a[1]) + " does not answer");
    return 1;
  }
  cx.out += Narrow(UnixLines(t)) + "\n";
  return 0;
}

int CmdCaption(Context& cx, const Args& a) {
  HWND top = WaitWindow(cx, a[0], true, Timeout(cx, kDefaultTimeoutMs));
  if (!top) return 1;
  cx.out += Narrow(WindowText(top)) + "\n";
  return 0;
}

int CmdMsgBox(Context& cx, const Args& a) {
  HWND top = WaitWindow(cx, a[0], false, Timeout(cx, kDefaultTimeoutMs), kMessageBox);
  if (!top) return 1;
  HWND c = FindControl(top, 0xFFFF);
  std::wstring t;
  if (!ControlText(c, &t)) {
    Fail(cx, "message box text does not answer");
    return 1;
  }
  std::string buttons;
  for (HWND b = GetWindow(top, GW_CHILD); b; b = GetWindow(b, GW_HWNDNEXT)) {
    if (!IsButtonClass(b) || !IsWindowVisible(b)) continue;
    if (!buttons.empty()) buttons += " ";
    buttons += "[" + Narrow(WindowText(b)) + "]";
  }
  cx.out += Narrow(UnixLines(t)) + "\n" + buttons + "\n";
  return 0;
}

int CmdSetText(Context& cx, const Args& a) {
  HWND top, c;
  if (!WindowAndControl(cx, a, &top, &c)) return 1;
  if (!Usable(cx, top, c, "settext")) return 1;
  DWORD_PTR r = 0;
  if (!SendMessageTimeoutW(c, WM_SETTEXT, 0, (LPARAM)a[2].c_str(),
                           SMTO_ABORTIFHUNG, kSendTimeoutMs, &r)) {
    Fail(cx, "settext: control " + Narrow(a[1]) +
                 " did not take the text in time");
    return 1;
  }
  return 0;
}

// A click is posted: the handler may run a long operation or a modal loop,
// and the driver must not wait for it.
int ClickControl(Context& cx, HWND top, HWND c) {
  if (!Usable(cx, top, c, "click")) return 1;
  if (!PostMessageW(c, BM_CLICK, 0, 0)) {
    Fail(cx, "click: cannot post to the control");
    return 1;
  }
  return 0;
}

int CmdClick(Context& cx, const Args& a) {
  HWND top, c;
  if (!WindowAndControl(cx, a, &top, &c)) return 1;
  return ClickControl(cx, top, c);
}

int CmdClickButton(Context& cx, const Args& a) {
  HWND top = Window(cx, a[0]);
  if (!top) return 1;
  HWND c = ButtonByText(cx, top, a[1]);
  if (!c) return 1;
  return ClickControl(cx, top, c);
}

int CmdEnabled(Context& cx, const Args& a) {
  HWND top, c;
  if (!WindowAndControl(cx, a, &top, &c)) return 1;
  cx.out += IsWindowEnabled(c) ? "1\n" : "0\n";
  return 0;
}

int CmdWindowEnabled(Context& cx, const Args& a) {
  HWND top = Window(cx, a[0]);
  if (!top) return 1;
  cx.out += IsWindowEnabled(top) ? "1\n" : "0\n";
  return 0;
}

int CmdCheck(Context& cx, const Args& a) {
  HWND top, c;
  if (!WindowAndControl(cx, a, &top, &c)) return 1;
  DWORD_PTR r = 0;
  if (!SendMessageTimeoutW(c, BM_GETCHECK, 0, 0, SMTO_ABORTIFHUNG,
                           kSendTimeoutMs, &r)) {
    Fail(cx, "check: control " + Narrow(a[1]) + " does not answer");
    return 1;
  }
  cx.out += std::to_string((int)r) + "\n";
  return 0;
}

bool ComboItems(Context& cx, HWND c, std::vector<std::wstring>* items,
                int* sel) {
  DWORD_PTR n = 0, cur = 0;
  if (!SendMessageTimeoutW(c, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG,
                           kSendTimeoutMs, &n) ||
      !SendMessageTimeoutW(c, CB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG,
                           kSendTimeoutMs, &cur)) {
    Fail(cx, "combo box does not answer");
    return false;
  }
  if ((LRESULT)n == CB_ERR) {
    Fail(cx, "control is not a combo box");
    return false;
  }
  for (int i = 0; i < (int)n; ++i) {
    DWORD_PTR len = 0;
    SendMessageTimeoutW(c, CB_GETLBTEXTLEN, i, 0, SMTO_ABORTIFHUNG,
                        kSendTimeoutMs, &len);
    std::vector<wchar_t> buf(len + 2, L'\0');
    DWORD_PTR got = 0;
    SendMessageTimeoutW(c, CB_GETLBTEXT, i, (LPARAM)&buf[0], SMTO_ABORTIFHUNG,
                        kSendTimeoutMs, &got);
    if ((LRESULT)got == CB_ERR) got = 0;
    items->push_back(std::wstring(&buf[0], got));
  }
  *sel = (int)(LRESULT)cur;
  return true;
}

int CmdCombo(Context& cx, const Args& a) {
  HWND top, c;
  if (!WindowAndControl(cx, a, &top, &c)) return 1;
  std::vector<std::wstring> items;
  int sel;
  if (!ComboItems(cx, c, &items, &sel)) return 1;
  for (int i = 0; i < (int)items.size(); ++i)
    cx.out += std::string(i == sel ? "* " : "  ") + Narrow(items[i]) + "\n";
  return 0;
}

int CmdComboSel(Context& cx, const Args& a) {
  HWND top, c;
  if (!WindowAndControl(cx, a, &top, &c)) return 1;
  std::vector<std::wstring> items;
  int sel;
  if (!ComboItems(cx, c, &items, &sel)) return 1;
  cx.out += std::to_string(sel) + "\n";
  return 0;
}

// Selects like a user: the box changes, then its parent hears CBN_SELCHANGE.
int CmdSelect(Context& cx, const Args& a) {
  long long index;
  if (!ParseNumber(a[2], &index)) {
    Fail(cx, "select: bad index \"" + Narrow(a[2]) + "\"");
    return 2;
  }
  HWND top, c;
  if (!WindowAndControl(cx, a, &top, &c)) return 1;
  if (!Usable(cx, top, c, "select")) return 1;
  DWORD_PTR r = 0;
  if (!SendMessageTimeoutW(c, CB_SETCURSEL, (WPARAM)index, 0, SMTO_ABORTIFHUNG,
                           kSendTimeoutMs, &r)) {
    Fail(cx, "select: combo box does not answer");
    return 1;
  }
  if ((LRESULT)r != index) {
    Fail(cx, "select: combo box " + Narrow(a[1]) + " has no item " +
                 std::to_string(index));
    return 1;
  }
  HWND parent = GetParent(c);
  PostMessageW(parent, WM_COMMAND,
               MAKEWPARAM(GetWindowLongPtrW(c, GWLP_ID) & 0xFFFF, CBN_SELCHANGE),
               (LPARAM)c);
  return 0;
}

std::wstring DosPath(const std::wstring& p) {
  if (p.empty() || p[0] != L'/') return p;
  typedef WCHAR*(CDECL * ToDos)(const char*);
  ToDos to_dos = (ToDos)(void*)GetProcAddress(GetModuleHandleW(L"kernel32.dll"),
                                              "wine_get_dos_file_name");
  if (!to_dos) return p;
  WCHAR* w = to_dos(Narrow(p).c_str());
  if (!w) return p;
  std::wstring r = w;
  HeapFree(GetProcessHeap(), 0, w);
  return r;
}

// Files dropped like a drag from the shell. The HDROP must live in the
// target process (no system marshals WM_DROPFILES), so the DROPFILES block is
// written into memory allocated there; a fixed HGLOBAL is its own address.
int CmdDrop(Context& cx, const Args& a) {
  HWND top = Window(cx, a[0]);
  if (!top) return 1;
  if (!Usable(cx, top, NULL, "drop")) return 1;
  if (!cx.opt.force && !(GetWindowLongPtrW(top, GWL_EXSTYLE) & WS_EX_ACCEPTFILES)) {
    Fail(cx, "drop: window \"" + Narrow(a[0]) + "\" does not accept files");
    return 1;
  }
  std::vector<wchar_t> names;
  for (size_t i = 1; i < a.size(); ++i) {
    std::wstring p = DosPath(a[i]);
    names.insert(names.end(), p.begin(), p.end());
    names.push_back(L'\0');
  }
  names.push_back(L'\0');
  RECT rc;
  GetClientRect(top, &rc);
  DROPFILES df;
  memset(&df, 0, sizeof df);
  df.pFiles = sizeof df;
  df.pt.x = (rc.right - rc.left) / 2;
  df.pt.y = (rc.bottom - rc.top) / 2;
  df.fNC = FALSE;
  df.fWide = TRUE;
  std::vector<char> block(sizeof df + names.size() * sizeof(wchar_t));
  memcpy(&block[0], &df, sizeof df);
  memcpy(&block[sizeof df], &names[0], names.size() * sizeof(wchar_t));

  DWORD pid = 0;
  GetWindowThreadProcessId(top, &pid);
  HANDLE proc = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, pid);
  if (!proc) {
    Fail(cx, "drop: cannot open process " + std::to_string(pid));
    return 1;
  }
  void* remote = VirtualAllocEx(proc, NULL, block.size(),
                                MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  SIZE_T written = 0;
  bool ok = remote && WriteProcessMemory(proc, remote, &block[0], block.size(),
                                         &written) &&
            written == block.size();
  CloseHandle(proc);
  if (!ok) {
    Fail(cx, "drop: cannot place the file list in process " +
                 std::to_string(pid));
    return 1;
  }
  if (!PostMessageW(top, WM_DROPFILES, (WPARAM)remote, 0)) {
    Fail(cx, "drop: cannot post WM_DROPFILES");
    return 1;
  }
  return 0;
}

struct KeyName {
  const wchar_t* name;
  UINT vk;
};

const KeyName kKeys[] = {
    {L"escape", VK_ESCAPE}, {L"esc", VK_ESCAPE},   {L"enter", VK_RETURN},
    {L"return", VK_RETURN}, {L"tab", VK_TAB},      {L"space", VK_SPACE},
    {L"backspace", VK_BACK}, {L"delete", VK_DELETE}, {L"up", VK_UP},
    {L"down", VK_DOWN},     {L"left", VK_LEFT},    {L"right", VK_RIGHT},
    {L"home", VK_HOME},     {L"end", VK_END},      {L"f1", VK_F1},
    {L"f4", VK_F4},
};

// Keys are posted to the control that has the focus in the target's thread
// (or the window itself), where the dialog's own loop turns Esc and Enter
// into its commands. "alt+X" posts the mnemonic X.
int CmdKey(Context& cx, const Args& a) {
  HWND top = Window(cx, a[0]);
  if (!top) return 1;
  if (!Usable(cx, top, NULL, "key")) return 1;
  std::wstring k = a[1];
  for (auto& ch : k) ch = (wchar_t)towlower(ch);
  DWORD tid = GetWindowThreadProcessId(top, NULL);
  GUITHREADINFO gti;
  memset(&gti, 0, sizeof gti);
  gti.cbSize = sizeof gti;
  HWND target = top;
  if (GetGUIThreadInfo(tid, &gti) && gti.hwndFocus &&
      (gti.hwndFocus == top || IsChild(top, gti.hwndFocus)))
    target = gti.hwndFocus;

  if (k.size() == 5 && k.compare(0, 4, L"alt+") == 0) {
    PostMessageW(target, WM_SYSCHAR, k[4], (1 << 29) | 1);
    return 0;
  }
  UINT vk = 0;
  for (const KeyName& kn : kKeys)
    if (k == kn.name) vk = kn.vk;
  long long v;
  if (!vk && k.size() == 1) vk = LOBYTE(VkKeyScanW(k[0]));
  if (!vk && ParseNumber(k, &v)) vk = (UINT)v;
  if (!vk) {
    Fail(cx, "key: unknown key \"" + Narrow(a[1]) + "\"");
    return 2;
  }
  UINT scan = MapVirtualKeyW(vk, 0 /* MAPVK_VK_TO_VSC */);
  PostMessageW(target, WM_KEYDOWN, vk, 1 | (scan << 16));
  PostMessageW(target, WM_KEYUP, vk, 1 | (scan << 16) | (3u << 30));
  return 0;
}

// The close box (or the system menu's Close).
int CmdClose(Context& cx, const Args& a) {
  HWND top = Window(cx, a[0]);
  if (!top) return 1;
  if (!Usable(cx, top, NULL, "close")) return 1;
  PostMessageW(top, WM_SYSCOMMAND, SC_CLOSE, 0);
  return 0;
}

std::string RectText(const RECT& r) {
  return std::to_string(r.left) + " " + std::to_string(r.top) + " " +
         std::to_string(r.right) + " " + std::to_string(r.bottom) + "\n";
}

// The window's rectangle on the screen: left top right bottom.
int CmdRect(Context& cx, const Args& a) {
  HWND top = Window(cx, a[0]);
  if (!top) return 1;
  RECT r;
  if (!GetWindowRect(top, &r)) {
    Fail(cx, "rect: no rectangle for \"" + Narrow(a[0]) + "\"");
    return 1;
  }
  cx.out += RectText(r);
  return 0;
}

// Moves the window's top-left corner to X Y on the screen, as a user
// dragging its caption would.
int CmdMove(Context& cx, const Args& a) {
  long long x, y;
  if (!ParseNumber(a[1], &x) || !ParseNumber(a[2], &y)) {
    Fail(cx, "move: bad position");
    return 2;
  }
  HWND top = Window(cx, a[0]);
  if (!top) return 1;
  if (!SetWindowPos(top, NULL, (int)x, (int)y, 0, 0,
                    SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE)) {
    Fail(cx, "move: cannot move \"" + Narrow(a[0]) + "\"");
    return 1;
  }
  return 0;
}

// The work area (the screen without task bars) of the monitor that shows
// the window, or of the primary monitor: left top right bottom.
int CmdWorkArea(Context& cx, const Args& a) {
  HWND top = NULL;
  if (!a.empty() && !(top = Window(cx, a[0]))) return 1;
  MONITORINFO mi;
  mi.cbSize = sizeof mi;
  if (!GetMonitorInfoW(MonitorFromWindow(top, MONITOR_DEFAULTTOPRIMARY), &mi)) {
    Fail(cx, "workarea: no monitor");
    return 1;
  }
  cx.out += RectText(mi.rcWork);
  return 0;
}

int CmdList(Context& cx, const Args&) {
  cx.out += ListWindows();
  return 0;
}

int CmdChildren(Context& cx, const Args& a) {
  HWND top = Window(cx, a[0]);
  if (!top) return 1;
  for (HWND c : Descendants(top)) {
    std::wstring t;
    if (!ControlText(c, &t)) t = WindowText(c);
    char head[64];
    snprintf(head, sizeof head, "%u enabled=%d visible=%d class=",
             (unsigned)(GetWindowLongPtrW(c, GWLP_ID) & 0xFFFF),
             IsWindowEnabled(c) ? 1 : 0, IsWindowVisible(c) ? 1 : 0);
    cx.out += head + Narrow(ClassOf(c)) + " \"" + Narrow(UnixLines(t)) + "\"\n";
  }
  return 0;
}

int CmdFocus(Context& cx, const Args& a) {
  HWND top = Window(cx, a[0]);
  if (!top) return 1;
  GUITHREADINFO gti;
  memset(&gti, 0, sizeof gti);
  gti.cbSize = sizeof gti;
  DWORD tid = GetWindowThreadProcessId(top, NULL);
  if (!GetGUIThreadInfo(tid, &gti) || !gti.hwndFocus ||
      !IsChild(top, gti.hwndFocus)) {
    cx.out += "none\n";
    return 0;
  }
  cx.out += std::to_string(GetWindowLongPtrW(gti.hwndFocus, GWLP_ID) & 0xFFFF) +
            "\n";
  return 0;
}

int CmdSleep(Context& cx, const Args& a) {
  long long ms;
  if (!ParseNumber(a[0], &ms) || ms < 0) {
    Fail(cx, "sleep: bad time");
    return 2;
  }
  Sleep((DWORD)ms);
  return 0;
}

int CmdEcho(Context& cx, const Args& a) {
  std::string s;
  for (size_t i = 0; i < a.size(); ++i) s += (i ? " " : "") + Narrow(a[i]);
  cx.out += s + "\n";
  return 0;
}

int RunCommand(Context& cx, const Args& words);

std::string Chomp(const std::string& s) {
  std::string r = s;
  while (!r.empty() && r[r.size() - 1] == '\n') r.erase(r.size() - 1);
  return r;
}

// expect EXPECTED COMMAND ARGS...: the command's output (without the last
// newline) must equal EXPECTED.
int CmdExpect(Context& cx, const Args& a) {
  Context inner;
  inner.opt = cx.opt;
  Args rest(a.begin() + 1, a.end());
  int rc = RunCommand(inner, rest);
  if (rc != 0) {
    Fail(cx, "expect: command failed: " + inner.last_error);
    return rc;
  }
  std::string got = Chomp(inner.out), want = Narrow(a[0]);
  if (got != want) {
    Fail(cx, "expected \"" + want + "\" from " + Narrow(a[1]) + ", got \"" +
                 got + "\"");
    return 1;
  }
  return 0;
}

// until EXPECTED COMMAND ARGS...: repeats the command until its output equals
// EXPECTED or the time (-t, default 20 s) runs out.
int CmdUntil(Context& cx, const Args& a) {
  int ms = Timeout(cx, kDefaultWaitMs);
  Args rest(a.begin() + 1, a.end());
  std::string want = Narrow(a[0]), got;
  int rc = 0;
  std::string err;
  DWORD start = GetTickCount();
  for (;;) {
    Context inner;
    inner.opt = cx.opt;
    inner.opt.timeout_ms = 0;
    inner.quiet = true;
    rc = RunCommand(inner, rest);
    got = Chomp(inner.out);
    err = inner.last_error;
    if (rc == 0 && got == want) return 0;
    if (rc == 2) break;
    if ((int)(GetTickCount() - start) >= ms) break;
    Sleep(50);
  }
  if (rc != 0)
    Fail(cx, "until: \"" + want + "\" not reached in " + std::to_string(ms) +
                 " ms; last attempt failed: " + err);
  else
    Fail(cx, "until: \"" + want + "\" not reached in " + std::to_string(ms) +
                 " ms from " + Narrow(a[1]) + "; last output \"" + got + "\"");
  return rc == 2 ? 2 : 1;
}

struct Command {
  const wchar_t* name;
  size_t min_args, max_args;
  Handler fn;
  const char* usage;
};

const Command kCommands[] = {
    {L"wait", 1, 2, CmdWait, "wait TITLE [MS]"},
    {L"waitprefix", 1, 2, CmdWaitPrefix, "waitprefix PREFIX [MS]"},
    {L"gone", 1, 2, CmdGone, "gone TITLE [MS]"},
    {L"caption", 1, 1, CmdCaption, "caption PREFIX"},
    {L"text", 2, 2, CmdText, "text TITLE ID"},
    {L"msgbox", 1, 1, CmdMsgBox, "msgbox TITLE"},
    {L"settext", 3, 3, CmdSetText, "settext TITLE ID TEXT"},
    {L"click", 2, 2, CmdClick, "click TITLE ID"},
    {L"clickbutton", 2, 2, CmdClickButton, "clickbutton TITLE BUTTONTEXT"},
    {L"enabled", 2, 2, CmdEnabled, "enabled TITLE ID"},
    {L"iswindowenabled", 1, 1, CmdWindowEnabled, "iswindowenabled TITLE"},
    {L"check", 2, 2, CmdCheck, "check TITLE ID"},
    {L"combo", 2, 2, CmdCombo, "combo TITLE ID"},
    {L"combosel", 2, 2, CmdComboSel, "combosel TITLE ID"},
    {L"select", 3, 3, CmdSelect, "select TITLE ID INDEX"},
    {L"drop", 2, 1000, CmdDrop, "drop TITLE PATH..."},
    {L"key", 2, 2, CmdKey, "key TITLE KEY"},
    {L"close", 1, 1, CmdClose, "close TITLE"},
    {L"list", 0, 0, CmdList, "list"},
    {L"rect", 1, 1, CmdRect, "rect TITLE"},
    {L"move", 3, 3, CmdMove, "move TITLE X Y"},
    {L"workarea", 0, 1, CmdWorkArea, "workarea [TITLE]"},
    {L"children", 1, 1, CmdChildren, "children TITLE"},
    {L"focus", 1, 1, CmdFocus, "focus TITLE"},
    {L"sleep", 1, 1, CmdSleep, "sleep MS"},
    {L"echo", 0, 1000, CmdEcho, "echo TEXT..."},
    {L"expect", 2, 1000, CmdExpect, "expect EXPECTED COMMAND ARGS..."},
    {L"until", 2, 1000, CmdUntil, "until EXPECTED COMMAND ARGS..."},
};

void Usage() {
  std::string s =
      "usage: pvxdrive [-t MS] [-c CLASS] [-n N] [-f] COMMAND ARGS...\n"
      "       pvxdrive run FILE|-   (one command a line, '#' comments)\n"
      "commands:\n";
  for (const Command& c : kCommands) s += std::string("  ") + c.usage + "\n";
  WriteRaw(STD_ERROR_HANDLE, s);
}

// Options may lead any command line: -t MS, -c CLASS, -n N, -f.
int RunCommand(Context& cx, const Args& words) {
  size_t i = 0;
  while (i < words.size() && words[i].size() == 2 && words[i][0] == L'-') {
    wchar_t o = words[i][1];
    long long v;
    if (o == L'f') {
      cx.opt.force = true;
      ++i;
      continue;
    }
    if (i + 1 >= words.size()) break;
    if (o == L't' && ParseNumber(words[i + 1], &v)) cx.opt.timeout_ms = (int)v;
    else if (o == L'n' && ParseNumber(words[i + 1], &v)) cx.opt.nth = (int)v;
    else if (o == L'c') cx.opt.cls = words[i + 1];
    else break;
    i += 2;
  }
  if (i >= words.size()) {
    Fail(cx, "no command");
    return 2;
  }
  for (const Command& c : kCommands) {
    if (words[i] != c.name) continue;
    Args rest(words.begin() + i + 1, words.end());
    if (rest.size() < c.min_args || rest.size() > c.max_args) {
      Fail(cx, std::string("usage: ") + c.usage);
      return 2;
    }
    return c.fn(cx, rest);
  }
  Fail(cx, "unknown command \"" + Narrow(words[i]) + "\"");
  return 2;
}

// Words of a script line: blanks separate; "..." or '...' keep blanks (no
// escapes, so Windows paths stay as written).
Args SplitLine(const std::wstring& line) {
  Args words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == L' ' || line[i] == L'\t')) ++i;
    if (i >= line.size()) break;
    std::wstring w;
    bool any = false;
    while (i < line.size() && line[i] != L' ' && line[i] != L'\t') {
      if (line[i] == L'"' || line[i] == L'\'') {
        wchar_t q = line[i++];
        while (i < line.size() && line[i] != q) w += line[i++];
        if (i < line.size()) ++i;
        any = true;
      } else {
        w += line[i++];
        any = true;
      }
    }
    if (any) words.push_back(w);
  }
  return words;
}

bool ReadAll(const std::wstring& path, std::string* data) {
  HANDLE h;
  if (path == L"-") {
    h = GetStdHandle(STD_INPUT_HANDLE);
  } else {
    h = CreateFileW(DosPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, NULL,
                    OPEN_EXISTING, 0, NULL);
  }
  if (h == INVALID_HANDLE_VALUE || h == NULL) return false;
  char buf[4096];
  DWORD got;
  while (ReadFile(h, buf, sizeof buf, &got, NULL) && got > 0)
    data->append(buf, got);
  if (path != L"-") CloseHandle(h);
  return true;
}

int RunScript(const std::wstring& path) {
  std::string data;
  if (!ReadAll(path, &data)) {
    WriteRaw(STD_ERROR_HANDLE,
             "pvxdrive: cannot read script " + Narrow(path) + "\n");
    return 2;
  }
  std::wstring text = UnixLines(Widen(data));
  size_t pos = 0;
  int lineno = 0;
  while (pos < text.size()) {
    size_t nl = text.find(L'\n', pos);
    if (nl == std::wstring::npos) nl = text.size();
    std::wstring line = text.substr(pos, nl - pos);
    pos = nl + 1;
    ++lineno;
    Args words = SplitLine(line);
    if (words.empty() || words[0][0] == L'#') continue;
    Context cx;
    int rc = RunCommand(cx, words);
    WriteRaw(STD_OUTPUT_HANDLE, cx.out);
    if (rc != 0) {
      WriteRaw(STD_ERROR_HANDLE, "pvxdrive: script " + Narrow(path) +
                                     " stopped at line " +
                                     std::to_string(lineno) + ": " +
                                     Narrow(line) + "\n");
      return rc;
    }
  }
  return 0;
}

}  // namespace

int main() {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc < 2) {
    Usage();
    return 2;
  }
  Args words(argv + 1, argv + argc);
  LocalFree(argv);
  if (words[0] == L"run") {
    if (words.size() != 2) {
      Usage();
      return 2;
    }
    return RunScript(words[1]);
  }
  if (words[0] == L"help" || words[0] == L"-h" || words[0] == L"--help") {
    Usage();
    return 0;
  }
  Context cx;
  int rc = RunCommand(cx, words);
  WriteRaw(STD_OUTPUT_HANDLE, cx.out);
  return rc;
}
