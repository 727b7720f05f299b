// Bridges between the platform-free rectangle and point and the platform's
// RECT and POINT, which share their layout.
#pragma once

#include <windows.h>

#include <cstddef>

#include "render/geometry.h"

static_assert(sizeof(vl::Rect) == sizeof(RECT) && alignof(vl::Rect) == alignof(RECT));
static_assert(offsetof(vl::Rect, left) == offsetof(RECT, left) &&
              offsetof(vl::Rect, top) == offsetof(RECT, top) &&
              offsetof(vl::Rect, right) == offsetof(RECT, right) &&
              offsetof(vl::Rect, bottom) == offsetof(RECT, bottom));
static_assert(sizeof(vl::Point) == sizeof(POINT) && offsetof(vl::Point, x) == offsetof(POINT, x) &&
              offsetof(vl::Point, y) == offsetof(POINT, y));

namespace vl {

inline RECT ToRECT(const Rect& r) noexcept { return {r.left, r.top, r.right, r.bottom}; }
inline Rect FromRECT(const RECT& r) noexcept { return {r.left, r.top, r.right, r.bottom}; }
inline POINT ToPOINT(Point p) noexcept { return {p.x, p.y}; }
inline Point FromPOINT(POINT p) noexcept { return {p.x, p.y}; }

}  // namespace vl
