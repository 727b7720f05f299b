// A plain window with a recognisable, asymmetric picture, to stand beside the
// mirror on a display that has nothing else to show (the screen of a virtual
// display under Wine is black apart from Wine's own windows).
//   vellora_picture.exe [x y width height [commands-file]]
// Every pixel's colour names its own screen position (red = x & 255,
// green = y & 255, blue = (x >> 8) << 4 | (y >> 8)), so a mirrored copy that is
// off by one column or row shows at once. Large white text sits on top.
//
// With a commands file, the picture polls it every 20 ms; each line
// "fill x y w h rrggbb" paints a rectangle (screen coordinates) over the
// pattern, and each line "tick x y w h" a rectangle whose colour changes on
// every poll. Whenever the file's text changes, the picture is redrawn from the
// pattern and the new fills, so a test can change the source at a chosen place
// and moment without touching the mouse; the ticking rectangles let it count
// how often the mirror shows a new picture of a place.
//
//   vellora_picture.exe --start show-command program
// is a launcher instead: it starts `program` with the show command (a number,
// SW_HIDE = 0, SW_SHOWMINNOACTIVE = 7, ...) in its start-up information, as a
// script, a scheduled task or a shortcut set to "Minimized" does, waits for
// it and ends with its exit code; and
//   vellora_picture.exe --windows-rules dll
// installs the dll's CBT hook for the whole desktop and keeps it until killed;
// and
//   vellora_picture.exe --post class-or-title message wparam
// posts a message to the window of that class, else of that title (a close,
// a change of session, the restore a click on its taskbar button sends); and
//   vellora_picture.exe --winevent class event
// raises the WinEvent `event` (a number, 0x8017 EVENT_OBJECT_CLOAKED, 0x8018
// EVENT_OBJECT_UNCLOAKED) for the window of that class, as Windows does when it
// shows another virtual desktop; and
//   vellora_picture.exe --type ff12,ff10
// hands the characters (hexadecimal code points) to the control that has the
// keyboard, as an input method hands over what was composed.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

#include "render/gdi.h"

namespace {

struct Fill {
  RECT rect;
  COLORREF colour;
  bool ticking;
};

std::wstring g_commandsPath;
std::string g_commands;  // the file's text as last read
std::vector<Fill> g_fills;
unsigned g_tick = 0;

// A colour the pattern never has (its blue stays below 0x80), different on
// every tick.
COLORREF TickColour() { return RGB((g_tick * 53) & 255, (g_tick * 97 + 128) & 255, 255); }

COLORREF PatternAt(int x, int y) {
  const int blue = ((x >> 8) << 4 | (y >> 8)) & 255;
  return RGB(x & 255, y & 255, blue);
}

std::vector<Fill> ParseFills(const std::string& text) {
  std::vector<Fill> fills;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(pos, end - pos);
    pos = end + 1;
    int x = 0, y = 0, w = 0, h = 0;
    unsigned rgb = 0;
    if (std::sscanf(line.c_str(), "fill %d %d %d %d %x", &x, &y, &w, &h, &rgb) == 5)
      fills.push_back(
          {RECT{x, y, x + w, y + h}, RGB((rgb >> 16) & 255, (rgb >> 8) & 255, rgb & 255), false});
    else if (std::sscanf(line.c_str(), "tick %d %d %d %d", &x, &y, &w, &h) == 4)
      fills.push_back({RECT{x, y, x + w, y + h}, 0, true});
  }
  return fills;
}

// Reads the commands file; true if its text changed since the last read.
bool ReadCommands() {
  FILE* f = _wfopen(g_commandsPath.c_str(), L"rb");
  if (!f) return false;
  std::string text;
  char chunk[512];
  std::size_t n;
  while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) text.append(chunk, n);
  std::fclose(f);
  if (text == g_commands) return false;
  g_commands = text;
  g_fills = ParseFills(text);
  return true;
}

void Paint(HWND hwnd, HDC dc) {
  RECT client;
  ::GetClientRect(hwnd, &client);
  POINT origin{0, 0};
  ::ClientToScreen(hwnd, &origin);
  const int w = client.right, h = client.bottom;
  // Build the picture in a DIB section, then copy it in one go.
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  vl::gdi::CBitmap bmp(::CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  vl::gdi::CMemDC mem = vl::gdi::CMemDC::CompatibleWith(dc);
  if (!bmp || !mem) return;
  // Only the part being painted: the ticking rectangles repaint often.
  RECT box{0, 0, w, h};
  if (::GetClipBox(dc, &box) == ERROR) box = RECT{0, 0, w, h};
  box.left = std::max(box.left, 0L);
  box.top = std::max(box.top, 0L);
  box.right = std::min(box.right, static_cast<LONG>(w));
  box.bottom = std::min(box.bottom, static_cast<LONG>(h));
  auto* px = static_cast<DWORD*>(bits);
  for (int y = box.top; y < box.bottom; ++y)
    for (int x = box.left; x < box.right; ++x) {
      const COLORREF c = PatternAt(origin.x + x, origin.y + y);
      px[y * w + x] = static_cast<DWORD>(GetRValue(c)) << 16 |
                      static_cast<DWORD>(GetGValue(c)) << 8 | GetBValue(c);
    }
  vl::gdi::CSelectObject selectBmp(mem.Get(), bmp.Get());
  {
    vl::gdi::CGdiObject<HFONT> font(::CreateFontW(72, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE,
                                                  DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial"));
    vl::gdi::CSelectObject selectFont(mem.Get(), font.Get());
    ::SetBkMode(mem.Get(), TRANSPARENT);
    ::SetTextColor(mem.Get(), RGB(255, 255, 255));
    ::DrawTextW(mem.Get(), L"MIRROR \x2192", -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
  }
  for (const Fill& fill : g_fills) {
    RECT r = fill.rect;
    ::OffsetRect(&r, -origin.x, -origin.y);
    vl::gdi::CBrush brush(::CreateSolidBrush(fill.ticking ? TickColour() : fill.colour));
    ::FillRect(mem.Get(), &r, brush.Get());
  }
  ::BitBlt(dc, 0, 0, w, h, mem.Get(), 0, 0, SRCCOPY);
}

LRESULT CALLBACK PictureProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_PAINT: {
      vl::gdi::CPaintDC dc(hwnd);
      Paint(hwnd, dc.Get());
      return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_TIMER: {
      ++g_tick;
      if (ReadCommands()) {
        ::RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        return 0;
      }
      POINT origin{0, 0};
      ::ClientToScreen(hwnd, &origin);
      for (const Fill& fill : g_fills)
        if (fill.ticking) {
          RECT r = fill.rect;
          ::OffsetRect(&r, -origin.x, -origin.y);
          ::RedrawWindow(hwnd, &r, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        }
      return 0;
    }
    case WM_LBUTTONDOWN:
      // Tells a test that a click reached this window: its position, in screen
      // coordinates, goes to "<commands-file>.clicks".
      if (!g_commandsPath.empty()) {
        POINT p{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ::ClientToScreen(hwnd, &p);
        if (FILE* f = _wfopen((g_commandsPath + L".clicks").c_str(), L"ab")) {
          std::fprintf(f, "click %ld %ld\n", p.x, p.y);
          std::fclose(f);
        }
      }
      return 0;
    case WM_DESTROY: ::PostQuitMessage(0); return 0;
    default: return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

int Launch(int show, const wchar_t* program) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = static_cast<WORD>(show);
  PROCESS_INFORMATION pi{};
  std::wstring commandLine = L"\"" + std::wstring(program) + L"\"";
  if (!::CreateProcessW(program, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi))
    return 255;
  ::CloseHandle(pi.hThread);
  ::WaitForSingleObject(pi.hProcess, INFINITE);
  DWORD code = 255;
  ::GetExitCodeProcess(pi.hProcess, &code);
  ::CloseHandle(pi.hProcess);
  return static_cast<int>(code);
}

int TypeToFocus(const wchar_t* codes) {
  GUITHREADINFO info{};
  info.cbSize = sizeof info;
  if (!::GetGUIThreadInfo(0, &info) || !info.hwndFocus) return 1;  // 0: the foreground thread
  for (wchar_t* end = nullptr; *codes; codes = *end ? end + 1 : end) {
    const unsigned long code = std::wcstoul(codes, &end, 16);
    if (end == codes) return 1;
    ::PostMessageW(info.hwndFocus, WM_CHAR, static_cast<WPARAM>(code), 1);
  }
  return 0;
}

int InstallWindowsRules(const wchar_t* dll) {
  HMODULE module = ::LoadLibraryW(dll);
  const auto proc = module ? reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(
                                 ::GetProcAddress(module, "RefuseSizingWithoutFrame")))
                           : nullptr;
  HHOOK hook = proc ? ::SetWindowsHookExW(WH_CBT, proc, module, 0) : nullptr;
  if (!hook) return 1;
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
  ::UnhookWindowsHookEx(hook);
  return 0;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  if (__argc == 4 && __wargv && std::wcscmp(__wargv[1], L"--start") == 0)
    return Launch(_wtoi(__wargv[2]), __wargv[3]);
  if (__argc == 3 && __wargv && std::wcscmp(__wargv[1], L"--type") == 0)
    return TypeToFocus(__wargv[2]);
  if (__argc == 3 && __wargv && std::wcscmp(__wargv[1], L"--windows-rules") == 0)
    return InstallWindowsRules(__wargv[2]);
  if (__argc == 5 && __wargv && std::wcscmp(__wargv[1], L"--post") == 0) {
    // By class, as an installer finds it: a close, a change of session. Else
    // by title: an older build's class name was generated.
    HWND target = ::FindWindowW(__wargv[2], nullptr);
    if (!target) target = ::FindWindowW(nullptr, __wargv[2]);
    return target && ::PostMessageW(target, static_cast<UINT>(_wtoi(__wargv[3])),
                                    static_cast<WPARAM>(_wtoi(__wargv[4])), 0)
               ? 0
               : 1;
  }
  if (__argc == 4 && __wargv && std::wcscmp(__wargv[1], L"--winevent") == 0) {
    HWND target = ::FindWindowW(__wargv[2], nullptr);
    if (!target) return 1;
    ::NotifyWinEvent(static_cast<DWORD>(std::wcstoul(__wargv[3], nullptr, 0)), target, OBJID_WINDOW,
                     CHILDID_SELF);
    return 0;
  }
  int x = 400, y = 300, w = 550, h = 500;
  if (__argc >= 5 && __wargv) {
    x = _wtoi(__wargv[1]);
    y = _wtoi(__wargv[2]);
    w = _wtoi(__wargv[3]);
    h = _wtoi(__wargv[4]);
  }
  if (__argc >= 6 && __wargv) g_commandsPath = __wargv[5];
  WNDCLASSW wc{};
  wc.lpfnWndProc = PictureProc;
  wc.hInstance = instance;
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = L"VelloraPicture";
  ::RegisterClassW(&wc);
  HWND hwnd = ::CreateWindowExW(0, wc.lpszClassName, L"Picture", WS_POPUP | WS_VISIBLE, x, y, w, h,
                                nullptr, nullptr, instance, nullptr);
  if (!hwnd) return 1;
  if (!g_commandsPath.empty()) ::SetTimer(hwnd, 1, 20, nullptr);
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return 0;
}
