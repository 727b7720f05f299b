#include "app/layout.h"

namespace vl {

namespace {

std::int32_t Narrow(std::int64_t v) noexcept { return static_cast<std::int32_t>(v); }

// Widen (sign +1) or narrow (sign -1) `r` by `by` on `side`.
Rect Grow(Rect r, int side, std::int64_t by, int sign) noexcept {
  const std::int64_t d = by * sign;
  switch (side) {
    case Left: r.left = Narrow(r.left - d); break;
    case Top: r.top = Narrow(r.top - d); break;
    case Right: r.right = Narrow(r.right + d); break;
    case Bottom: r.bottom = Narrow(r.bottom + d); break;
    default: break;
  }
  return r;
}

// The new extent of one axis whose far edge moves by `d`, kept within
// min..max (min wins where the two cross).
std::int64_t Extent(std::int64_t size, std::int64_t d, std::int64_t min,
                    std::int64_t max) noexcept {
  const std::int64_t wanted = size + d;
  if (wanted > max) return max < min ? min : max;
  return wanted < min ? min : wanted;
}

}  // namespace

int HitTest(const Rect& w, std::int32_t x, std::int32_t y) noexcept {
  const std::int64_t px = x, py = y;
  const int h = px < std::int64_t{w.left} + kSizingBorder     ? -1
                : px >= std::int64_t{w.right} - kSizingBorder ? 1
                                                              : 0;
  const int v = py < std::int64_t{w.top} + kSizingBorder       ? -1
                : py >= std::int64_t{w.bottom} - kSizingBorder ? 1
                                                               : 0;
  static constexpr int kCodes[3][3] = {
      {kHitTopLeft, kHitLeft, kHitBottomLeft},
      {kHitTop, kHitClient, kHitBottom},
      {kHitTopRight, kHitRight, kHitBottomRight},
  };
  return kCodes[h + 1][v + 1];
}

int CursorForHitCode(int code) noexcept {
  switch (code) {
    case kHitClient: return kCursorArrow;
    case kHitLeft:
    case kHitRight: return kCursorSizeWE;
    case kHitTop:
    case kHitBottom: return kCursorSizeNS;
    case kHitTopLeft:
    case kHitBottomRight: return kCursorSizeNWSE;
    case kHitTopRight:
    case kHitBottomLeft: return kCursorSizeNESW;
    default: return 0;
  }
}

Point MinTrackSize(int direction, std::int32_t transparentEdge) noexcept {
  const std::int32_t s = transparentEdge > kMinSide ? transparentEdge : kMinSide;
  const std::int32_t twice = Narrow(2 * std::int64_t{s});
  switch (direction) {
    case Left:
    case Right: return {s, twice};
    case Top:
    case Bottom: return {twice, s};
    default: return {twice, twice};
  }
}

Rect SizeByBorder(const Rect& start, int code, Point travel, Point minSize,
                  Point maxSize) noexcept {
  // Which edges the border names: -1 the left (top) edge, +1 the right
  // (bottom) edge, 0 neither.
  int h = 0, v = 0;
  switch (code) {
    case kHitLeft: h = -1; break;
    case kHitRight: h = 1; break;
    case kHitTop: v = -1; break;
    case kHitBottom: v = 1; break;
    case kHitTopLeft: h = -1, v = -1; break;
    case kHitTopRight: h = 1, v = -1; break;
    case kHitBottomLeft: h = -1, v = 1; break;
    case kHitBottomRight: h = 1, v = 1; break;
    default: return start;
  }
  Rect r = start;
  const std::int64_t w = std::int64_t{start.right} - start.left;
  const std::int64_t ht = std::int64_t{start.bottom} - start.top;
  if (h < 0)
    r.left = Narrow(start.right - Extent(w, -std::int64_t{travel.x}, minSize.x, maxSize.x));
  if (h > 0) r.right = Narrow(start.left + Extent(w, travel.x, minSize.x, maxSize.x));
  if (v < 0)
    r.top = Narrow(start.bottom - Extent(ht, -std::int64_t{travel.y}, minSize.y, maxSize.y));
  if (v > 0) r.bottom = Narrow(start.top + Extent(ht, travel.y, minSize.y, maxSize.y));
  return r;
}

Rect ViewRectFor(const Rect& mirror, int direction, std::int32_t transparentEdge) noexcept {
  return Grow(mirror, direction, transparentEdge, 1);
}

Rect MirrorRectFor(const Rect& view, int direction, std::int32_t transparentEdge) noexcept {
  return Grow(view, direction, transparentEdge, -1);
}

Rect FitMirrorIntoView(const Rect& view, int direction, std::int32_t transparentEdge) noexcept {
  const Rect m = MirrorRectFor(view, direction, transparentEdge);
  const Point min = MinTrackSize(direction, transparentEdge);
  const bool vertical = direction == Top || direction == Bottom;
  const std::int64_t across =
      vertical ? std::int64_t{m.bottom} - m.top : std::int64_t{m.right} - m.left;
  const std::int64_t least = vertical ? min.y : min.x;
  // What is missing goes onto the reflected side, where the view grows.
  return across < least ? Grow(m, direction, least - across, 1) : m;
}

bool FitsWindowExtent(const Rect& r) noexcept {
  return std::int64_t{r.right} - r.left <= kMaxWindowExtent &&
         std::int64_t{r.bottom} - r.top <= kMaxWindowExtent;
}

Rect DefaultPlacement(const Rect& work, int direction, std::int32_t te) noexcept {
  // 64-bit throughout: the work area comes from the system, the band from the
  // registry; neither may make the arithmetic overflow.
  const std::int64_t L = work.left, T = work.top, R = work.right, B = work.bottom, TE = te;
  const std::int64_t W = R - L, H = B - T, qw = W / 4, qh = H / 4;
  const std::int64_t x0 = L + (W - qw) / 2, y0 = T + (H - qh) / 2;
  const std::int64_t cx = (L + R) / 2, cy = (T + B) / 2;
  std::int64_t l, t, r, b;
  switch (direction) {
    case Top:
      l = x0, r = x0 + qw, b = cy + qh;
      t = cy + TE >= B ? B - kMinSide : cy + TE;
      break;
    case Right:
      l = cx - qw, t = y0, b = y0 + qh;
      r = cx - TE <= L ? L + kMinSide : cx - TE;
      break;
    case Bottom:
      l = x0, t = cy - qh, r = x0 + qw;
      b = cy - TE <= T ? T + kMinSide : cy - TE;
      break;
    default:  // Left, and any side the menu does not know
      t = y0, r = cx + qw, b = y0 + qh;
      l = cx + TE >= R ? R - kMinSide : cx + TE;
      break;
  }
  return {Narrow(l), Narrow(t), Narrow(r), Narrow(b)};
}

}  // namespace vl
