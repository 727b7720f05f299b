#include "driver.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "render/gdi.h"

namespace rel {

namespace {

const LARGE_INTEGER g_start = [] {
  LARGE_INTEGER t{};
  ::QueryPerformanceCounter(&t);
  return t;
}();

// Sleeps in small steps until `done` holds or `timeoutMs` passed.
template <class Pred>
bool WaitFor(Pred done, DWORD timeoutMs, DWORD stepMs = 20) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    if (done()) return true;
    if (::GetTickCount() - start >= timeoutMs) return false;
    ::Sleep(stepMs);
  }
}

std::int64_t Area(const RECT& r) {
  if (r.right <= r.left || r.bottom <= r.top) return 0;
  return (std::int64_t{r.right} - r.left) * (std::int64_t{r.bottom} - r.top);
}

RECT Intersect(const RECT& a, const RECT& b) {
  RECT r{};
  if (!::IntersectRect(&r, &a, &b)) r = {};
  return r;
}

bool Contains(const RECT& r, POINT p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// The screen pixel that view pixel `p` shows: its mirror image about the
// view's edge on the reflected side.
POINT SourceOf(POINT p, const RECT& view, int side) {
  switch (side) {
    case 1: return {p.x, 2 * view.top - 1 - p.y};
    case 2: return {2 * view.right - 1 - p.x, p.y};
    case 3: return {p.x, 2 * view.bottom - 1 - p.y};
    default: return {2 * view.left - 1 - p.x, p.y};
  }
}

bool OnMonitor(POINT p) { return ::MonitorFromPoint(p, MONITOR_DEFAULTTONULL) != nullptr; }

// Only a point on a monitor can be read back from the screen.
void AddIfShown(std::vector<POINT>& points, POINT p) {
  if (OnMonitor(p)) points.push_back(p);
}

// What the view should show at `p`: the backdrop where the mirrored point
// lies on a monitor, black beyond the virtual screen; nothing is known for a
// point in a gap between monitors of different sizes.
std::optional<COLORREF> Expected(POINT p, const RECT& view, int side, COLORREF backdrop) {
  const POINT source = SourceOf(p, view, side);
  if (OnMonitor(source)) return backdrop;
  if (!Contains(VirtualScreen(), source)) return COLORREF{0};
  return std::nullopt;
}

// Points inside the view, away from its frame bands (16 pixels at most) and
// on the screen: where the reflection itself shows.
std::vector<POINT> SamplePoints(const RECT& view) {
  constexpr int kInset = 20, kSteps = 5;
  const RECT inner =
      Intersect({view.left + kInset, view.top + kInset, view.right - kInset, view.bottom - kInset},
                VirtualScreen());
  std::vector<POINT> points;
  if (Area(inner) == 0) return points;
  for (int i = 0; i < kSteps; ++i)
    for (int j = 0; j < kSteps; ++j)
      AddIfShown(points,
                 {static_cast<LONG>(inner.left + (std::int64_t{inner.right} - 1 - inner.left) * i /
                                                     (kSteps - 1)),
                  static_cast<LONG>(inner.top + (std::int64_t{inner.bottom} - 1 - inner.top) * j /
                                                    (kSteps - 1))});
  return points;
}

std::string Hex(COLORREF c) {
  char s[16];
  std::snprintf(s, sizeof s, "%06lx", static_cast<unsigned long>(c));
  return s;
}

// True when `upper` comes before `lower` in the Win32 z-order.
bool IsAbove(HWND upper, HWND lower) {
  for (HWND h = ::GetWindow(upper, GW_HWNDNEXT); h; h = ::GetWindow(h, GW_HWNDNEXT))
    if (h == lower) return true;
  return false;
}

}  // namespace

bool ShowViewOnTop(const Windows& w) {
  if (!IsAbove(w.view, w.mirror)) return false;
  // Wine's virtual desktop can stack the owner's X window over the view's
  // although the Win32 order is right; raising the view within its own
  // place in that order brings the screen in line with what Windows shows.
  // A move to where it already is changes nothing, so it goes below the
  // mirror window for a moment and back.
  constexpr UINT kOnlyOrder = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER;
  ::SetWindowPos(w.view, w.mirror, 0, 0, 0, 0, kOnlyOrder);
  ::SetWindowPos(w.view, HWND_TOP, 0, 0, 0, 0, kOnlyOrder);
  return IsAbove(w.view, w.mirror);
}

double Now() {
  LARGE_INTEGER t{}, f{};
  ::QueryPerformanceCounter(&t);
  ::QueryPerformanceFrequency(&f);
  return static_cast<double>(t.QuadPart - g_start.QuadPart) * 1000.0 /
         static_cast<double>(f.QuadPart);
}

void Log(const char* fmt, ...) {
  std::va_list args;
  va_start(args, fmt);
  std::vprintf(fmt, args);
  va_end(args);
  std::fflush(stdout);
}

// ---------------------------------------------------------------- the program

Process::~Process() {
  if (Running()) Kill();
  CloseHandles();
}

bool Process::Start(const std::wstring& exe) {
  if (Running()) Kill();
  CloseHandles();
  STARTUPINFOW si{};
  si.cb = sizeof si;
  std::wstring cmd = L"\"" + exe + L"\"";
  return ::CreateProcessW(exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &si, &m_pi) != FALSE;
}

bool Process::Running() const {
  return m_pi.hProcess && ::WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT;
}

bool Process::WaitExit(DWORD timeoutMs, DWORD* code) {
  if (!m_pi.hProcess) return false;
  if (::WaitForSingleObject(m_pi.hProcess, timeoutMs) != WAIT_OBJECT_0) return false;
  DWORD c = 0;
  ::GetExitCodeProcess(m_pi.hProcess, &c);
  if (code) *code = c;
  return true;
}

void Process::Kill() {
  if (!m_pi.hProcess) return;
  ::TerminateProcess(m_pi.hProcess, 99);
  ::WaitForSingleObject(m_pi.hProcess, 10000);
}

void Process::CloseHandles() {
  if (m_pi.hThread) ::CloseHandle(m_pi.hThread);
  if (m_pi.hProcess) ::CloseHandle(m_pi.hProcess);
  m_pi = {};
}

namespace {

struct Search {
  DWORD pid;
  Windows found;
};

BOOL CALLBACK FindViewProc(HWND hwnd, LPARAM l) {
  auto* s = reinterpret_cast<Search*>(l);
  if (::GetWindow(hwnd, GW_OWNER) != s->found.mirror || !::IsWindowVisible(hwnd)) return TRUE;
  if (!(::GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_LAYERED)) return TRUE;
  s->found.view = hwnd;
  return FALSE;
}

}  // namespace

Windows FindWindows(DWORD pid, DWORD timeoutMs) {
  Search s{pid, {}};
  WaitFor(
      [&] {
        s.found = {};
        s.found.mirror = vl::test::FindMirror(pid, 0);
        if (s.found.mirror) ::EnumWindows(FindViewProc, reinterpret_cast<LPARAM>(&s));
        return s.found.mirror && s.found.view;
      },
      timeoutMs);
  return s.found;
}

HWND FindDialog(DWORD pid, const wchar_t* title, DWORD timeoutMs) {
  HWND found = nullptr;
  WaitFor(
      [&] {
        for (HWND h = ::FindWindowExW(nullptr, nullptr, L"#32770", title); h;
             h = ::FindWindowExW(nullptr, h, L"#32770", title)) {
          DWORD owner = 0;
          ::GetWindowThreadProcessId(h, &owner);
          if (owner == pid && ::IsWindowVisible(h)) {
            found = h;
            return true;
          }
        }
        return false;
      },
      timeoutMs);
  return found;
}

long CountWindows(DWORD pid) {
  struct Count {
    DWORD pid;
    long n;
  } count{pid, 0};
  ::EnumWindows(
      [](HWND hwnd, LPARAM l) -> BOOL {
        auto* c = reinterpret_cast<Count*>(l);
        DWORD owner = 0;
        ::GetWindowThreadProcessId(hwnd, &owner);
        if (owner != c->pid) return TRUE;
        ++c->n;
        ::EnumChildWindows(
            hwnd,
            [](HWND, LPARAM lc) -> BOOL {
              ++reinterpret_cast<Count*>(lc)->n;
              return TRUE;
            },
            l);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&count));
  return count.n;
}

RECT WindowRect(HWND hwnd) {
  RECT r{};
  ::GetWindowRect(hwnd, &r);
  return r;
}

RECT VirtualScreen() {
  const int x = ::GetSystemMetrics(SM_XVIRTUALSCREEN), y = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
  return {x, y, x + ::GetSystemMetrics(SM_CXVIRTUALSCREEN),
          y + ::GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

bool operator==(const RECT& a, const RECT& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Str(const RECT& r) {
  char s[80];
  std::snprintf(s, sizeof s, "(%ld,%ld)-(%ld,%ld)", static_cast<long>(r.left),
                static_cast<long>(r.top), static_cast<long>(r.right), static_cast<long>(r.bottom));
  return s;
}

// ------------------------------------------------------------------ commands

UINT CommandForSide(int side) {
  switch (side) {
    case 1: return kCmdTop;
    case 2: return kCmdRight;
    case 3: return kCmdBottom;
    default: return kCmdLeft;
  }
}

const char* SideName(int side) {
  static const char* const kNames[] = {"Left", "Top", "Right", "Bottom"};
  return side >= 0 && side <= 3 ? kNames[side] : "?";
}

bool MoveCursor(int x, int y) {
  // The display echoes moves back a little later; wait until the position holds.
  int steady = 0;
  for (int i = 0; i < 100 && steady < 3; ++i) {
    POINT p{};
    if (::GetCursorPos(&p) && p.x == x && p.y == y) {
      ++steady;
    } else {
      steady = 0;
      ::SetCursorPos(x, y);
    }
    ::Sleep(10);
  }
  return steady >= 3;
}

namespace {
DWORD g_lastRelease = 0;
}  // namespace

void WaitOutDoubleClick() {
  if (!g_lastRelease) return;
  const DWORD since = ::GetTickCount() - g_lastRelease, needed = ::GetDoubleClickTime() + 50;
  if (since < needed) ::Sleep(needed - since);
}

void NoteRelease() { g_lastRelease = ::GetTickCount(); }

void MouseButton(DWORD downFlag, DWORD upFlag, bool down) {
  if (down)
    WaitOutDoubleClick();
  else
    NoteRelease();
  INPUT in{};
  in.type = INPUT_MOUSE;
  in.mi.dwFlags = down ? downFlag : upFlag;
  ::SendInput(1, &in, sizeof in);
}

namespace {

// A point well inside the part of the mirror that lies on the screen.
POINT GrabPoint(HWND mirror) {
  const RECT r = Intersect(WindowRect(mirror), VirtualScreen());
  return {r.left + (r.right - r.left) / 2, r.top + (r.bottom - r.top) / 2};
}

HWND OpenMenuWindow() {
  const HWND menu = ::FindWindowW(L"#32768", nullptr);
  return menu && ::IsWindowVisible(menu) ? menu : nullptr;
}

}  // namespace

bool ChooseFromMenu(HWND mirror, WORD accessKey) {
  ::SetForegroundWindow(mirror);
  const POINT p = GrabPoint(mirror);
  MoveCursor(p.x, p.y);
  MouseButton(MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, true);
  MouseButton(MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, false);
  if (!WaitFor([] { return OpenMenuWindow() != nullptr; }, 3000)) return false;
  ::Sleep(50);
  PressKey(accessKey);
  return WaitFor([] { return OpenMenuWindow() == nullptr; }, 3000);
}

void DragBy(HWND mirror, int dx, int dy) {
  const RECT r = WindowRect(mirror);
  const POINT p = GrabPoint(mirror);
  MoveCursor(p.x, p.y);
  MouseButton(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, true);
  // Absolute steps: relative input would be scaled by the pointer speed.
  constexpr int kSteps = 5;
  for (int i = 1; i < kSteps; ++i) {
    ::SetCursorPos(p.x + dx * i / kSteps, p.y + dy * i / kSteps);
    ::Sleep(15);
  }
  MoveCursor(p.x + dx, p.y + dy);
  // The last move reaches the window a little later; release after it. Now
  // and then that move does not arrive at all; a hand would twitch.
  const auto arrived = [&] {
    return WindowRect(mirror).left == r.left + dx && WindowRect(mirror).top == r.top + dy;
  };
  if (!WaitFor(arrived, 500)) {
    ::SetCursorPos(p.x + dx + 1, p.y + dy);
    ::Sleep(30);
    MoveCursor(p.x + dx, p.y + dy);
    WaitFor(arrived, 500);
  }
  MouseButton(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, false);
  ::Sleep(30);
}

// ------------------------------------------------------------------ registry

const StoredName kStoredNames[12] = {
    {L"Setting", L"Direction"},
    {L"Setting", L"Edge"},
    {L"Setting", L"ThinEdge"},
    {L"Setting", L"TransparentEdge"},
    {L"Setting", L"RefreshRate"},
    {L"Setting", L"EntireRefreshRate"},
    {L"Setting", L"AroundCursorDistance"},
    {L"Window", L"FullScreen"},
    {L"Window", L"Left"},
    {L"Window", L"Top"},
    {L"Window", L"Right"},
    {L"Window", L"Bottom"},
};

namespace {
const std::wstring& KeyOf(const StoredName& n) {
  return std::wcscmp(n.key, L"Window") == 0 ? kWindowKey : kSettingKey;
}
}  // namespace

void DeleteAppKey() { ::RegDeleteTreeW(HKEY_CURRENT_USER, kAppKey.c_str()); }

bool WriteRaw(const std::wstring& path, const wchar_t* name, const RawValue& v) {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
    return false;
  const LSTATUS status =
      ::RegSetValueExW(key, name, 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
  ::RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

void DeleteValue(const std::wstring& path, const wchar_t* name) {
  ::RegDeleteKeyValueW(HKEY_CURRENT_USER, path.c_str(), name);
}

std::optional<std::int32_t> ReadInt32(const std::wstring& path, const wchar_t* name) {
  const auto v = ReadRaw(path, name);
  if (!v || v->type != REG_DWORD || v->data.size() != 4) return std::nullopt;
  std::int32_t i = 0;
  std::memcpy(&i, v->data.data(), 4);
  return i;
}

Stored DefaultStored() {
  Stored s;
  const std::int32_t v[12] = {0, 4, 0, 50, 1000, 10, 50, 0, 700, 350, 1100, 650};
  std::copy(v, v + 12, s.v);
  return s;
}

void WriteStored(const Stored& s) {
  for (int i = 0; i < 12; ++i)
    WriteRaw(KeyOf(kStoredNames[i]), kStoredNames[i].name,
             vl::test::Dword(static_cast<std::uint32_t>(s.v[i])));
}

std::optional<Stored> ReadStored(std::string& problem) {
  Stored s;
  for (int i = 0; i < 12; ++i) {
    const auto raw = ReadRaw(KeyOf(kStoredNames[i]), kStoredNames[i].name);
    const std::wstring wname = kStoredNames[i].name;
    const std::string name(wname.begin(), wname.end());
    if (!raw) {
      problem = name + " missing";
      return std::nullopt;
    }
    if (raw->type != REG_DWORD || raw->data.size() != 4) {
      problem =
          name + " type " + std::to_string(raw->type) + " size " + std::to_string(raw->data.size());
      return std::nullopt;
    }
    std::memcpy(&s.v[i], raw->data.data(), 4);
  }
  return s;
}

std::string CheckWellFormed(const Stored& s) {
  struct Range {
    const char* name;
    std::int32_t lo, hi;
  };
  static constexpr Range kRanges[8] = {{"Direction", 0, 3},
                                       {"Edge", 0, 16},
                                       {"ThinEdge", 0, 16},
                                       {"TransparentEdge", 0, 100},
                                       {"RefreshRate", 1, 5000},
                                       {"EntireRefreshRate", 0, 9999},
                                       {"AroundCursorDistance", 0, 65535},
                                       {"FullScreen", 0, 1}};
  for (int i = 0; i < 8; ++i)
    if (s.v[i] < kRanges[i].lo || s.v[i] > kRanges[i].hi)
      return std::string(kRanges[i].name) + "=" + std::to_string(s.v[i]) + " out of range";
  const RECT r = s.Rect();
  if (r.right <= r.left || r.bottom <= r.top) return "empty placement " + Str(r);
  return {};
}

// ------------------------------------------------------------------ the screen

Backdrop::~Backdrop() {
  if (m_hwnd) ::PostMessageW(m_hwnd, WM_CLOSE, 0, 0);
  if (m_thread) {
    ::WaitForSingleObject(m_thread, 5000);
    ::CloseHandle(m_thread);
  }
  if (m_ready) ::CloseHandle(m_ready);
}

LRESULT CALLBACK Backdrop::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<Backdrop*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  switch (msg) {
    case WM_ERASEBKGND: return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = ::BeginPaint(hwnd, &ps);
      if (self) {
        const vl::gdi::CBrush brush(::CreateSolidBrush(self->m_color));
        ::FillRect(dc, &ps.rcPaint, brush.Get());
      }
      ::EndPaint(hwnd, &ps);
      return 0;
    }
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_DESTROY: ::PostQuitMessage(0); return 0;
    default: return ::DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

DWORD WINAPI Backdrop::Thread(void* param) {
  auto* self = static_cast<Backdrop*>(param);
  WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = L"VelloraReliabilityBackdrop";
  ::RegisterClassW(&wc);
  const RECT s = VirtualScreen();
  const HWND hwnd = ::CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOOLWINDOW, wc.lpszClassName,
                                      L"Backdrop", WS_POPUP, s.left, s.top, s.right - s.left,
                                      s.bottom - s.top, nullptr, nullptr, wc.hInstance, nullptr);
  if (hwnd) {
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    ::SetWindowPos(hwnd, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    ::ShowWindow(hwnd, SW_SHOWNOACTIVATE);
    ::UpdateWindow(hwnd);
  }
  self->m_hwnd = hwnd;
  ::SetEvent(self->m_ready);
  if (!hwnd) return 1;
  MSG msg;
  while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return 0;
}

bool Backdrop::Open(COLORREF color) {
  m_color = color;
  m_ready = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  m_thread = ::CreateThread(nullptr, 0, Thread, this, 0, &m_threadId);
  if (!m_thread) return false;
  ::WaitForSingleObject(m_ready, 10000);
  return m_hwnd && SetColor(color);
}

bool Backdrop::SetColor(COLORREF color) {
  m_color = color;
  ::InvalidateRect(m_hwnd, nullptr, FALSE);
  // Any one of these shows the backdrop unless a window of the program lies there.
  const RECT s = VirtualScreen();
  const POINT probes[] = {{s.left + 2, s.top + 2},
                          {s.right - 3, s.top + 2},
                          {s.left + 2, s.bottom - 3},
                          {s.right - 3, s.bottom - 3},
                          {s.left + (s.right - s.left) / 7, s.top + (s.bottom - s.top) / 7}};
  return WaitFor(
      [&] {
        const auto dc = vl::gdi::CWindowDC::Window(nullptr);
        for (const POINT& p : probes)
          if (::GetPixel(dc.Get(), p.x, p.y) == color) return true;
        return false;
      },
      3000, 10);
}

Shot::Shot(const RECT& area) : m_area(Intersect(area, VirtualScreen())) {
  m_width = m_area.right - m_area.left;
  const int height = m_area.bottom - m_area.top;
  if (m_width <= 0 || height <= 0) return;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = m_width;
  bi.bmiHeader.biHeight = -height;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  const auto screen = vl::gdi::CWindowDC::Window(nullptr);
  const vl::gdi::CMemDC mem(::CreateCompatibleDC(screen.Get()));
  const vl::gdi::CBitmap bitmap(
      ::CreateDIBSection(screen.Get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!mem.Get() || !bitmap.Get() || !bits) return;
  {
    const vl::gdi::CSelectObject select(mem.Get(), bitmap.Get());
    ::BitBlt(mem.Get(), 0, 0, m_width, height, screen.Get(), m_area.left, m_area.top, SRCCOPY);
  }
  ::GdiFlush();
  const auto* p = static_cast<const std::uint32_t*>(bits);
  m_bits.assign(p, p + static_cast<std::size_t>(m_width) * static_cast<std::size_t>(height));
}

COLORREF Shot::At(int x, int y) const {
  if (m_bits.empty() || !Contains(m_area, {x, y})) return 0;
  const std::uint32_t v =
      m_bits[static_cast<std::size_t>(y - m_area.top) * static_cast<std::size_t>(m_width) +
             static_cast<std::size_t>(x - m_area.left)];
  // The DIB holds 0x00RRGGBB; a COLORREF is 0x00BBGGRR.
  return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

// ------------------------------------------------------------- usable mirror

RECT ViewFor(const RECT& m, int side, int te) {
  RECT v = m;
  switch (side) {
    case 0: v.left -= te; break;
    case 1: v.top -= te; break;
    case 2: v.right += te; break;
    case 3: v.bottom += te; break;
    default: break;
  }
  return v;
}

Look CheckLook(DWORD pid, const Backdrop& backdrop, int side, int te, DWORD timeoutMs) {
  Look look;
  look.w = FindWindows(pid, timeoutMs);
  if (!look.w.mirror) {
    look.fault = "no mirror window";
    return look;
  }
  if (!look.w.view) {
    look.fault = "no visible view";
    return look;
  }
  look.maximised = ::IsZoomed(look.w.mirror) != FALSE;
  if (::IsIconic(look.w.mirror)) {
    look.fault = "minimised";
    return look;
  }
  // The view follows the mirror on the messages after creation; give it a moment.
  WaitFor(
      [&] {
        look.mirror = WindowRect(look.w.mirror);
        look.view = WindowRect(look.w.view);
        return look.view == ViewFor(look.mirror, side, te);
      },
      2000);
  if (!(look.view == ViewFor(look.mirror, side, te))) {
    look.fault = "view " + Str(look.view) + " not on mirror " + Str(look.mirror);
    return look;
  }
  const RECT screen = VirtualScreen();
  for (const RECT* r : {&look.mirror, &look.view}) {
    const std::int64_t inside = Area(Intersect(*r, screen));
    if (inside * 2 < std::min(Area(*r), Area(screen))) {
      look.fault = "mostly off the screen: " + Str(*r);
      return look;
    }
  }
  // The smaller of the two minimum sizes the window keeps while it is sized
  // (the first-run place is a quarter of the work area, which on a small
  // screen can be less than the larger one).
  constexpr LONG kMin = 100;
  if (look.mirror.right - look.mirror.left < kMin || look.mirror.bottom - look.mirror.top < kMin) {
    look.fault = "smaller than the minimum: " + Str(look.mirror);
    return look;
  }

  if (!::MonitorFromRect(&look.mirror, MONITOR_DEFAULTTONULL)) {
    look.fault = "on no monitor: " + Str(look.mirror);
    return look;
  }
  if (!ShowViewOnTop(look.w)) {
    look.fault = "view below the mirror window";
    return look;
  }

  // The picture: the backdrop mirrored about the reflected edge, black where
  // that edge's mirror image falls off the screen.
  const std::vector<POINT> points = SamplePoints(look.view);
  if (points.empty()) {
    look.fault = "no part of the view on the screen";
    return look;
  }
  std::string mismatch;
  const bool ok = WaitFor(
      [&] {
        const Shot shot(look.view);
        for (const POINT& p : points) {
          const auto expected = Expected(p, look.view, side, backdrop.Color());
          if (!expected) continue;
          const COLORREF want = *expected, got = shot.At(p.x, p.y);
          if (got != want) {
            mismatch = "view shows " + Hex(got) + " at " + std::to_string(p.x) + "," +
                       std::to_string(p.y) + ", want " + Hex(want);
            return false;
          }
        }
        return true;
      },
      timeoutMs, 50);
  if (!ok) look.fault = mismatch;
  return look;
}

long CheckFollows(const Windows& w, Backdrop& backdrop, int side, COLORREF next, DWORD timeoutMs,
                  bool repaint) {
  const RECT view = WindowRect(w.view);
  // The view's point nearest its centre whose source lies on the screen.
  std::optional<POINT> probe;
  const POINT centre{view.left + (view.right - view.left) / 2,
                     view.top + (view.bottom - view.top) / 2};
  std::int64_t best = INT64_MAX;
  for (const POINT& p : SamplePoints(view)) {
    if (!OnMonitor(SourceOf(p, view, side))) continue;
    const std::int64_t d =
        std::abs(std::int64_t{p.x} - centre.x) + std::abs(std::int64_t{p.y} - centre.y);
    if (d < best) best = d, probe = p;
  }
  if (!probe) return -2;
  if (!ShowViewOnTop(w)) return -4;
  // Refreshes between the whole ones read only around the cursor.
  const POINT source = SourceOf(*probe, view, side);
  MoveCursor(source.x, source.y);
  const double start = Now();
  if (!backdrop.SetColor(next)) return -3;
  if (repaint) ::RedrawWindow(w.view, nullptr, nullptr, RDW_INVALIDATE);
  const bool shown = WaitFor(
      [&] {
        const auto dc = vl::gdi::CWindowDC::Window(nullptr);
        return ::GetPixel(dc.Get(), probe->x, probe->y) == next;
      },
      timeoutMs, 5);
  return shown ? static_cast<long>(Now() - start) : -1;
}

bool PlaceMirror(const Windows& w, const RECT& r, int side, int te) {
  if (::IsZoomed(w.mirror) || ::IsIconic(w.mirror)) {
    ::PostMessageW(w.mirror, WM_SYSCOMMAND, SC_RESTORE, 0);
    WaitFor([&] { return !::IsZoomed(w.mirror) && !::IsIconic(w.mirror); }, 3000);
  }
  ::SetWindowPos(w.mirror, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  return WaitFor(
      [&] { return WindowRect(w.mirror) == r && WindowRect(w.view) == ViewFor(r, side, te); },
      3000);
}

bool ExitThroughMenu(Process& p, HWND mirror, std::string& why) {
  if (!ChooseFromMenu(mirror, 'X')) {
    why = "context menu did not open or close";
    return false;
  }
  DWORD code = 0;
  if (!p.WaitExit(10000, &code)) {
    why = "still running 10 s after Exit";
    return false;
  }
  if (code != 0) {
    why = "exit code " + std::to_string(code);
    return false;
  }
  return true;
}

}  // namespace rel
