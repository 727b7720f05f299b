#include "render/geometry.h"

#include <algorithm>
#include <limits>

namespace vl {

namespace {

// Screen coordinates come from the platform and stay far from the limits, but
// a damaged setting or a wild cursor must not make the arithmetic undefined:
// work in 64 bits and wrap back the way 32-bit hardware arithmetic would.
constexpr std::int32_t Wrap(std::int64_t v) noexcept { return static_cast<std::int32_t>(v); }

constexpr std::int64_t Wide(std::int32_t v) noexcept { return v; }

bool IsHorizontal(int side) noexcept { return side == Left || side == Right; }

std::int64_t Extent(const Rect& r, int side) noexcept {
  if (IsHorizontal(side)) return Wide(r.right) - r.left;
  if (side == Top || side == Bottom) return Wide(r.bottom) - r.top;
  return 0;
}

constexpr std::int64_t kMin32 = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kMax32 = std::numeric_limits<std::int32_t>::max();

constexpr bool Fits(std::int64_t v) noexcept { return v >= kMin32 && v <= kMax32; }

// Cut to the 32-bit plane: for an area that is only ever intersected with
// screen rectangles, this loses nothing that wrapping around would not garble.
constexpr std::int32_t Saturate(std::int64_t v) noexcept {
  return static_cast<std::int32_t>(std::clamp(v, kMin32, kMax32));
}

// A rectangle in exact arithmetic.
struct Rect64 {
  std::int64_t left, top, right, bottom;
};

Rect64 Widen(const Rect& r) noexcept { return {r.left, r.top, r.right, r.bottom}; }

bool IsEmpty(const Rect64& r) noexcept { return r.right <= r.left || r.bottom <= r.top; }

}  // namespace

int GetOppositeDirection(int side) noexcept {
  switch (side) {
    case Left: return Right;
    case Top: return Bottom;
    case Right: return Left;
    case Bottom: return Top;
    default: return -1;
  }
}

bool IsRectEmpty(const Rect& r) noexcept { return r.right <= r.left || r.bottom <= r.top; }

Rect IntersectRect(const Rect& a, const Rect& b) noexcept {
  const Rect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
               std::min(a.bottom, b.bottom)};
  return IsRectEmpty(r) ? Rect{} : r;
}

Rect OffsetRect(const Rect& r, std::int32_t dx, std::int32_t dy) noexcept {
  return {Wrap(Wide(r.left) + dx), Wrap(Wide(r.top) + dy), Wrap(Wide(r.right) + dx),
          Wrap(Wide(r.bottom) + dy)};
}

Rect MirrorRectX(const Rect& r, std::int32_t k) noexcept {
  return OffsetRect(r, Wrap(2 * Wide(k) - r.left - r.right), 0);
}

Rect MirrorRectY(const Rect& r, std::int32_t k) noexcept {
  return OffsetRect(r, 0, Wrap(2 * Wide(k) - r.top - r.bottom));
}

Rect UnionRect(const Rect& a, const Rect& b) noexcept {
  if (IsRectEmpty(a)) return IsRectEmpty(b) ? Rect{} : b;
  if (IsRectEmpty(b)) return a;
  return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
          std::max(a.bottom, b.bottom)};
}

Rect FlipRectX(const Rect& r) noexcept {
  return {Wrap(Wide(r.right) - 1), r.top, Wrap(Wide(r.left) - 1), r.bottom};
}

Rect FlipRectY(const Rect& r) noexcept {
  return {r.left, Wrap(Wide(r.bottom) - 1), r.right, Wrap(Wide(r.top) - 1)};
}

Rect UnflipRectX(const Rect& r) noexcept {
  return {Wrap(Wide(r.right) + 1), r.top, Wrap(Wide(r.left) + 1), r.bottom};
}

Rect UnflipRectY(const Rect& r) noexcept {
  return {r.left, Wrap(Wide(r.bottom) + 1), r.right, Wrap(Wide(r.top) + 1)};
}

Rect CalcCursorRect(Point now, Point previous, std::int32_t distance) noexcept {
  const auto half = [distance](std::int32_t a, std::int32_t b) {
    const std::int64_t moved = Wide(a) > b ? Wide(a) - b : Wide(b) - a;
    return std::max<std::int64_t>(moved, distance);
  };
  const std::int64_t hx = half(now.x, previous.x);
  const std::int64_t hy = half(now.y, previous.y);
  // Signed division truncates toward zero, as the refresh has always done.
  const std::int64_t mx = (Wide(now.x) + previous.x) / 2;
  const std::int64_t my = (Wide(now.y) + previous.y) / 2;
  // Cut, not wrapped: near the limits of the plane a wrapped square would turn
  // inside out and miss the cursor; a cut one still clips the screen exactly.
  return {Saturate(mx - hx), Saturate(my - hy), Saturate(mx + hx + 1), Saturate(my + hy + 1)};
}

ReflectRects CalcReflectRects(int direction, const Rect& window, const Rect& paint,
                              const Rect& clip, Point clientOrigin) noexcept {
  const bool vertical = direction == Top || direction == Bottom;
  std::int32_t k = window.left;
  if (direction == Top) k = window.top;
  if (direction == Right) k = window.right;
  if (direction == Bottom) k = window.bottom;

  // Exact arithmetic: near the limits of the plane, 32-bit sums would wrap an
  // empty paint area into a wide one and pull the source and destination apart.
  const auto mirror = [vertical, k](const Rect64& r) {
    if (vertical) {
      const std::int64_t d = 2 * Wide(k) - r.top - r.bottom;
      return Rect64{r.left, r.top + d, r.right, r.bottom + d};
    }
    const std::int64_t d = 2 * Wide(k) - r.left - r.right;
    return Rect64{r.left + d, r.top, r.right + d, r.bottom};
  };
  const Rect64 s0 = mirror(Widen(paint));
  const Rect64 src{std::max(s0.left, Wide(clip.left)), std::max(s0.top, Wide(clip.top)),
                   std::min(s0.right, Wide(clip.right)), std::min(s0.bottom, Wide(clip.bottom))};
  if (!IsEmpty(src)) {
    const Rect64 d = mirror(src);
    const Rect64 dc{d.left - clientOrigin.x, d.top - clientOrigin.y, d.right - clientOrigin.x,
                    d.bottom - clientOrigin.y};
    const Rect64 dst = vertical ? Rect64{dc.left, dc.bottom - 1, dc.right, dc.top - 1}
                                : Rect64{dc.right - 1, dc.top, dc.left - 1, dc.bottom};
    // The copy takes int extents and positions, and the view copies on the
    // pixels written (the destination unflipped); one the plane cannot hold
    // is not made at all.
    if (Fits(src.right - src.left) && Fits(src.bottom - src.top) && Fits(dst.left) &&
        Fits(dst.top) && Fits(dst.right) && Fits(dst.bottom) && Fits(dc.left) && Fits(dc.top) &&
        Fits(dc.right) && Fits(dc.bottom))
      return {{Wrap(src.left), Wrap(src.top), Wrap(src.right), Wrap(src.bottom)},
              {Wrap(dst.left), Wrap(dst.top), Wrap(dst.right), Wrap(dst.bottom)}};
  }

  // Nothing to copy: the empty source, and the zero-sized destination its
  // mirror image gives.
  const auto mirror32 = [vertical, k](const Rect& r) {
    return vertical ? MirrorRectY(r, k) : MirrorRectX(r, k);
  };
  const Rect client =
      OffsetRect(mirror32(Rect{}), Wrap(-Wide(clientOrigin.x)), Wrap(-Wide(clientOrigin.y)));
  return {Rect{}, vertical ? FlipRectY(client) : FlipRectX(client)};
}

void SetEdgeWidth(Rect& r, int side, std::int32_t width) noexcept {
  switch (side) {
    case Left: r.right = Wrap(Wide(r.left) + width); break;
    case Top: r.bottom = Wrap(Wide(r.top) + width); break;
    case Right: r.left = Wrap(Wide(r.right) - width); break;
    case Bottom: r.top = Wrap(Wide(r.bottom) - width); break;
    default: break;
  }
}

bool CutEdgeRect(Rect& r, int side, std::int32_t width, RectList& list) {
  if (side < Left || side > Bottom) return false;
  const std::int64_t extent = Extent(r, side);
  if (extent <= 0) return false;
  const std::int64_t band = width < extent ? width : extent;
  const std::int64_t rest = extent - band;
  list.push_back(r);
  SetEdgeWidth(list.back(), side, Wrap(band));
  SetEdgeWidth(r, GetOppositeDirection(side), Wrap(rest));
  return true;
}

}  // namespace vl
