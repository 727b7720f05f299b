// Plain windows for the support tests: destroyed by their owner object, and
// counting the WM_SETTEXT messages they receive.
#pragma once

#include <windows.h>

#include <utility>

namespace test {

class CTestWindow {
 public:
  CTestWindow(DWORD style, const RECT& rect, HWND parent = nullptr, DWORD exStyle = 0) {
    m_hWnd = ::CreateWindowExW(exStyle, MAKEINTATOM(Register()), L"", style, rect.left, rect.top,
                               rect.right - rect.left, rect.bottom - rect.top, parent, nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
  }
  ~CTestWindow() {
    if (m_hWnd) ::DestroyWindow(m_hWnd);
  }
  CTestWindow(CTestWindow&& other) noexcept : m_hWnd(std::exchange(other.m_hWnd, nullptr)) {}
  CTestWindow& operator=(CTestWindow&& other) noexcept {
    std::swap(m_hWnd, other.m_hWnd);
    return *this;
  }
  CTestWindow(const CTestWindow&) = delete;
  CTestWindow& operator=(const CTestWindow&) = delete;

  HWND get() const noexcept { return m_hWnd; }
  LONG_PTR SetTextCount() const noexcept { return ::GetWindowLongPtrW(m_hWnd, GWLP_USERDATA); }

 private:
  static ATOM Register() {
    static const ATOM atom = [] {
      WNDCLASSEXW wc{};
      wc.cbSize = sizeof wc;
      wc.lpfnWndProc = &Proc;
      wc.hInstance = ::GetModuleHandleW(nullptr);
      wc.lpszClassName = L"VelloraSupportTestWindow";
      return ::RegisterClassExW(&wc);
    }();
    return atom;
  }
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SETTEXT)
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, ::GetWindowLongPtrW(hwnd, GWLP_USERDATA) + 1);
    return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  }

  HWND m_hWnd = nullptr;
};

}  // namespace test
