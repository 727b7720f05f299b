// What Windows does and Wine does not, put back for the end-to-end suite: a
// DLL whose CBT hook `vellora_picture.exe --windows-rules <this dll>`
// installs for the whole desktop, so that Wine loads it into every program of
// the prefix.
// - The hook refuses the system's sizing command for a window without a
//   sizing frame, as Windows does.
// - With VELLORA_HOOK_TICK=1 in a program's environment, the program's
//   SetTimer gets periods rounded up to whole ticks of Windows' system clock
//   (15.625 ms), where Wine fires timers on the millisecond.
// - With VELLORA_HOOK_COPY_LOG=<file>, every copy onto a layered window of
//   the program (the mirror's view) appends a line "<time> copy <width>
//   <height> <window width> <window height>" to that file: what is shown,
//   however it was drawn, and how much of it; and every timer message the
//   program's own loop dispatches appends "<time> timer": its wake-ups.
//   Times are microseconds of the performance counter.
#include <windows.h>

#include <cstdio>
#include <cwchar>

namespace {

FARPROC g_setTimer = nullptr;
FARPROC g_bitBlt = nullptr;
FARPROC g_dispatch = nullptr;
HANDLE g_copyLog = INVALID_HANDLE_VALUE;

void Log(const char* what, int cx = 0, int cy = 0, HWND window = nullptr) {
  LARGE_INTEGER now{}, frequency{};
  ::QueryPerformanceCounter(&now);
  ::QueryPerformanceFrequency(&frequency);
  RECT client{};
  if (window) ::GetClientRect(window, &client);
  char line[96];
  int n = std::snprintf(
      line, sizeof line, "%lld %s",
      static_cast<long long>(now.QuadPart / frequency.QuadPart * 1000000 +
                             now.QuadPart % frequency.QuadPart * 1000000 / frequency.QuadPart),
      what);
  if (window)
    n += std::snprintf(line + n, sizeof line - static_cast<size_t>(n), " %d %d %ld %ld", cx, cy,
                       client.right, client.bottom);
  line[n++] = '\n';
  DWORD written = 0;
  ::WriteFile(g_copyLog, line, static_cast<DWORD>(n), &written, nullptr);
}

UINT_PTR WINAPI SetTimerOnTheTick(HWND hwnd, UINT_PTR id, UINT elapse, TIMERPROC proc) {
  constexpr UINT kTickMicroseconds = 15625;
  const UINT ticks = (elapse * 1000 + kTickMicroseconds - 1) / kTickMicroseconds;
  const UINT rounded = (ticks * kTickMicroseconds + 500) / 1000;
  return reinterpret_cast<decltype(&::SetTimer)>(reinterpret_cast<void*>(g_setTimer))(
      hwnd, id, rounded > elapse ? rounded : elapse, proc);
}

BOOL WINAPI BitBltLogged(HDC dest, int x, int y, int cx, int cy, HDC src, int x1, int y1,
                         DWORD rop) {
  const BOOL done = reinterpret_cast<decltype(&::BitBlt)>(reinterpret_cast<void*>(g_bitBlt))(
      dest, x, y, cx, cy, src, x1, y1, rop);
  HWND window = ::WindowFromDC(dest);
  if (done && window && (::GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_LAYERED))
    Log("copy", cx, cy, window);
  return done;
}

LRESULT WINAPI DispatchLogged(const MSG* msg) {
  if (msg && msg->message == WM_TIMER) Log("timer");
  return reinterpret_cast<decltype(&::DispatchMessageW)>(reinterpret_cast<void*>(g_dispatch))(msg);
}

// Points the main module's imports of `original` at `replacement`.
void Redirect(FARPROC original, FARPROC replacement) {
  auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleW(nullptr));
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (!original || !dir.VirtualAddress) return;
  for (auto* desc = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
       desc->Name; ++desc) {
    for (auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
         slot->u1.Function; ++slot) {
      if (slot->u1.Function != reinterpret_cast<ULONG_PTR>(original)) continue;
      DWORD old = 0;
      if (::VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, PAGE_READWRITE, &old)) {
        slot->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
        ::VirtualProtect(&slot->u1.Function, sizeof slot->u1.Function, old, &old);
      }
    }
  }
}

void PutBackWindowsRules() {
  wchar_t value[MAX_PATH] = L"";
  if (::GetEnvironmentVariableW(L"VELLORA_HOOK_TICK", value, MAX_PATH) &&
      std::wcscmp(value, L"1") == 0) {
    g_setTimer = ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "SetTimer");
    Redirect(g_setTimer, reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&SetTimerOnTheTick)));
  }
  const DWORD n = ::GetEnvironmentVariableW(L"VELLORA_HOOK_COPY_LOG", value, MAX_PATH);
  if (n > 0 && n < MAX_PATH) {
    g_copyLog = ::CreateFileW(value, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    g_bitBlt = ::GetProcAddress(::GetModuleHandleW(L"gdi32.dll"), "BitBlt");
    g_dispatch = ::GetProcAddress(::GetModuleHandleW(L"user32.dll"), "DispatchMessageW");
    if (g_copyLog != INVALID_HANDLE_VALUE) {
      Redirect(g_bitBlt, reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&BitBltLogged)));
      Redirect(g_dispatch, reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&DispatchLogged)));
    }
  }
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) PutBackWindowsRules();
  return TRUE;
}

extern "C" __declspec(dllexport) LRESULT CALLBACK
    RefuseSizingWithoutFrame(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_SYSCOMMAND && (wParam & 0xFFF0) == SC_SIZE) {
    // The hook is not told the window; the command comes from the active one.
    HWND window = ::GetActiveWindow();
    if (!window || !(::GetWindowLongW(window, GWL_STYLE) & WS_THICKFRAME)) return 1;
  }
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}
