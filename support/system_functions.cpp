#include "support/system_functions.h"

namespace my {

const SystemFunctions& SystemFunctions::Get() {
  static const CLibrary dwm(L"dwmapi.dll");
  static const CLibrary wts(L"wtsapi32.dll");
  static const SystemFunctions functions = [] {
    SystemFunctions f;
    f.GetWindowAttribute = dwm.Function<decltype(f.GetWindowAttribute)>("DwmGetWindowAttribute");
    f.RegisterSessionNotification =
        wts.Function<decltype(f.RegisterSessionNotification)>("WTSRegisterSessionNotification");
    f.UnRegisterSessionNotification =
        wts.Function<decltype(f.UnRegisterSessionNotification)>("WTSUnRegisterSessionNotification");
    return f;
  }();
  return functions;
}

}  // namespace my
