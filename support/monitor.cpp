#include "support/monitor.h"

#include <climits>

// The record sizes the system expects from a 64-bit program.
static_assert(sizeof(MONITORINFOEXW) == 104 && sizeof(MONITORINFO) == 40);

namespace my {

bool PrimaryMonitorInfo(MONITORINFOEXW& info) noexcept {
  // The primary monitor is the one the system falls back to for a point on no
  // monitor at all; the most negative point is on none, wherever the monitors lie.
  const HMONITOR monitor = ::MonitorFromPoint({INT_MIN, INT_MIN}, MONITOR_DEFAULTTOPRIMARY);
  if (!monitor) return false;
  info.cbSize = sizeof(MONITORINFOEXW);
  return ::GetMonitorInfoW(monitor, &info) != FALSE;
}

bool GetWorkArea(HMONITOR monitor, RECT& work) noexcept {
  if (!monitor) return false;
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (!::GetMonitorInfoW(monitor, &info)) return false;
  work = info.rcWork;
  return true;
}

POINT CalcCenteredPos(const RECT& centre, const RECT& area, int w, int h) noexcept {
  // Sums in 64 bits: rectangles near the ends of the coordinate range must not overflow.
  auto place = [](long long lo, long long hi, long long areaLo, long long areaHi, long long size) {
    long long pos = (lo + hi) / 2 - size / 2;
    if (pos + size > areaHi) pos = areaHi - size;
    if (pos < areaLo) pos = areaLo;
    return static_cast<LONG>(pos);
  };
  return {place(centre.left, centre.right, area.left, area.right, w),
          place(centre.top, centre.bottom, area.top, area.bottom, h)};
}

int ClampXToWorkArea(int x, const RECT& work) noexcept {
  if (x < work.left) return work.left;
  if (x > work.right) return work.right;
  return x;
}

int KeepMenuXOnScreen(POINT pt) noexcept {
  if (::MonitorFromPoint(pt, MONITOR_DEFAULTTONULL)) return pt.x;
  RECT work{};
  // Without a monitor to go by, the point stays where it came.
  if (!GetWorkArea(::MonitorFromPoint(pt, MONITOR_DEFAULTTONEAREST), work)) return pt.x;
  return ClampXToWorkArea(pt.x, work);
}

}  // namespace my
