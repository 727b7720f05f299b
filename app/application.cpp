#include "app/application.h"

#include "app/ui_window.h"
#include "settings/setting.h"

namespace vl {

fw::CAppModule g_module;

int Run(LPWSTR /*cmdLine: the program takes no options*/, int cmdShow) {
  g_setting.Load();  // on a first run the defaults stay
  // Brought back after an update restart, where the user lets Windows restart
  // apps; not after a crash or a hang. Nothing to do if it fails.
  ::RegisterApplicationRestart(L"", RESTART_NO_CRASH | RESTART_NO_HANG);

  fw::CMessageLoop loop;
  g_module.AddMessageLoop(&loop);

  CUIWindow window;
  if (!window.Create(nullptr)) {
    g_module.RemoveMessageLoop();
    return kExitNoWindow;  // nothing was shown, so nothing is saved
  }
  // A window that its stored placement has just maximised is shown already.
  // A plain "show" from whoever started us would restore it, keeping the
  // maximised size as its normal one and losing the stored place.
  const bool plainShow =
      cmdShow == SW_SHOWNORMAL || cmdShow == SW_SHOWDEFAULT || cmdShow == SW_SHOW;
  if (!(plainShow && ::IsZoomed(window))) window.ShowWindow(cmdShow);
  const int exitCode = loop.Run();
  g_setting.Save();  // with the placement captured as the window closed
  g_module.RemoveMessageLoop();
  return exitCode;
}

}  // namespace vl
