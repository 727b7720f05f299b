// Finding and driving the real program from another process, as the tools
// that start vellora.exe (tests, benchmark, release check) all need to.
#pragma once

#include <windows.h>

#include <cwchar>

namespace vl::test {

// The mirror window of process `pid`: its visible, unowned top-level window
// titled "Vellora". Waits up to `timeoutMs` for it to appear; null if it never
// does.
inline HWND FindMirror(DWORD pid, DWORD timeoutMs = 10000) {
  struct Search {
    DWORD pid;
    HWND found;
  } search{pid, nullptr};
  const DWORD start = ::GetTickCount();
  for (;;) {
    ::EnumWindows(
        [](HWND hwnd, LPARAM l) -> BOOL {
          auto* s = reinterpret_cast<Search*>(l);
          DWORD owner = 0;
          ::GetWindowThreadProcessId(hwnd, &owner);
          if (owner != s->pid || !::IsWindowVisible(hwnd) || ::GetWindow(hwnd, GW_OWNER))
            return TRUE;
          wchar_t title[64] = L"";
          ::GetWindowTextW(hwnd, title, 64);
          if (std::wcscmp(title, L"Vellora") != 0) return TRUE;
          s->found = hwnd;
          return FALSE;
        },
        reinterpret_cast<LPARAM>(&search));
    if (search.found || ::GetTickCount() - start >= timeoutMs) return search.found;
    ::Sleep(50);
  }
}

// One press and release of a key, as the user's keyboard gives it.
inline void PressKey(WORD vk) {
  INPUT in[2]{};
  in[0].type = in[1].type = INPUT_KEYBOARD;
  in[0].ki.wVk = in[1].ki.wVk = vk;
  in[1].ki.dwFlags = KEYEVENTF_KEYUP;
  ::SendInput(2, in, sizeof(INPUT));
}

}  // namespace vl::test
