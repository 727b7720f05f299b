// Driving a modal dialog from inside its own loop: a thread timer, dispatched
// by whichever modal loop runs on this thread, works through a list of steps.
// Each step is tried on every tick until it reports that it is done. A
// script that stalls fails the test and cancels the open dialogs, so a broken
// dialog cannot hang the run.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace vl::test {

// The visible dialog window of this thread that `owner` owns (any owner when
// null); null when there is none.
inline HWND FindDialog(HWND owner) {
  struct Search {
    HWND owner, found;
  } search{owner, nullptr};
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND hwnd, LPARAM param) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(param);
        wchar_t name[16] = L"";
        ::GetClassNameW(hwnd, name, 16);
        if (std::wstring(name) != L"#32770" || !::IsWindowVisible(hwnd)) return TRUE;
        if (s.owner && ::GetWindow(hwnd, GW_OWNER) != s.owner) return TRUE;
        s.found = hwnd;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

inline std::wstring TextOf(HWND hwnd) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
  text.resize(
      static_cast<std::size_t>(::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()))));
  return text;
}

// Centre of a window rectangle, doubled so that no half is lost.
inline POINT DoubleCentre(HWND hwnd) {
  RECT r{};
  ::GetWindowRect(hwnd, &r);
  return {r.left + r.right, r.top + r.bottom};
}

// Presses the key in the window that has the keyboard focus, through the
// message queue, as typing does: the dialog loop sees it first.
inline void PressKey(WPARAM key) {
  HWND focus = ::GetFocus();
  ::PostMessageW(focus, WM_KEYDOWN, key, 1);
  ::PostMessageW(focus, WM_KEYUP, key, 0xC0000001);
}

class CModalScript {
 public:
  using Step = std::function<bool()>;  // true when done

  explicit CModalScript(std::vector<Step> steps) : m_steps(std::move(steps)) {
    s_running = this;
    m_start = ::GetTickCount();
    m_timer = ::SetTimer(nullptr, 0, 20, &Tick);
  }
  ~CModalScript() {
    ::KillTimer(nullptr, m_timer);
    s_running = nullptr;
  }
  CModalScript(const CModalScript&) = delete;
  CModalScript& operator=(const CModalScript&) = delete;

  bool Finished() const { return m_next == m_steps.size(); }

 private:
  static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    CModalScript* self = s_running;
    if (!self || self->Finished() || self->m_busy) return;
    self->m_busy = true;  // a step's own modal work must not re-enter the script
    if (self->m_steps[self->m_next]()) ++self->m_next;
    self->m_busy = false;
    if (!self->Finished() && ::GetTickCount() - self->m_start > 15000) {
      ADD_FAILURE() << "the script stalled at step " << self->m_next;
      self->m_next = self->m_steps.size();
      while (HWND dialog = FindDialog(nullptr)) {
        ::SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        if (FindDialog(nullptr) == dialog) ::ShowWindow(dialog, SW_HIDE);
      }
    }
  }

  inline static CModalScript* s_running = nullptr;
  std::vector<Step> m_steps;
  std::size_t m_next = 0;
  bool m_busy = false;
  DWORD m_start = 0;
  UINT_PTR m_timer = 0;
};

}  // namespace vl::test
