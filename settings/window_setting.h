// The mirror window's last placement: whether it was maximised and its last
// normal rectangle. The record and its arithmetic are platform-free.
#pragma once

#include "render/geometry.h"

// Flags of CWindowSetting::Restore.
inline constexpr unsigned kRestoreKeepPosition = 1;
inline constexpr unsigned kRestoreKeepSize = 2;
inline constexpr unsigned kRestoreIntoScreen = 4;

class CWindowSetting {
 public:
  bool FullScreen = false;
  vl::Rect Rectangle;  // outer rectangle in the normal state; empty: unknown

  // Shifts `r` into `screen` without changing its size: bottom, top, right,
  // left in this order, so an oversized rectangle ends at the top-left corner.
  static vl::Rect ShiftIntoScreen(const vl::Rect& r, const vl::Rect& screen) noexcept;
};
