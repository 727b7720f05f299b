// CWindowHandle: a thin, non-owning wrapper of a window handle. Copying it
// copies the handle, nothing more; the window's lifetime belongs to whoever
// created it. The program's CWindowW (support/window_utils.h) adds the text and
// centring operations on top of it.
#pragma once

#include <windows.h>

namespace fw {

class CWindowHandle {
 public:
  HWND m_hWnd = nullptr;

  CWindowHandle() noexcept = default;
  CWindowHandle(HWND hwnd) noexcept : m_hWnd(hwnd) {}  // NOLINT: converts like a handle
  CWindowHandle& operator=(HWND hwnd) noexcept {
    m_hWnd = hwnd;
    return *this;
  }
  operator HWND() const noexcept { return m_hWnd; }

  bool IsWindow() const noexcept { return ::IsWindow(m_hWnd) != FALSE; }
  bool DestroyWindow() noexcept { return ::DestroyWindow(m_hWnd) != FALSE; }
  bool ShowWindow(int cmd) const noexcept { return ::ShowWindow(m_hWnd, cmd) != FALSE; }
  bool GetWindowRect(RECT* r) const noexcept { return ::GetWindowRect(m_hWnd, r) != FALSE; }
  bool GetClientRect(RECT* r) const noexcept { return ::GetClientRect(m_hWnd, r) != FALSE; }
  bool ClientToScreen(POINT* p) const noexcept { return ::ClientToScreen(m_hWnd, p) != FALSE; }
  bool ScreenToClient(POINT* p) const noexcept { return ::ScreenToClient(m_hWnd, p) != FALSE; }
  bool MoveWindow(int x, int y, int cx, int cy, bool repaint = true) const noexcept {
    return ::MoveWindow(m_hWnd, x, y, cx, cy, repaint) != FALSE;
  }
  bool MoveWindow(const RECT& r, bool repaint = true) const noexcept {
    return MoveWindow(r.left, r.top, r.right - r.left, r.bottom - r.top, repaint);
  }
  bool SetWindowPos(HWND after, int x, int y, int cx, int cy, UINT flags) const noexcept {
    return ::SetWindowPos(m_hWnd, after, x, y, cx, cy, flags) != FALSE;
  }
  LONG GetStyle() const noexcept { return ::GetWindowLongW(m_hWnd, GWL_STYLE); }
  LONG GetExStyle() const noexcept { return ::GetWindowLongW(m_hWnd, GWL_EXSTYLE); }
  HWND GetParent() const noexcept { return ::GetParent(m_hWnd); }
  HWND GetOwner() const noexcept { return ::GetWindow(m_hWnd, GW_OWNER); }
  LRESULT SendMessage(UINT msg, WPARAM w = 0, LPARAM l = 0) const noexcept {
    return ::SendMessageW(m_hWnd, msg, w, l);
  }
  bool PostMessage(UINT msg, WPARAM w = 0, LPARAM l = 0) const noexcept {
    return ::PostMessageW(m_hWnd, msg, w, l) != FALSE;
  }
};

}  // namespace fw
