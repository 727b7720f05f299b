// A plain window with a recognisable, asymmetric picture, to stand beside the
// mirror on a display that has nothing else to show (the screen of a virtual
// display under Wine is black apart from Wine's own windows).
//   vellora_picture.exe [x y width height]
#include <windows.h>

#include <cstdlib>

namespace {

LRESULT CALLBACK PictureProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(hwnd, &ps);
      RECT r;
      ::GetClientRect(hwnd, &r);
      // Horizontal colour bands, darker to the right: the mirror flips them.
      for (int x = r.left; x < r.right; x += 8) {
        const int shade = 255 - (x - r.left) * 200 / (r.right - r.left + 1);
        for (int y = r.top, band = 0; y < r.bottom; y += 40, ++band) {
          const COLORREF c = band % 3 == 0   ? RGB(shade, 60, 60)
                             : band % 3 == 1 ? RGB(60, shade, 60)
                                             : RGB(60, 60, shade);
          HBRUSH brush = ::CreateSolidBrush(c);
          RECT cell{x, y, x + 8, y + 40};
          ::FillRect(dc, &cell, brush);
          ::DeleteObject(brush);
        }
      }
      HFONT font = ::CreateFontW(72, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, 0, 0,
                                 0, 0, L"Arial");
      HGDIOBJ old = ::SelectObject(dc, font);
      ::SetBkMode(dc, TRANSPARENT);
      ::SetTextColor(dc, RGB(255, 255, 255));
      ::DrawTextW(dc, L"MIRROR \x2192", -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
      ::SelectObject(dc, old);
      ::DeleteObject(font);
      ::EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_DESTROY: ::PostQuitMessage(0); return 0;
    default: return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  int x = 400, y = 300, w = 550, h = 500;
  if (__argc >= 5 && __wargv) {
    x = _wtoi(__wargv[1]);
    y = _wtoi(__wargv[2]);
    w = _wtoi(__wargv[3]);
    h = _wtoi(__wargv[4]);
  }
  WNDCLASSW wc{};
  wc.lpfnWndProc = PictureProc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = L"VelloraPicture";
  ::RegisterClassW(&wc);
  HWND hwnd = ::CreateWindowExW(0, wc.lpszClassName, L"Picture", WS_POPUP | WS_VISIBLE, x, y, w, h,
                                nullptr, nullptr, instance, nullptr);
  if (!hwnd) return 1;
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return 0;
}
