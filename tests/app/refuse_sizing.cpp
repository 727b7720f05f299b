// A CBT hook that refuses the system's sizing command for a window without a
// sizing frame, as Windows does and Wine does not. Installed for the whole
// desktop by `vellora_picture.exe --refuse-sizing <this dll>`, so that the
// end-to-end suite sizes the real program under Windows' rule; Wine loads the
// DLL into every program of the prefix that runs the hook.
#include <windows.h>

extern "C" __declspec(dllexport) LRESULT CALLBACK
    RefuseSizingWithoutFrame(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_SYSCOMMAND && (wParam & 0xFFF0) == SC_SIZE) {
    // The hook is not told the window; the command comes from the active one.
    HWND window = ::GetActiveWindow();
    if (!window || !(::GetWindowLongW(window, GWL_STYLE) & WS_THICKFRAME)) return 1;
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
