// Where the stub opens a dialog (see PlaceDialog in dialog.h), in fewer
// bytes than Parvex.exe's placement: an owned dialog (the progress window)
// is centred over its owner, the stub's own dialog, which is never
// minimized or hidden while the stub works; a dialog without an owner is
// left where the system put it, and the stub's dialog template asks the
// system to centre it on the work area (DS_CENTER).
#include "platform/win32/dialog.h"

namespace pvx {

void PlaceDialog(HWND window) {
  HWND owner = GetWindow(window, GW_OWNER);
  if (!owner) return;
  RECT o, w;
  GetWindowRect(owner, &o);
  GetWindowRect(window, &w);
  SetWindowPos(window, nullptr, (o.left + o.right) / 2 - (w.right - w.left) / 2,
               (o.top + o.bottom) / 2 - (w.bottom - w.top) / 2, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace pvx
