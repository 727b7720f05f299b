// What the running program costs: CPU time, peak working set and GDI objects.
// Not a test: it prints figures. scripts/bench.sh runs it.
//
//   vellora_process_bench run <vellora.exe> <seconds> [argument]
//     starts the program (with the argument, if any) as a user would, lets it settle, then reads
//     over <seconds> its CPU time (GetProcessTimes), its working set (GetProcessMemoryInfo) and its
//     GDI and user objects (GetGuiResources), and ends it through its Exit command. The lines
//     "begin" and "end" mark the measured span for whoever reads the process from outside as well.
//
//   vellora_process_bench run-minimised <vellora.exe> <seconds>
//     the same with the mirror minimised first, as a double click on it does.
//
//   vellora_process_bench gdi <seconds>
//     runs the program's own Run() in this process and counts the live GDI
//     objects once a second from a second thread: for platforms whose
//     GetGuiResources does not report another process's objects.
//
//   vellora_process_bench idle [timer period in ms]
//     the floor to set the program against: a process that shows one plain
//     window titled like the program's, of its default size, and waits for
//     messages until the Exit command; with a period, it also takes (and
//     ignores) timer ticks at that period. Measure it with "run".
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "app/application.h"
#include "app/ui_window.h"
#include "gdi_count.h"
#include "render/gdi.h"
#include "tests/common/program.h"

namespace {

using vl::test::FindMirror;

constexpr wchar_t kCaption[] = L"Vellora";

double Seconds(const FILETIME& t) {
  ULARGE_INTEGER u;
  u.LowPart = t.dwLowDateTime;
  u.HighPart = t.dwHighDateTime;
  return static_cast<double>(u.QuadPart) / 1e7;
}

// User plus kernel time of the process so far, in seconds; -1 if unknown.
double CpuSeconds(HANDLE process) {
  FILETIME created, exited, kernel, user;
  if (!::GetProcessTimes(process, &created, &exited, &kernel, &user)) return -1;
  return Seconds(kernel) + Seconds(user);
}

double WallSeconds() {
  LARGE_INTEGER f, t;
  ::QueryPerformanceFrequency(&f);
  ::QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / static_cast<double>(f.QuadPart);
}

// Puts the cursor in the area that the mirror reflects, 150 pixels out from
// the mirror window's edge on the reflected side (past the view's band), so
// that cursor-only ticks have something to read.
void CursorIntoReflectedArea(HWND mirror) {
  RECT r{};
  ::GetWindowRect(mirror, &r);
  DWORD direction = 0, size = sizeof direction;
  ::RegGetValueW(HKEY_CURRENT_USER, L"Software\\Korvane\\Vellora32\\Setting", L"Direction",
                 RRF_RT_REG_DWORD, nullptr, &direction, &size);
  const int midX = (r.left + r.right) / 2, midY = (r.top + r.bottom) / 2;
  const int away = 150;
  switch (direction) {
    case 1: ::SetCursorPos(midX, r.top - away); break;
    case 2: ::SetCursorPos(r.right + away, midY); break;
    case 3: ::SetCursorPos(midX, r.bottom + away); break;
    default: ::SetCursorPos(r.left - away, midY); break;
  }
}

// The view: the visible window of the same process that the mirror owns.
HWND FindView(HWND mirror) {
  struct Search {
    HWND mirror;
    HWND found;
  } search{mirror, nullptr};
  ::EnumWindows(
      [](HWND hwnd, LPARAM l) -> BOOL {
        auto* s = reinterpret_cast<Search*>(l);
        if (::GetWindow(hwnd, GW_OWNER) != s->mirror || !::IsWindowVisible(hwnd)) return TRUE;
        s->found = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found ? search.found : mirror;
}

int RunProgram(const wchar_t* exe, int seconds, const wchar_t* argument, bool minimised) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  std::wstring cmd = L"\"" + std::wstring(exe) + L"\"";
  if (argument) cmd += L" " + std::wstring(argument);
  if (!::CreateProcessW(exe, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) {
    std::printf("could not start the program (error %lu)\n", ::GetLastError());
    return 1;
  }
  const HWND mirror = FindMirror(pi.dwProcessId, 60000);
  if (!mirror) {
    std::printf("the program showed no window\n");
    ::TerminateProcess(pi.hProcess, 99);
    return 1;
  }
  CursorIntoReflectedArea(mirror);
  ::Sleep(3000);  // start-up and the first paints are not what we measure

  RECT view{};
  ::GetWindowRect(FindView(mirror), &view);
  if (minimised) {
    ::SendMessageW(mirror, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    ::Sleep(500);
  }
  std::printf("begin\n");
  std::fflush(stdout);
  const double wall0 = WallSeconds(), cpu0 = CpuSeconds(pi.hProcess);
  DWORD gdiMin = 0xFFFFFFFF, gdiMax = 0, userMin = 0xFFFFFFFF, userMax = 0;
  SIZE_T workingSet = 0;
  for (int s = 0; s < seconds; ++s) {
    ::Sleep(1000);
    const DWORD gdi = ::GetGuiResources(pi.hProcess, GR_GDIOBJECTS);
    const DWORD user = ::GetGuiResources(pi.hProcess, GR_USEROBJECTS);
    gdiMin = std::min(gdiMin, gdi);
    gdiMax = std::max(gdiMax, gdi);
    userMin = std::min(userMin, user);
    userMax = std::max(userMax, user);
    PROCESS_MEMORY_COUNTERS pmc{};
    if (::GetProcessMemoryInfo(pi.hProcess, &pmc, sizeof pmc)) workingSet = pmc.WorkingSetSize;
  }
  const double wall1 = WallSeconds(), cpu1 = CpuSeconds(pi.hProcess);
  std::printf("end\n");
  std::fflush(stdout);

  PROCESS_MEMORY_COUNTERS pmc{};
  const bool memory = ::GetProcessMemoryInfo(pi.hProcess, &pmc, sizeof pmc) != FALSE;
  const double wall = wall1 - wall0;
  std::printf("wall seconds: %.2f\n", wall);
  if (cpu0 >= 0 && cpu1 >= 0)
    std::printf("cpu seconds (GetProcessTimes): %.3f = %.2f%% of one core\n", cpu1 - cpu0,
                100.0 * (cpu1 - cpu0) / wall);
  else
    std::printf("cpu seconds (GetProcessTimes): not available\n");
  if (memory)
    std::printf("working set (GetProcessMemoryInfo): peak %.1f MB, now %.1f MB\n",
                static_cast<double>(pmc.PeakWorkingSetSize) / 1048576.0,
                static_cast<double>(workingSet) / 1048576.0);
  else
    std::printf("working set (GetProcessMemoryInfo): not available\n");
  std::printf("GDI objects (GetGuiResources): %lu .. %lu; user objects %lu .. %lu\n", gdiMin,
              gdiMax, userMin, userMax);
  std::printf("view: %ldx%ld at (%ld, %ld)\n", view.right - view.left, view.bottom - view.top,
              view.left, view.top);
  std::printf("minimised: %s\n", ::IsIconic(mirror) ? "yes" : "no");

  ::PostMessageW(mirror, WM_COMMAND, vl::kCmdExit, 0);
  if (::WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) {
    std::printf("the program did not end on Exit\n");
    ::TerminateProcess(pi.hProcess, 99);
  }
  DWORD code = 0;
  ::GetExitCodeProcess(pi.hProcess, &code);
  std::printf("exit code: %lu\n", code);
  ::CloseHandle(pi.hThread);
  ::CloseHandle(pi.hProcess);
  return code == 0 ? 0 : 1;
}

// Run() on this thread as the program runs it; a watcher counts the objects.
int CountGdiInProcess(int seconds) {
  ::CoInitialize(nullptr);
  ::DefWindowProcW(nullptr, 0, 0, 0);
  INITCOMMONCONTROLSEX icc{sizeof icc, ICC_BAR_CLASSES};
  ::InitCommonControlsEx(&icc);
  vl::g_module.Init(::GetModuleHandleW(nullptr));

  std::vector<long> counts, owned;
  bool found = false;
  std::thread watcher([&] {
    const HWND mirror = FindMirror(::GetCurrentProcessId(), 20000);
    found = mirror != nullptr;
    if (!mirror) return;
    CursorIntoReflectedArea(mirror);
    ::Sleep(2000);
    for (int s = 0; s <= seconds; ++s) {
      counts.push_back(vl::test::LiveGdiObjects());
      owned.push_back(vl::gdi::g_liveHandles.load());
      if (s < seconds) ::Sleep(1000);
    }
    ::PostMessageW(mirror, WM_COMMAND, vl::kCmdExit, 0);
  });
  const int result = vl::Run(nullptr, SW_SHOWNOACTIVATE);
  watcher.join();
  vl::g_module.Term();
  ::CoUninitialize();

  if (!found || counts.empty()) {
    std::printf("the mirror window never showed\n");
    return 1;
  }
  const auto [lo, hi] = std::minmax_element(counts.begin(), counts.end());
  const auto [ownLo, ownHi] = std::minmax_element(owned.begin(), owned.end());
  std::printf(
      "GDI objects of the process over %d s, once a second: %ld .. %ld (first %ld, last %ld)\n",
      seconds, *lo, *hi, counts.front(), counts.back());
  std::printf("of them held by the program's own wrappers: %ld .. %ld\n", *ownLo, *ownHi);
  std::printf("exit code of Run: %d\n", result);
  return *lo == *hi && result == 0 ? 0 : 1;
}

// A plain window of the program's default view size that only waits.
int Idle(UINT period) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = [](HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) -> LRESULT {
    if (msg == WM_COMMAND && LOWORD(wParam) == vl::kCmdExit) ::DestroyWindow(hwnd);
    if (msg == WM_DESTROY) ::PostQuitMessage(0);
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  };
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"VelloraBenchIdle";
  if (!::RegisterClassW(&wc)) return 1;
  const HWND hwnd = ::CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, kCaption, WS_POPUP, 960, 405,
                                      480, 270, nullptr, nullptr, wc.hInstance, nullptr);
  if (!hwnd) return 1;
  ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
  if (period) ::SetTimer(hwnd, 1, period, nullptr);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc >= 4 && std::wcscmp(argv[1], L"run") == 0)
    return RunProgram(argv[2], std::max(1, _wtoi(argv[3])), argc >= 5 ? argv[4] : nullptr, false);
  if (argc >= 4 && std::wcscmp(argv[1], L"run-minimised") == 0)
    return RunProgram(argv[2], std::max(1, _wtoi(argv[3])), nullptr, true);
  if (argc >= 3 && std::wcscmp(argv[1], L"gdi") == 0)
    return CountGdiInProcess(std::max(1, _wtoi(argv[2])));
  if (argc >= 2 && std::wcscmp(argv[1], L"idle") == 0)
    return Idle(argc >= 3 ? static_cast<UINT>(std::max(0, _wtoi(argv[2]))) : 0);
  std::fprintf(stderr,
               "usage: vellora_process_bench run <vellora.exe> <seconds> [argument]\n"
               "       vellora_process_bench gdi <seconds>\n"
               "       vellora_process_bench idle\n");
  return 2;
}
