// Prints how long the reflection view takes to refresh: whole and cursor-only,
// for a few view sizes, over a screen painted with the test pattern. Not a
// test; run it by hand under the same display as the tests.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "render/view_window.h"
#include "render/win_rect.h"
#include "screen.h"
#include "settings/setting.h"

namespace {

double Now() {
  static const double perSecond = [] {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return static_cast<double>(f.QuadPart);
  }();
  LARGE_INTEGER t;
  ::QueryPerformanceCounter(&t);
  return static_cast<double>(t.QuadPart) / perSecond;
}

struct Figures {
  double mean, median, worst;  // milliseconds per refresh
};

Figures Time(vl::CWindow& view, bool cursorOnly, int rounds) {
  std::vector<double> ms;
  ms.reserve(static_cast<std::size_t>(rounds));
  for (int i = 0; i < rounds; ++i) {
    // Keep the cursor moving a little inside the reflected area, as a user would.
    if (cursorOnly) ::SetCursorPos(600 + i % 40, 500 + i % 30);
    const double start = Now();
    view.Refresh(cursorOnly);
    ms.push_back((Now() - start) * 1000.0);
  }
  std::sort(ms.begin(), ms.end());
  double sum = 0;
  for (double v : ms) sum += v;
  return {sum / static_cast<double>(rounds), ms[ms.size() / 2], ms.back()};
}

}  // namespace

int main() {
  vl::test::CPatternWindow pattern;
  if (!pattern.Open()) {
    std::fprintf(stderr, "the pattern never reached the screen\n");
    return 1;
  }
  vl::g_setting.Direction = vl::Left;
  constexpr int kRounds = 500;
  std::printf("%-10s %-12s %10s %10s %10s\n", "view", "refresh", "mean ms", "median ms",
              "worst ms");
  for (const SIZE size : {SIZE{480, 270}, SIZE{960, 540}, SIZE{1280, 720}}) {
    vl::CWindow view;
    const RECT r{700, 200, 700 + size.cx, 200 + size.cy};
    if (!view.Create(nullptr, &r)) return 1;
    view.ShowWindow(SW_SHOWNOACTIVATE);
    vl::test::PumpMessages();
    for (const bool cursorOnly : {false, true}) {
      Time(view, cursorOnly, 20);  // warm up
      const Figures f = Time(view, cursorOnly, kRounds);
      std::printf("%4ldx%-5ld %-12s %10.3f %10.3f %10.3f\n", size.cx, size.cy,
                  cursorOnly ? "cursor-only" : "whole", f.mean, f.median, f.worst);
    }
  }
  return 0;
}
