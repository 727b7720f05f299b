#include "screen.h"

#include <initializer_list>

#include "render/gdi.h"

namespace vl::test {

void PumpMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

Rect VirtualScreenRect() {
  const int x = ::GetSystemMetrics(SM_XVIRTUALSCREEN), y = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
  return {x, y, x + ::GetSystemMetrics(SM_CXVIRTUALSCREEN),
          y + ::GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

CPatternWindow::CPatternWindow() : m_screen(VirtualScreenRect()) {
  m_image = std::make_unique<CImage>(m_screen);
  m_image->FillPattern(0);
}

bool CPatternWindow::Open() {
  const RECT r{m_screen.left, m_screen.top, m_screen.right, m_screen.bottom};
  if (!Create(nullptr, &r)) return false;
  ::SetWindowPos(m_hWnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  ::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
  ::UpdateWindow(m_hWnd);
  return WaitForScreen(m_screen);
}

bool CPatternWindow::ShowVariant(int variant, const Rect& area) {
  m_variant = variant;
  m_image->FillPattern(variant);
  ::InvalidateRect(m_hWnd, nullptr, FALSE);
  ::UpdateWindow(m_hWnd);
  return WaitForScreen(area);
}

bool CPatternWindow::WaitForScreen(const Rect& area) const {
  const Rect a = IntersectRect(area, m_screen);
  if (IsRectEmpty(a)) return true;
  const int cx = (a.left + a.right) / 2, cy = (a.top + a.bottom) / 2;
  const POINT samples[] = {{a.left, a.top},
                           {a.right - 1, a.top},
                           {a.left, a.bottom - 1},
                           {a.right - 1, a.bottom - 1},
                           {cx, cy}};
  return PumpUntil([&] {
    const auto screen = gdi::CWindowDC::Window(nullptr);
    for (const POINT& p : samples)
      if (::GetPixel(screen.Get(), p.x, p.y) != PatternColor(p.x, p.y, m_variant)) return false;
    return true;
  });
}

bool CPatternWindow::ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM, LPARAM, LRESULT& result) {
  fw::CMessageMap map(m_bMsgHandled, result);
  if (msg == WM_ERASEBKGND && map.Handle([] { return 1; })) return true;
  if (msg == WM_PAINT && map.Handle([&] {
        const gdi::CPaintDC dc(hwnd);
        ::BitBlt(dc.Get(), 0, 0, m_screen.right - m_screen.left, m_screen.bottom - m_screen.top,
                 m_image->GetDC(), m_screen.left, m_screen.top, SRCCOPY);
        return 0;
      }))
    return true;
  return false;
}

}  // namespace vl::test
