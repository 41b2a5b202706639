// Parvex.exe's entry point: no C run-time start-up runs before it.
#include <windows.h>

#include <commctrl.h>

#include "tool/parvex_app.h"

extern "C" __attribute__((externally_visible, used)) void WinMainCRTStartup() {
  InitCommonControls();  // registers the progress bar's window class
  pvx::CParvexApp app;
  app.InitInstance();
  ExitProcess(0);
}
