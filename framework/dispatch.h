// What every window procedure of ours does around an object's message map,
// whatever the kind of window: offer the message without letting an exception
// unwind through the system's frames, and know when the object may be
// detached (after the outermost message on WM_NCDESTROY has returned).
#pragma once

#include <windows.h>

namespace fw {

class CDispatch {
 public:
  // Offers one message to `object`'s map; true when a handler handled it. A
  // handler that throws leaves the message to the default processing.
  template <class T>
  static bool Offer(T& object, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                    LRESULT& result) noexcept {
    try {
      return object.ProcessWindowMessage(hwnd, msg, wParam, lParam, result);
    } catch (...) {
      return false;
    }
  }

  // Call before processing a message of the window.
  void Enter() noexcept { ++m_depth; }

  // Call after processing `msg`; true exactly once, when the window is gone
  // and no message of it is being processed any more.
  bool Leave(UINT msg) noexcept {
    if (msg == WM_NCDESTROY) m_bDestroyed = true;
    if (--m_depth != 0 || !m_bDestroyed) return false;
    m_bDestroyed = false;
    return true;
  }

 private:
  unsigned m_depth = 0;       // messages of the window now being processed
  bool m_bDestroyed = false;  // WM_NCDESTROY seen
};

}  // namespace fw
