#include "settings/setting.h"

#include <algorithm>
#include <limits>

namespace vl {

namespace {
constexpr std::int64_t kMin32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kMax32 = std::numeric_limits<std::int32_t>::max();
}  // namespace

CSetting g_setting;

std::int32_t CSetting::Clamp(std::int32_t value, Bounds bounds) noexcept {
  return std::clamp(value, bounds.min, bounds.max);
}

void CSetting::ClampAll() noexcept {
  Edge = Clamp(Edge, kEdge);
  ThinEdge = Clamp(ThinEdge, kThinEdge);
  TransparentEdge = Clamp(TransparentEdge, kTransparentEdge);
  RefreshRate = Clamp(RefreshRate, kRefreshRate);
  EntireRefreshRate = Clamp(EntireRefreshRate, kEntireRefreshRate);
  AroundCursorDistance = Clamp(AroundCursorDistance, kAroundCursorDistance);
}

std::uint32_t CSetting::TimerPeriod() const noexcept {
  // RefreshRate is at least 1 after every load and every apply; guard anyway,
  // a zero here would be a division by zero.
  return static_cast<std::uint32_t>(100000 / std::max(RefreshRate, kRefreshRate.min));
}

bool CSetting::IsCursorOnlyTick(std::int32_t tick) const noexcept {
  return EntireRefreshRate <= 0 || tick % EntireRefreshRate != 0;
}

std::int32_t CSetting::NextTick(std::int32_t tick) const noexcept {
  if (EntireRefreshRate <= 0) return 0;  // every tick is cursor-only anyway
  const std::int32_t phase = tick % EntireRefreshRate;
  return phase < 0 ? 0 : (phase + 1) % EntireRefreshRate;
}

void CSetting::CalcEdgeRects(const Rect& rect, int direction, RectList& light,
                             RectList& dark) const {
  CalcEdgeRects(rect, direction, Edge, ThinEdge, TransparentEdge, light, dark);
}

void CSetting::CalcEdgeRects(const Rect& rect, int direction, std::int32_t E, std::int32_t N,
                             std::int32_t T, RectList& light, RectList& dark) {
  std::int64_t e = 0;
  if (direction == Left || direction == Right) e = std::int64_t{rect.right} - rect.left;
  if (direction == Top || direction == Bottom) e = std::int64_t{rect.bottom} - rect.top;

  // R1 reaches beyond the view by what the band takes from it, so the light
  // bands run on through the transparent band; R2 is the view minus that band.
  Rect r1 = rect, r2 = rect;
  const std::int64_t grow = T < e ? e - T : 0;
  const std::int64_t cut = T < e ? T : e;
  // Cut to the 32-bit plane rather than wrapped: a band that reaches beyond
  // it still covers all there is, a wrapped one would turn inside out.
  const auto add = [](std::int32_t& v, std::int64_t d) {
    v = static_cast<std::int32_t>(std::clamp<std::int64_t>(v + d, kMin32, kMax32));
  };
  switch (direction) {
    case Left:
      add(r1.right, grow);
      add(r2.left, cut);
      break;
    case Top:
      add(r1.bottom, grow);
      add(r2.top, cut);
      break;
    case Right:
      add(r1.left, -grow);
      add(r2.right, -cut);
      break;
    case Bottom:
      add(r1.top, -grow);
      add(r2.bottom, -cut);
      break;
    default: break;
  }

  const int opposite = GetOppositeDirection(direction);
  CutEdgeRect(r1, direction, N, light);
  for (int i = Left; i <= Bottom; ++i)
    if (i != direction && i != opposite) CutEdgeRect(r1, i, E, light);
  // Exact difference: with widths outside the record's bounds it may not fit
  // 32 bits; a band wider than the plane is as good as the widest one.
  if (N > T)
    CutEdgeRect(r2, direction, static_cast<std::int32_t>(std::min(std::int64_t{N} - T, kMax32)),
                dark);
  for (int i = Left; i <= Bottom; ++i)
    if (i != direction) CutEdgeRect(r2, i, E, dark);
}

}  // namespace vl
