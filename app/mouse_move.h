// CMouseMoveImpl: drag a window by its inside. The press captures the mouse
// and remembers where the cursor and the window were; every move with the
// capture puts the window at the same offset from the cursor.
#pragma once

#include <windows.h>

#include "framework/message_map.h"

namespace vl {

template <class T>
class CMouseMoveImpl {
 public:
  POINT m_ptStart{};  // cursor at the press, screen coordinates
  RECT m_rcStart{};   // window rectangle at the press

  bool ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM, LPARAM lParam, LRESULT& result) {
    fw::CMessageMap map(m_bMsgHandled, result);
    // All three pass on, so the default procedure still sees the mouse.
    switch (msg) {
      case WM_LBUTTONDOWN: map.PassOn([&] { OnLButtonDown(hwnd, lParam); }); break;
      case WM_MOUSEMOVE: map.PassOn([&] { OnMouseMove(hwnd, lParam); }); break;
      case WM_LBUTTONUP:
        map.PassOn([&] {
          if (::GetCapture() == hwnd) ::ReleaseCapture();
        });
        break;
      default: break;
    }
    return false;
  }

 protected:
  FW_HANDLED_FLAG

 private:
  void OnLButtonDown(HWND hwnd, LPARAM lParam) {
    ::SetCapture(hwnd);
    m_ptStart = fw::GetPointParam(lParam);
    ::ClientToScreen(hwnd, &m_ptStart);
    ::GetWindowRect(hwnd, &m_rcStart);
  }

  void OnMouseMove(HWND hwnd, LPARAM lParam) {
    if (::GetCapture() != hwnd) return;
    POINT p = fw::GetPointParam(lParam);
    ::ClientToScreen(hwnd, &p);
    ::SetWindowPos(hwnd, nullptr, m_rcStart.left + p.x - m_ptStart.x,
                   m_rcStart.top + p.y - m_ptStart.y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
};

}  // namespace vl
