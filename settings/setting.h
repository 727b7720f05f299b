// Everything the user can set, with defaults and limits. One instance for the
// whole process (`vl::g_setting`); every part of the program reads it directly.
#pragma once

#include <cstdint>
#include <string>

#include "render/geometry.h"
#include "settings/window_setting.h"

namespace vl {

class CSetting {
 public:
  std::int32_t Direction = Left;
  std::int32_t Edge = 4;                // frame on the three edges that do not reflect
  std::int32_t ThinEdge = 0;            // frame on the reflecting edge
  std::int32_t TransparentEdge = 50;    // band where the mouse passes through
  std::int32_t RefreshRate = 1000;      // refreshes per second, in hundredths
  std::int32_t EntireRefreshRate = 10;  // every N-th refresh is whole; 0: never
  std::int32_t AroundCursorDistance = 50;
  CWindowSetting Window;

  struct Bounds {
    std::int32_t min;
    std::int32_t max;
  };
  static constexpr Bounds kEdge{0, 16};
  static constexpr Bounds kThinEdge{0, 16};
  static constexpr Bounds kTransparentEdge{0, 100};
  static constexpr Bounds kRefreshRate{1, 5000};
  static constexpr Bounds kEntireRefreshRate{0, 9999};
  static constexpr Bounds kAroundCursorDistance{0, 65535};

  static std::int32_t Clamp(std::int32_t value, Bounds bounds) noexcept;

  // Brings the six numeric settings into their ranges; Direction and the
  // placement are left as they are.
  void ClampAll() noexcept;

  // Refresh timer period in milliseconds.
  std::uint32_t TimerPeriod() const noexcept;

  // Whether tick `tick` (0 = first after the timer started) reads only the
  // area around the cursor.
  bool IsCursorOnlyTick(std::int32_t tick) const noexcept;

  // The tick count after `tick`. It only needs to stay congruent modulo
  // EntireRefreshRate, so it wraps there instead of overflowing.
  std::int32_t NextTick(std::int32_t tick) const noexcept;

  // Frame bands of `rect` (the view's buffer, client coordinates) for
  // `direction`: the light list is painted first, the dark list over it.
  void CalcEdgeRects(const Rect& rect, int direction, RectList& light, RectList& dark) const;
  // The same for the given widths (Edge, ThinEdge, TransparentEdge).
  static void CalcEdgeRects(const Rect& rect, int direction, std::int32_t edge,
                            std::int32_t thinEdge, std::int32_t transparentEdge, RectList& light,
                            RectList& dark);

  // Registry store (Windows only, setting_store.cpp). Results are for tests
  // and diagnostics; the program goes on whatever they are.
  //
  // Load: the settings key under the current user's application key. False
  // when anything could not be read; each value that could not be read
  // leaves its own field as it was. Raises my::CException only when the
  // maker or product name string is missing from the resources.
  bool Load();
  // Save: writes every field there. False when any write failed.
  bool Save() const;
  // The work of Load and Save for the key `path` under `root` (placement in
  // its "Window" subkey). LoadFrom changes nothing when the key is missing;
  // otherwise it takes each well-formed value, then clamps. A stored
  // Direction outside 0..3 is treated like an ill-typed value.
  bool LoadFrom(const std::wstring& path, HKEY__* root);
  bool SaveTo(const std::wstring& path, HKEY__* root) const;
};

extern CSetting g_setting;

}  // namespace vl
