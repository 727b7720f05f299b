// Unusual desktops: whatever monitors the system reports (the script gives it
// several, one of them left of the primary), a mirror on a monitor at negative
// coordinates, a stored placement on a monitor that is gone, a mirror whose
// reflected side lies beyond the edge of the virtual screen, and a view
// larger than the screen.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "driver.h"
#include "reliability.h"

namespace rel {

namespace {

struct Monitor {
  RECT rect, work;
  bool primary;
};

std::vector<Monitor> Monitors() {
  std::vector<Monitor> list;
  ::EnumDisplayMonitors(
      nullptr, nullptr,
      [](HMONITOR m, HDC, LPRECT, LPARAM l) -> BOOL {
        MONITORINFO info{};
        info.cbSize = sizeof info;
        if (::GetMonitorInfoW(m, &info))
          reinterpret_cast<std::vector<Monitor>*>(l)->push_back(
              {info.rcMonitor, info.rcWork, (info.dwFlags & MONITORINFOF_PRIMARY) != 0});
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&list));
  return list;
}

RECT Sized(LONG left, LONG top, LONG w, LONG h) { return {left, top, left + w, top + h}; }

bool Inside(const RECT& inner, const RECT& outer) {
  return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

class Desktops {
 public:
  explicit Desktops(const Options& opt) : m_opt(opt) {}

  int Run() {
    if (!m_backdrop.Open(kBackdropA)) {
      Log("cannot show the backdrop\n");
      return 1;
    }
    const std::vector<Monitor> monitors = Monitors();
    const RECT vs = VirtualScreen();
    Log("Monitors reported (EnumDisplayMonitors), virtual screen %s:\n", Str(vs).c_str());
    const Monitor* primary = nullptr;
    for (const Monitor& m : monitors) {
      Log("  %s work %s%s\n", Str(m.rect).c_str(), Str(m.work).c_str(),
          m.primary ? " primary" : "");
      if (m.primary) primary = &m;
    }
    Log("\n| case | stored | mirror at start | outcome |\n|---|---|---|---|\n");

    if (primary) {
      // First run: the default place lies on the primary monitor's work area.
      Case("first run, default place", 0, std::nullopt, [&](const Look& l) -> std::string {
        return Inside(l.mirror, primary->work) ? "" : "not on the primary work area";
      });
    }

    bool anyNegative = false;
    for (const Monitor& m : monitors) {
      if (m.primary || (m.rect.left >= 0 && m.rect.top >= 0)) continue;
      anyNegative = true;
      const RECT at = Sized(m.rect.left + (m.rect.right - m.rect.left) / 2 - 100,
                            m.rect.top + (m.rect.bottom - m.rect.top) / 2 - 150, 400, 300);
      const std::string name = "on the monitor at " + Str(m.rect);
      Case(name.c_str(), 0, at,
           [&](const Look& l) -> std::string { return l.mirror == at ? "" : "moved"; });
      // The placement saved there comes back on the next start.
      Case("started again", 0, std::nullopt,
           [&](const Look& l) -> std::string { return l.mirror == at ? "" : "moved"; });
    }
    if (!anyNegative)
      Log("| monitor at negative coordinates | - | - | not available: no monitor reported left of "
          "or above the primary |\n");

    // A monitor that is gone: the stored place lies beyond the virtual screen.
    const RECT right = Sized(vs.right + 500, 200, 400, 300);
    Case("monitor gone on the right", 0, right, [&](const Look& l) -> std::string {
      return l.mirror == Sized(vs.right - 400, 200, 400, 300) ? "" : "not at the edge";
    });
    // Shifted into the bounding rectangle of the monitors, it lands in its
    // corner; where no monitor shows that corner, on the first-run place.
    const RECT aboveLeft = Sized(vs.left - 3000, vs.top - 2000, 400, 300);
    const RECT corner = Sized(vs.left, vs.top, 400, 300);
    const bool cornerShown = ::MonitorFromRect(&corner, MONITOR_DEFAULTTONULL) != nullptr;
    Case("monitor gone above left", 0, aboveLeft, [&](const Look& l) -> std::string {
      if (cornerShown) return l.mirror == corner ? "" : "not at the corner";
      return primary && Inside(l.mirror, primary->work) ? "" : "not on the primary work area";
    });

    // The reflected side beyond the virtual screen's edge: the view's first 100
    // pixels from that edge reflect the screen, the rest reflects nothing and
    // stays black (CheckLook compares every sample with exactly that).
    // On the monitor that touches the virtual screen's edge on that side.
    constexpr int te = 50;
    for (int side = 0; side < 4; ++side) {
      const Monitor* on = nullptr;
      for (const Monitor& m : monitors) {
        const bool touches = side == 0   ? m.rect.left == vs.left
                             : side == 1 ? m.rect.top == vs.top
                             : side == 2 ? m.rect.right == vs.right
                                         : m.rect.bottom == vs.bottom;
        if (touches) on = &m;
      }
      if (!on) continue;
      const RECT& m = on->rect;
      const LONG cx = m.left + (m.right - m.left) / 2 - 200,
                 cy = m.top + (m.bottom - m.top) / 2 - 150;
      const RECT at = side == 0   ? Sized(vs.left + 100 + te, cy, 400, 300)
                      : side == 1 ? Sized(cx, vs.top + 100 + te, 400, 300)
                      : side == 2 ? Sized(vs.right - 100 - te - 400, cy, 400, 300)
                                  : Sized(cx, vs.bottom - 100 - te - 300, 400, 300);
      const std::string name = std::string("reflecting ") + SideName(side) + " past the edge";
      Case(name.c_str(), side, at,
           [&](const Look& l) -> std::string { return l.mirror == at ? "" : "moved"; });
    }

    // A view larger than the whole virtual screen.
    const RECT huge{vs.left - 100, vs.top - 100, vs.right + 300, vs.bottom + 200};
    const RECT hugeAt = Sized(vs.left, vs.top, huge.right - huge.left, huge.bottom - huge.top);
    Case("view larger than the screen", 0, huge, [&](const Look& l) -> std::string {
      return l.mirror == hugeAt ? "" : "not at the top-left corner";
    });

    DeleteAppKey();
    Log("\ndesktop cases: %d tried, %d passed\n", m_tried, m_passed);
    return m_tried == m_passed ? 0 : 1;
  }

 private:
  template <class Check>
  void Case(const char* name, int side, std::optional<RECT> stored, Check check) {
    constexpr int te = 50;
    ++m_tried;
    const std::string storedLabel = stored ? Str(*stored) : m_keep ? "as saved" : "nothing";
    DeleteAppKey();
    if (stored) {
      Stored s = DefaultStored();
      s.v[0] = side;
      s.v[3] = te;
      s.v[8] = stored->left, s.v[9] = stored->top, s.v[10] = stored->right,
      s.v[11] = stored->bottom;
      WriteStored(s);
    } else if (m_keep) {
      WriteStored(*m_keep);
    }
    Process p;
    std::string fault;
    Look look;
    if (!p.Start(m_opt.exe)) {
      fault = "cannot start";
    } else {
      look = CheckLook(p.Pid(), m_backdrop, side, te);
      fault = look.fault;
      if (fault.empty()) fault = check(look);
      if (fault.empty()) {
        // Still refreshing where any of its source is on the screen.
        const COLORREF next = m_backdrop.Color() == kBackdropA ? kBackdropB : kBackdropA;
        const long ms = CheckFollows(look.w, m_backdrop, side, next, 2000, false);
        if (ms == -1) fault = "view does not follow the screen";
      }
      std::string why;
      if (look.w.mirror && !ExitThroughMenu(p, look.w.mirror, why) && fault.empty()) fault = why;
    }
    std::string problem;
    const auto after = ReadStored(problem);
    if (!after && fault.empty()) fault = "registry after exit: " + problem;
    if (after) {
      if (const std::string bad = CheckWellFormed(*after); !bad.empty() && fault.empty())
        fault = "registry after exit: " + bad;
      if (fault.empty() && !(after->Rect() == look.mirror))
        fault = "saved " + Str(after->Rect()) + ", was at " + Str(look.mirror);
    }
    m_keep = after;
    if (fault.empty()) ++m_passed;
    Log("| %s | %s | %s | %s |\n", name, storedLabel.c_str(),
        look.w.mirror ? Str(look.mirror).c_str() : "-",
        fault.empty() ? "pass" : ("FAIL: " + fault).c_str());
  }

  const Options& m_opt;
  Backdrop m_backdrop;
  std::optional<Stored> m_keep;
  int m_tried = 0, m_passed = 0;
};

}  // namespace

int RunDesktops(const Options& opt) { return Desktops(opt).Run(); }

}  // namespace rel
