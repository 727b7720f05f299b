// Rectangle arithmetic of the reflection: which screen area is read, where it
// lands mirrored in the view, how much a cursor-only refresh reads, and the
// frame bands. Pure functions; no window system needed.
#pragma once

#include <cstdint>
#include <vector>

namespace vl {

// Same layout as the platform's RECT: right and bottom are exclusive.
struct Rect {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t right = 0;
  std::int32_t bottom = 0;

  friend bool operator==(const Rect&, const Rect&) = default;
};

// Same layout as the platform's POINT.
struct Point {
  std::int32_t x = 0;
  std::int32_t y = 0;

  friend bool operator==(const Point&, const Point&) = default;
};

using RectList = std::vector<Rect>;

// The reflected side; the numbers are what the registry stores.
enum Direction : std::int32_t { Left = 0, Top = 1, Right = 2, Bottom = 3 };

// COLORREF values, 0x00BBGGRR.
inline constexpr std::uint32_t kMovedAreaColor = 0x00000000;
inline constexpr std::uint32_t kLightBandColor = 0x00DCDCDC;
inline constexpr std::uint32_t kDarkBandColor = 0x00B4B4B4;

// 0 <-> 2, 1 <-> 3, anything else -1.
int GetOppositeDirection(int side) noexcept;

// True for a rectangle with no pixels (width or height zero or less).
bool IsRectEmpty(const Rect& r) noexcept;

// Intersection with the platform's rules: an empty result is all zeros.
Rect IntersectRect(const Rect& a, const Rect& b) noexcept;

Rect OffsetRect(const Rect& r, std::int32_t dx, std::int32_t dy) noexcept;

// The smallest rectangle holding both; an empty one counts as none, as the
// platform's UnionRect has it.
Rect UnionRect(const Rect& a, const Rect& b) noexcept;

// Mirror about the vertical line between columns k-1 and k (resp. rows).
Rect MirrorRectX(const Rect& r, std::int32_t k) noexcept;
Rect MirrorRectY(const Rect& r, std::int32_t k) noexcept;

// Encode a destination for a reversed StretchBlt along x (resp. y): the origin
// moves to the last column and the extent becomes negative.
Rect FlipRectX(const Rect& r) noexcept;
Rect FlipRectY(const Rect& r) noexcept;
// The pixels such a destination covers, as a plain rectangle again.
Rect UnflipRectX(const Rect& r) noexcept;
Rect UnflipRectY(const Rect& r) noexcept;

// The square of source pixels a cursor-only refresh reads: around the midpoint
// of the old and new cursor, holding both, reaching `distance` (or the
// distance moved, if larger) beyond the midpoint. Cut to the 32-bit plane
// where it would reach past it.
Rect CalcCursorRect(Point now, Point previous, std::int32_t distance) noexcept;

struct ReflectRects {
  Rect src;  // screen coordinates
  Rect dst;  // client coordinates, flip-encoded
};

// Source and destination of the mirrored copy of `paint` (screen coordinates)
// for a view whose window rectangle is `window`, clipped by `clip`. A copy
// whose extents or destination (flipped or not) do not fit 32 bits is not
// made: the source is then empty, like one that misses the clip.
ReflectRects CalcReflectRects(int direction, const Rect& window, const Rect& paint,
                              const Rect& clip, Point clientOrigin) noexcept;

// Narrow `r` to the band of `width` along `side`; other sides leave it alone.
void SetEdgeWidth(Rect& r, int side, std::int32_t width) noexcept;

// Cut a band of `width` off `r` along `side` and append it to `list`; `r`
// keeps what lies beside the band. False when nothing was cut.
bool CutEdgeRect(Rect& r, int side, std::int32_t width, RectList& list);

}  // namespace vl
