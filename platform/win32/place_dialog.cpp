// Where Parvex.exe opens a dialog (see PlaceDialog in dialog.h).
#include "platform/win32/dialog.h"

namespace pvx {

// Parvex.exe's placement: centred over the owner, or on the work area of
// the dialog's monitor when it has no owner (or the owner is hidden or
// minimized), and moved inside that work area where it would stick out.
void PlaceDialog(HWND window) {
  HWND owner = GetWindow(window, GW_OWNER);
  if (owner && (GetWindowLongW(owner, GWL_STYLE) & (WS_VISIBLE | WS_MINIMIZE)) !=
                   WS_VISIBLE)
    owner = nullptr;
  MONITORINFO monitor;
  monitor.cbSize = sizeof monitor;
  if (!GetMonitorInfoW(MonitorFromWindow(owner ? owner : window,
                                         MONITOR_DEFAULTTOPRIMARY),
                       &monitor))
    return;
  // Left, top, right, bottom: the work area, what to centre over, and the
  // window. Both axes go the same way.
  const LONG* area = &monitor.rcWork.left;
  RECT over_rect = monitor.rcWork;
  if (owner) GetWindowRect(owner, &over_rect);
  RECT self_rect;
  GetWindowRect(window, &self_rect);
  const LONG* over = &over_rect.left;
  const LONG* self = &self_rect.left;
  LONG at[2];
  for (int i = 0; i < 2; ++i) {
    LONG size = self[i + 2] - self[i];
    LONG p = (over[i] + over[i + 2]) / 2 - size / 2;
    if (p + size > area[i + 2]) p = area[i + 2] - size;
    if (p < area[i]) p = area[i];
    at[i] = p;
  }
  SetWindowPos(window, nullptr, at[0], at[1], 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace pvx
