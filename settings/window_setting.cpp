#include "settings/window_setting.h"

#include <cstdint>

vl::Rect CWindowSetting::ShiftIntoScreen(const vl::Rect& r, const vl::Rect& screen) noexcept {
  // 64-bit so that a damaged stored rectangle cannot overflow; the result is
  // cut back to 32 bits as the platform would see it.
  const std::int64_t w = std::int64_t{r.right} - r.left;
  const std::int64_t h = std::int64_t{r.bottom} - r.top;
  std::int64_t left = r.left, top = r.top, right = r.right, bottom = r.bottom;
  if (bottom > screen.bottom) {
    bottom = screen.bottom;
    top = bottom - h;
  }
  if (top < screen.top) {
    top = screen.top;
    bottom = top + h;
  }
  if (right > screen.right) {
    right = screen.right;
    left = right - w;
  }
  if (left < screen.left) {
    left = screen.left;
    right = left + w;
  }
  return {static_cast<std::int32_t>(left), static_cast<std::int32_t>(top),
          static_cast<std::int32_t>(right), static_cast<std::int32_t>(bottom)};
}

std::optional<vl::Rect> CWindowSetting::RestoreTarget(const vl::Rect& virtualScreen,
                                                      unsigned flags) const noexcept {
  if (vl::IsRectEmpty(Rectangle)) return std::nullopt;
  // A window size is a 32-bit int; a width like INT_MAX - INT_MIN cannot be one.
  const std::int64_t w = std::int64_t{Rectangle.right} - Rectangle.left;
  const std::int64_t h = std::int64_t{Rectangle.bottom} - Rectangle.top;
  if (w > INT32_MAX || h > INT32_MAX) return std::nullopt;
  if (!(flags & kRestoreIntoScreen)) return Rectangle;
  const vl::Rect r = ShiftIntoScreen(Rectangle, virtualScreen);
  // The shift keeps the size unless an edge ran past the 32-bit range.
  if (std::int64_t{r.right} - r.left != w || std::int64_t{r.bottom} - r.top != h)
    return std::nullopt;
  return r;
}
