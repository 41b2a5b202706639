// A thin dialog class over the Win32 dialog manager, for the Windows
// programs' own dialogs (no framework). The object travels to the dialog
// procedure as the creation parameter; each dialog overrides OnInitDialog,
// OnOK, OnCancel and DoDataExchange, and switches on control ids in
// OnCommand. Texts are UTF-8 on this side and UTF-16 towards Windows.
// Modal or modeless, a top-level dialog that OnInitDialog did not move opens
// centred over its owner (on its monitor's work area when it has none) and
// inside that work area.
//
// Compiled into the CRT-free stub: no C++ run-time parts here.
#pragma once

#include <stddef.h>
#include <windows.h>

// The program's own module: the linker places the DOS header of the image
// at this symbol.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace pvx {

// This program's instance handle, without asking the system.
inline HINSTANCE ThisModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

// Where a top-level dialog opens when its initialisation left it where the
// dialog manager put it. Each program links the definition that suits it:
// Parvex.exe platform/win32/place_dialog.cpp, the stub the smaller
// platform/win32/place_over_owner.cpp.
void PlaceDialog(HWND window);

// The room for a control text that the layer moves, in UTF-16 units with
// the terminator.
constexpr int kDialogTextCap = 1024;

class CDialog {
 public:
  explicit CDialog(UINT template_id);

  // Runs the dialog modally from this program's template. Returns the value
  // given to EndDialog, or -1 when the dialog could not be created.
  INT_PTR DoModal(HWND owner);
  // Creates the dialog modeless and returns; false when it cannot be made.
  bool Create(HWND owner);
  // Destroys the window (if any). The object stays usable.
  virtual BOOL DestroyWindow();
  // Ends a modal dialog with result.
  void EndDialog(INT_PTR result);

  HWND GetSafeHwnd() const { return m_hWnd; }
  HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }

  // Moves the fields into the controls (save false) or the controls into the
  // fields (save true) through DoDataExchange. While the fields are written,
  // the notifications that the controls raise are not dispatched. False
  // when a control's text does not fit its field.
  bool UpdateData(bool save);

  // Window and control texts, UTF-8.
  void SetCaption(const char* text) { SetText(m_hWnd, text); }
  void SetItemText(int id, const char* text) { SetText(GetDlgItem(id), text); }
  // False (out empty) when the text does not fit cap bytes or is longer
  // than kDialogTextCap - 2 UTF-16 units.
  bool GetItemText(int id, char* out, size_t cap) const;
  // The text of any window, UTF-8.
  static void SetText(HWND window, const char* text);

 protected:
  // Leaves the window alone: a modal dialog's window is gone when DoModal
  // returns, and a modeless dialog destroys its window in its own
  // destructor (CProgressDlg does), before the object that the dialog
  // procedure reaches goes. Nothing to do here also means no table of
  // virtual functions of this class in the programs. Dialogs live on the
  // stack or inside their owner; none is deleted through this class.
  ~CDialog() = default;

  // Called when the window has been created: UpdateData(false). Returns
  // TRUE to give the focus to the first tab stop.
  virtual BOOL OnInitDialog();
  // Exchanges every field; save as in UpdateData. Returns false when a
  // text did not fit. The base exchanges nothing.
  virtual bool DoDataExchange(bool save);
  // IDOK (the default button, Enter): UpdateData(true), then EndDialog(IDOK).
  virtual void OnOK();
  // IDCANCEL (Esc, the close box): EndDialog(IDCANCEL).
  virtual void OnCancel();
  // WM_COMMAND from control id with its notification code. Returns true
  // when handled. The base routes IDOK to OnOK and IDCANCEL to OnCancel;
  // overrides switch on their own ids and fall back to it.
  virtual bool OnCommand(int id, int code, HWND control);
  // Any other message. Returns true when handled, with *result the dialog
  // procedure's return value (set DWLP_MSGRESULT where the message needs
  // it). The base handles nothing.
  virtual bool OnMessage(UINT message, WPARAM wparam, LPARAM lparam,
                         INT_PTR* result);

  // The text of edit or static control id <-> a UTF-8 field of cap bytes.
  // False when reading and the text does not fit (the field is then empty).
  bool DdxText(bool save, int id, char* field, size_t cap);

  HWND m_hWnd = nullptr;

 private:
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wparam,
                                     LPARAM lparam);

  UINT m_nIDTemplate;
  bool m_bWriting = false;  // UpdateData(false) is filling the controls
};

}  // namespace pvx
