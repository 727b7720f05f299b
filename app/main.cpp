#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "app/application.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR cmdLine, int cmdShow) {
  // DLLs loaded from here on come from system32 only, so that none put beside
  // the exe (a Downloads folder, a per-user install folder) stands in for one
  // of Windows'. Its failure is ignored: there is nothing to fall back to, and
  // the program runs on with the default search.
  ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  ::CoInitialize(nullptr);
  // Makes sure user32 is loaded and initialised before anything else runs.
  ::DefWindowProcW(nullptr, 0, 0, 0);
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&icc);
  vl::g_module.Init(instance);

  int result = 0;
  try {
    result = vl::Run(cmdLine, cmdShow);
  } catch (...) {
    // Only a missing string resource can get here; the program shows nothing,
    // but the exit code says it failed.
    result = 2;
  }

  vl::g_module.Term();
  ::CoUninitialize();
  return result;
}
