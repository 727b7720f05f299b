#include "support/system_functions.h"

namespace my {

const SystemFunctions& SystemFunctions::Get() {
  static const CLibrary dwm = LoadSystemLibrary(L"dwmapi.dll");
  static const CLibrary wts = LoadSystemLibrary(L"wtsapi32.dll");
  static const SystemFunctions functions = [] {
    SystemFunctions f;
    f.GetWindowAttribute =
        LibraryFunction<decltype(f.GetWindowAttribute)>(dwm, "DwmGetWindowAttribute");
    f.RegisterSessionNotification = LibraryFunction<decltype(f.RegisterSessionNotification)>(
        wts, "WTSRegisterSessionNotification");
    f.UnRegisterSessionNotification = LibraryFunction<decltype(f.UnRegisterSessionNotification)>(
        wts, "WTSUnRegisterSessionNotification");
    return f;
  }();
  return functions;
}

}  // namespace my
