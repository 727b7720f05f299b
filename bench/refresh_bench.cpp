// Times the reflection view's refresh, whole and cursor-only, for a few view
// sizes and every side, over a screen painted with the test pattern, and sets
// it against the bare platform cost of the same job: one StretchBlt of the same
// pixels from the screen into a memory bitmap and one BitBlt of that bitmap to
// the view. Not a test: it prints figures. scripts/bench.sh runs it on a
// display twice the largest view, so that every view's reflected area lies
// wholly on the screen.
//
//   vellora_refresh_bench [rounds] [output file]
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "gdi_count.h"
#include "render/gdi.h"
#include "render/view_window.h"
#include "render/win_rect.h"
#include "screen.h"
#include "settings/setting.h"

namespace {

FILE* g_out = stdout;

double NowMs() {
  static const double perMs = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart) / 1000.0;
  }();
  LARGE_INTEGER t;
  ::QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / perMs;
}

// CPU time (user and kernel) of this thread so far, in milliseconds. Under
// Wine it moves in steps of the kernel's clock tick (10 ms), so it is only
// read over many calls.
double ThreadCpuMs() {
  FILETIME created, exited, kernel, user;
  if (!::GetThreadTimes(::GetCurrentThread(), &created, &exited, &kernel, &user)) return 0;
  const auto ms = [](const FILETIME& f) {
    return static_cast<double>((static_cast<unsigned long long>(f.dwHighDateTime) << 32) |
                               f.dwLowDateTime) /
           1e4;
  };
  return ms(kernel) + ms(user);
}

struct Stats {
  double median = 0, p90 = 0;
};

Stats Summarise(std::vector<double> ms) {
  if (ms.empty()) return {};
  std::sort(ms.begin(), ms.end());
  const std::size_t n = ms.size();
  const double median = n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2;
  // Nearest rank: the smallest figure that at least 90% of the calls stay within.
  const auto rank = static_cast<std::size_t>(std::ceil(0.9 * static_cast<double>(n)));
  return {median, ms[std::max<std::size_t>(rank, 1) - 1]};
}

const char* SideName(int side) {
  switch (side) {
    case vl::Left: return "left";
    case vl::Top: return "top";
    case vl::Right: return "right";
    default: return "bottom";
  }
}

// The view with its reflecting edge on the screen's centre line, centred along
// that edge: the whole area it mirrors then lies on the screen.
vl::Rect ViewRect(int side, SIZE size, const vl::Rect& screen) {
  const int cx = (screen.left + screen.right) / 2, cy = (screen.top + screen.bottom) / 2;
  const int x = cx - size.cx / 2, y = cy - size.cy / 2;
  switch (side) {
    case vl::Left: return {cx, y, cx + size.cx, y + size.cy};
    case vl::Right: return {cx - size.cx, y, cx, y + size.cy};
    case vl::Top: return {x, cy, x + size.cx, cy + size.cy};
    default: return {x, cy - size.cy, x + size.cx, cy};
  }
}

// A cursor position inside the mirrored area, 60 to 100 pixels from the
// reflecting edge, wandering a little from call to call as a user's would.
POINT CursorFor(int side, const vl::Rect& view, int i) {
  const int along = i % 40, away = 60 + i % 41;
  const int midX = (view.left + view.right) / 2 + along,
            midY = (view.top + view.bottom) / 2 + along;
  switch (side) {
    case vl::Left: return {view.left - away, midY};
    case vl::Right: return {view.right - 1 + away, midY};
    case vl::Top: return {midX, view.top - away};
    default: return {midX, view.bottom - 1 + away};
  }
}

// The bare platform cost of a whole refresh: the same pixels read from the
// screen into a memory bitmap of the view's size, and that bitmap copied to
// the view. Contexts and bitmap are made once, outside the timing.
class CBareJob {
 public:
  CBareJob(HWND view, const vl::Rect& client, const vl::ReflectRects& rects)
      : m_view(view), m_client(client), m_rects(rects) {
    m_screen = vl::gdi::CWindowDC::Window(nullptr);
    m_viewDC = vl::gdi::CWindowDC::Client(view);
    m_memDC = vl::gdi::CMemDC::CompatibleWith(m_screen.Get());
    m_bitmap = vl::gdi::CBitmap(::CreateCompatibleBitmap(m_screen.Get(), client.right - client.left,
                                                         client.bottom - client.top));
    m_select = vl::gdi::CSelectObject(m_memDC.Get(), m_bitmap.Get());
  }

  bool Ok() const noexcept { return m_screen.Get() && m_viewDC.Get() && m_memDC && m_select; }

  void Run() const noexcept {
    const vl::Rect& s = m_rects.src;
    const vl::Rect& d = m_rects.dst;
    ::StretchBlt(m_memDC.Get(), d.left, d.top, d.right - d.left, d.bottom - d.top, m_screen.Get(),
                 s.left, s.top, s.right - s.left, s.bottom - s.top, SRCCOPY);
    ::BitBlt(m_viewDC.Get(), 0, 0, m_client.right, m_client.bottom, m_memDC.Get(), 0, 0, SRCCOPY);
  }

 private:
  HWND m_view;
  vl::Rect m_client;
  vl::ReflectRects m_rects;
  vl::gdi::CWindowDC m_screen, m_viewDC;
  vl::gdi::CMemDC m_memDC;
  vl::gdi::CBitmap m_bitmap;
  vl::gdi::CSelectObject m_select;
};

// What the view reads and writes on a whole refresh, worked out as it does.
vl::ReflectRects WholeRects(const vl::CWindow& view, int side, const vl::Rect& screen) {
  RECT window{}, client{};
  ::GetWindowRect(view.m_hWnd, &window);
  ::GetClientRect(view.m_hWnd, &client);
  POINT origin{};
  ::ClientToScreen(view.m_hWnd, &origin);
  const vl::Rect paint{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
  return vl::CalcReflectRects(side, vl::FromRECT(window), paint, screen, vl::FromPOINT(origin));
}

// A plain top-level window, destroyed with its scope.
struct COwner {
  explicit COwner(const RECT& r)
      : hwnd(::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, r.left, r.top,
                               r.right - r.left, r.bottom - r.top, nullptr, nullptr,
                               ::GetModuleHandleW(nullptr), nullptr)) {}
  COwner(const COwner&) = delete;
  COwner& operator=(const COwner&) = delete;
  ~COwner() {
    if (hwnd) ::DestroyWindow(hwnd);
  }
  HWND hwnd;
};

struct Row {
  SIZE size;
  int side;
  Stats whole, cursor, bare;
  long pixels;  // read from the screen by a whole refresh
  long gdiBefore, gdiAfter;
};

Row Measure(SIZE size, int side, int rounds, const vl::Rect& screen) {
  Row row{size, side, {}, {}, {}, 0, 0, 0};
  vl::g_setting.Direction = side;
  const vl::Rect place = ViewRect(side, size, screen);
  const RECT r = vl::ToRECT(place);

  {
    // The mirror window that owns the view in the program. The program copies
    // the picture onto it at most ten times a second, apart from the
    // refresh, so the figures here leave that copy out.
    const COwner owner(r);
    vl::CWindow view;
    if (!view.Create(owner.hwnd, &r)) return row;
    view.ShowWindow(SW_SHOWNOACTIVATE);
    vl::test::PumpMessages();

    const vl::ReflectRects rects = WholeRects(view, side, screen);
    row.pixels =
        static_cast<long>(rects.src.right - rects.src.left) * (rects.src.bottom - rects.src.top);
    RECT client{};
    ::GetClientRect(view.m_hWnd, &client);
    const CBareJob bare(view.m_hWnd, vl::FromRECT(client), rects);
    if (!bare.Ok()) return row;

    // Ours and the bare job take turns, so a change in the machine's load
    // between them weighs on both alike. Messages are handled between the
    // calls, as the program's loop does between its ticks.
    std::vector<double> whole, plain, cursor;
    for (int i = -10; i < rounds; ++i) {  // the first ten warm up
      if (i == 0) row.gdiBefore = vl::test::LiveGdiObjects();
      double t = NowMs();
      view.Refresh(false);
      const double ours = NowMs() - t;
      vl::test::PumpMessages();
      t = NowMs();
      bare.Run();
      const double base = NowMs() - t;
      vl::test::PumpMessages();
      if (i >= 0) {
        whole.push_back(ours);
        plain.push_back(base);
      }
    }
    for (int i = -10; i < rounds; ++i) {
      const POINT c = CursorFor(side, place, i + 10);
      ::SetCursorPos(c.x, c.y);
      const double t = NowMs();
      view.Refresh(true);
      const double ours = NowMs() - t;
      vl::test::PumpMessages();
      if (i >= 0) cursor.push_back(ours);
    }
    row.whole = Summarise(whole);
    row.bare = Summarise(plain);
    row.cursor = Summarise(cursor);
    row.gdiAfter = vl::test::LiveGdiObjects();
    view.DestroyWindow();
    vl::test::PumpMessages();
  }
  return row;
}

// Where the time of one whole refresh goes: each platform call that the
// refresh makes, timed on its own (median of batches), times the number of
// such calls per refresh.
void Breakdown(SIZE size, int side, const vl::Rect& screen) {
  vl::g_setting.Direction = side;
  const RECT r = vl::ToRECT(ViewRect(side, size, screen));
  vl::CWindow view;
  if (!view.Create(nullptr, &r)) return;
  view.ShowWindow(SW_SHOWNOACTIVATE);
  vl::test::PumpMessages();
  const HWND hwnd = view.m_hWnd;
  const HDC buffer = view.m_buffer.GetTiles().front()->GetDC();
  const vl::ReflectRects rects = WholeRects(view, side, screen);
  const vl::Rect whole = view.m_buffer.GetRect();
  vl::RectList light, dark;
  vl::g_setting.CalcEdgeRects(whole, side, light, dark);
  const int fills = static_cast<int>(light.size() + dark.size());
  const auto screenDC = vl::gdi::CWindowDC::Window(nullptr);
  const auto viewDC = vl::gdi::CWindowDC::Client(hwnd);

  struct Step {
    const char* name;
    int perRefresh;
    std::function<void()> call;
  };
  const Step steps[] = {
      {"GetDC + ReleaseDC of the view", 1, [&] { ::ReleaseDC(hwnd, ::GetDC(hwnd)); }},
      {"GetWindowDC + ReleaseDC of the screen", 1,
       [&] { ::ReleaseDC(nullptr, ::GetWindowDC(nullptr)); }},
      {"GetWindowRect", 1,
       [&] {
         RECT w;
         ::GetWindowRect(hwnd, &w);
       }},
      {"ClientToScreen", 3,
       [&] {
         POINT p{};
         ::ClientToScreen(hwnd, &p);
       }},
      {"GetSystemMetrics", 4, [] { ::GetSystemMetrics(SM_CXVIRTUALSCREEN); }},
      {"GetCursorPos", 1,
       [] {
         POINT p;
         ::GetCursorPos(&p);
       }},
      {"band fill: SetBkColor, ExtTextOutW, SetBkColor", fills,
       [&] {
         const RECT band = vl::ToRECT(light.empty() ? whole : light.back());
         const COLORREF old = ::SetBkColor(buffer, vl::kLightBandColor);
         ::ExtTextOutW(buffer, 0, 0, ETO_OPAQUE, &band, nullptr, 0, nullptr);
         ::SetBkColor(buffer, old);
       }},
      {"band lists (ours, no platform call)", 1,
       [&] {
         vl::RectList l, d;
         vl::g_setting.CalcEdgeRects(whole, side, l, d);
       }},
      {"StretchBlt screen -> buffer", 1,
       [&] {
         const vl::Rect& s = rects.src;
         const vl::Rect& d = rects.dst;
         ::StretchBlt(buffer, d.left, d.top, d.right - d.left, d.bottom - d.top, screenDC.Get(),
                      s.left, s.top, s.right - s.left, s.bottom - s.top, SRCCOPY);
       }},
      {"BitBlt buffer -> view", 1,
       [&] { ::BitBlt(viewDC.Get(), 0, 0, whole.right, whole.bottom, buffer, 0, 0, SRCCOPY); }},
  };

  std::fprintf(g_out, "\nwhere a whole refresh of a %ldx%ld view (%s) goes:\n", size.cx, size.cy,
               SideName(side));
  std::fprintf(g_out,
               "| call | calls per refresh | us per call | us per refresh | CPU us per call |\n");
  std::fprintf(g_out,
               "|------|------------------:|------------:|---------------:|----------------:|\n");
  double total = 0;
  for (const Step& step : steps) {
    constexpr int kBatch = 200, kBatches = 11;
    std::vector<double> perCall;
    double cpu = 0;
    for (int b = 0; b < kBatches; ++b) {
      const double c = ThreadCpuMs();
      const double t = NowMs();
      for (int i = 0; i < kBatch; ++i) step.call();
      perCall.push_back((NowMs() - t) * 1000.0 / kBatch);
      cpu += ThreadCpuMs() - c;
      vl::test::PumpMessages();
    }
    const double us = Summarise(perCall).median;
    total += us * step.perRefresh;
    std::fprintf(g_out, "| %s | %d | %.1f | %.1f | %.1f |\n", step.name, step.perRefresh, us,
                 us * step.perRefresh, cpu * 1000.0 / (kBatch * kBatches));
  }
  std::vector<double> refresh;
  for (int i = 0; i < 200; ++i) {
    const double t = NowMs();
    view.Refresh(false);
    refresh.push_back((NowMs() - t) * 1000.0);
    vl::test::PumpMessages();
  }
  std::fprintf(g_out, "| sum of the above | | | %.1f | |\n", total);
  std::fprintf(g_out, "| whole Refresh, measured | | | %.1f | |\n", Summarise(refresh).median);
  view.DestroyWindow();
  vl::test::PumpMessages();
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(std::atoi(argv[1]), 10) : 250;
  if (argc > 2) {
    // Under a Wine desktop of its own the console may not reach the caller.
    g_out = std::fopen(argv[2], "w");
    if (!g_out) return 2;
  }

  vl::test::CPatternWindow pattern;
  if (!pattern.Open()) {
    std::fprintf(g_out, "the pattern never reached the screen\n");
    return 1;
  }
  const vl::Rect screen = vl::test::VirtualScreenRect();
  vl::g_setting = vl::CSetting{};
  vl::g_setting.AroundCursorDistance = 50;

  std::fprintf(g_out, "screen %dx%d, %d calls per figure, times in ms (median / 90th percentile)\n",
               screen.right - screen.left, screen.bottom - screen.top, rounds);
  std::fprintf(g_out,
               "| view      | side   | whole refresh | cursor-only   | bare platform | "
               "whole / bare | cursor / whole | GDI objects |\n");
  std::fprintf(g_out,
               "|-----------|--------|---------------|---------------|---------------|"
               "--------------|----------------|-------------|\n");
  std::fflush(g_out);
  bool ok = true;
  for (const SIZE size : {SIZE{480, 260}, SIZE{960, 540}, SIZE{1920, 1080}}) {
    for (const int side : {vl::Left, vl::Top, vl::Right, vl::Bottom}) {
      const Row row = Measure(size, side, rounds, screen);
      if (row.whole.median <= 0 || row.bare.median <= 0) {
        std::fprintf(g_out, "| %4ldx%-4ld | %-6s | view could not be made |\n", size.cx, size.cy,
                     SideName(side));
        ok = false;
        continue;
      }
      if (row.pixels != static_cast<long>(size.cx) * size.cy) ok = false;  // not all on screen
      const std::string gdi =
          row.gdiBefore == row.gdiAfter
              ? std::to_string(row.gdiAfter) + " ="
              : std::to_string(row.gdiBefore) + " -> " + std::to_string(row.gdiAfter);
      std::fprintf(g_out,
                   "| %4ldx%-4ld | %-6s | %5.2f / %5.2f | %5.2f / %5.2f | %5.2f / %5.2f | "
                   "%12.2f | %14.2f | %11s |\n",
                   size.cx, size.cy, SideName(side), row.whole.median, row.whole.p90,
                   row.cursor.median, row.cursor.p90, row.bare.median, row.bare.p90,
                   row.whole.median / row.bare.median, row.cursor.median / row.whole.median,
                   gdi.c_str());
      std::fflush(g_out);
    }
  }
  Breakdown({480, 260}, vl::Left, screen);
  if (!ok) std::fprintf(g_out, "some views could not mirror their whole area: see above\n");
  if (g_out != stdout) std::fclose(g_out);
  return ok ? 0 : 1;
}
