// Where the mirror window and its view lie: the pure arithmetic of hit-testing,
// minimum size, the view's band and the default placement. Platform-free.
#pragma once

#include <cstdint>

#include "render/geometry.h"

namespace vl {

// Width of the sizing border inside the mirror window, on all four sides.
inline constexpr std::int32_t kSizingBorder = 8;

// Platform hit-test codes the mirror window reports.
enum HitCode : int {
  kHitClient = 1,
  kHitLeft = 10,
  kHitRight = 11,
  kHitTop = 12,
  kHitTopLeft = 13,
  kHitTopRight = 14,
  kHitBottom = 15,
  kHitBottomLeft = 16,
  kHitBottomRight = 17,
};

// Platform cursor ids (IDC_*) that CursorForHitCode answers with.
enum CursorId : int {
  kCursorArrow = 32512,
  kCursorSizeNWSE = 32642,
  kCursorSizeNESW = 32643,
  kCursorSizeWE = 32644,
  kCursorSizeNS = 32645,
};

// The hit-test code of screen point (x, y) for a window with rectangle
// `window`; left and top borders win in a window too small for both.
int HitTest(const Rect& window, std::int32_t x, std::int32_t y) noexcept;

// The system cursor id (IDC_*) for a hit-test code; 0 for codes with none.
int CursorForHitCode(int code) noexcept;

// The mirror window's least extent across the reflected side (along it, twice
// that): a wider band raises it to the band's width.
inline constexpr std::int32_t kMinSide = 100;

// Minimum tracking size of the mirror window.
Point MinTrackSize(int direction, std::int32_t transparentEdge) noexcept;

// The window rectangle while the border that hit-test code `code` names is
// dragged: that edge or those two edges move by the cursor's travel since the
// press, the others stay. The size keeps within minSize..maxSize (the minimum
// wins where the two cross): an edge stops at the limit and the opposite edge
// does not move. A code that names no border gives `start`.
Rect SizeByBorder(const Rect& start, int code, Point travel, Point minSize, Point maxSize) noexcept;

// The view's rectangle: the mirror window widened by the transparent band on
// the reflected side.
Rect ViewRectFor(const Rect& mirror, int direction, std::int32_t transparentEdge) noexcept;

// The reverse: the mirror window inside a view rectangle.
Rect MirrorRectFor(const Rect& view, int direction, std::int32_t transparentEdge) noexcept;

// The mirror window fitted into a view rectangle when the band widens:
// MirrorRectFor, but never narrower across the reflected side than
// MinTrackSize, so that a wider band cannot leave a window too small to grab.
// What is missing is added on the reflected side (the view grows there).
Rect FitMirrorIntoView(const Rect& view, int direction, std::int32_t transparentEdge) noexcept;

// The largest width or height the platform gives a window: it cuts larger
// sizes down to this.
inline constexpr std::int64_t kMaxWindowExtent = 32767;

// Whether a stored placement could be the rectangle of a real window: no wider
// or higher than a window can be. A larger one is damaged data; applied, it
// would become a window far larger than any screen, whose far borders the
// user cannot reach and whose reflected side lies off every screen.
bool FitsWindowExtent(const Rect& r) noexcept;

// First-run placement: a quarter of the work area, its reflected edge (plus
// the band) on the work area's centre line.
Rect DefaultPlacement(const Rect& workArea, int direction, std::int32_t transparentEdge) noexcept;

}  // namespace vl
