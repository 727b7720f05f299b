// CMouseMoveImpl: drag a window by its inside and size it by its borders. The
// press captures the mouse and remembers where the cursor and the window were;
// every move with the capture puts the window at the same offset from the
// cursor, or moves the pressed border with it.
//
// The window sizes itself rather than leaving it to the system's sizing
// command: Windows drops that command for a window with a system menu and no
// sizing frame, which is what a borderless window with a menu is.
#pragma once

#include <windows.h>

#include "app/layout.h"
#include "framework/message_map.h"
#include "render/win_rect.h"

namespace vl {

template <class T>
class CMouseMoveImpl {
 public:
  POINT m_ptStart{};  // cursor at the press, screen coordinates
  RECT m_rcStart{};   // window rectangle at the press
  // Hit-test code of the border being dragged; 0 when none is.
  int m_nSizingCode = 0;

  // Starts sizing by the border that `code` (kHitLeft..kHitBottomRight) names,
  // pressed at screen point `pt`. A maximised window is not sized, as Windows'
  // own sizing refuses it.
  void BeginSizing(HWND hwnd, int code, POINT pt) {
    if (code < kHitLeft || code > kHitBottomRight || ::IsZoomed(hwnd)) return;
    ::SetCapture(hwnd);
    m_nSizingCode = code;
    m_ptStart = pt;
    ::GetWindowRect(hwnd, &m_rcStart);
    SetSizingCursor();
  }

  bool ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    fw::CMessageMap map(m_bMsgHandled, result);
    // The mouse messages pass on, so the default procedure still sees them.
    switch (msg) {
      case WM_LBUTTONDOWN: map.PassOn([&] { OnLButtonDown(hwnd, lParam); }); break;
      case WM_MOUSEMOVE: map.PassOn([&] { OnMouseMove(hwnd, wParam, lParam); }); break;
      case WM_LBUTTONUP:
        map.PassOn([&] {
          if (::GetCapture() == hwnd) ::ReleaseCapture();
        });
        break;
      case WM_KEYDOWN:
        // Escape while dragging or sizing puts back the rectangle of the
        // press, as the system's own move and size do.
        if (wParam == VK_ESCAPE && ::GetCapture() == hwnd && map.Handle([&] {
              ::SetWindowPos(hwnd, nullptr, m_rcStart.left, m_rcStart.top,
                             m_rcStart.right - m_rcStart.left, m_rcStart.bottom - m_rcStart.top,
                             SWP_NOZORDER | SWP_NOACTIVATE);
              ::ReleaseCapture();
              return 0;
            }))
          return true;
        break;
      // However the capture goes (release, Escape, another window taking
      // it), the sizing ends where it is.
      case WM_CAPTURECHANGED: map.PassOn([&] { m_nSizingCode = 0; }); break;
      default: break;
    }
    return false;
  }

 protected:
  FW_HANDLED_FLAG

 private:
  void SetSizingCursor() const {
    if (const int id = CursorForHitCode(m_nSizingCode))
      ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(id)));
  }

  void OnLButtonDown(HWND hwnd, LPARAM lParam) {
    ::SetCapture(hwnd);
    m_nSizingCode = 0;
    m_ptStart = fw::GetPointParam(lParam);
    ::ClientToScreen(hwnd, &m_ptStart);
    ::GetWindowRect(hwnd, &m_rcStart);
  }

  void OnMouseMove(HWND hwnd, WPARAM wParam, LPARAM lParam) {
    if (::GetCapture() != hwnd) return;
    // The button went up where we did not see it (a secure desktop opened
    // mid-drag, say): the drag ends where it is, as the system's move does.
    if (!(wParam & MK_LBUTTON)) {
      ::ReleaseCapture();
      return;
    }
    POINT p = fw::GetPointParam(lParam);
    ::ClientToScreen(hwnd, &p);
    if (m_nSizingCode) {
      SizeTo(hwnd, p);
      return;
    }
    ::SetWindowPos(hwnd, nullptr, m_rcStart.left + p.x - m_ptStart.x,
                   m_rcStart.top + p.y - m_ptStart.y, 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  // The pressed border follows the cursor within the window's own tracking
  // limits, asked for as the system's sizing loop asks for them.
  void SizeTo(HWND hwnd, POINT p) {
    MINMAXINFO info{};
    info.ptMinTrackSize = {::GetSystemMetrics(SM_CXMINTRACK), ::GetSystemMetrics(SM_CYMINTRACK)};
    info.ptMaxTrackSize = {::GetSystemMetrics(SM_CXMAXTRACK), ::GetSystemMetrics(SM_CYMAXTRACK)};
    ::SendMessageW(hwnd, WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info));
    const Rect r =
        SizeByBorder(FromRECT(m_rcStart), m_nSizingCode, {p.x - m_ptStart.x, p.y - m_ptStart.y},
                     FromPOINT(info.ptMinTrackSize), FromPOINT(info.ptMaxTrackSize));
    ::SetWindowPos(hwnd, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    // No WM_SETCURSOR comes while the mouse is captured.
    SetSizingCursor();
  }
};

}  // namespace vl
