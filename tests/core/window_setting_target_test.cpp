#include <gtest/gtest.h>

#include <climits>

#include "settings/window_setting.h"

namespace {

using vl::Rect;

// What Restore would apply, for stored rectangles a damaged registry can hold.
TEST(WindowSettingTarget, RestoreTarget) {
  const Rect screen{0, 0, 1920, 1080};
  const struct {
    const char* what;
    Rect stored;
    unsigned flags;
    std::optional<Rect> target;
  } cases[] = {
      {"worked example", {1800, 900, 2100, 1100}, 4, Rect{1620, 880, 1920, 1080}},
      {"larger than the screen", {-300, -200, 2300, 1400}, 4, Rect{0, 0, 2600, 1600}},
      {"no shift without flag 4", {1800, 900, 2100, 1100}, 1 | 2, Rect{1800, 900, 2100, 1100}},
      {"empty", {}, 4, std::nullopt},
      {"zero width", {5, 5, 5, 100}, 4, std::nullopt},
      {"inverted", {500, 500, 400, 600}, 4, std::nullopt},
      {"widest window size", {INT_MIN, 0, -1, 100}, 4, Rect{0, 0, INT_MAX, 100}},
      {"width beyond a window size", {INT_MIN, 0, INT_MAX, 100}, 4, std::nullopt},
      {"height beyond a window size", {0, -2, 100, INT_MAX}, 0, std::nullopt},
  };
  for (const auto& c : cases) {
    CWindowSetting s;
    s.Rectangle = c.stored;
    EXPECT_EQ(s.RestoreTarget(screen, c.flags), c.target) << c.what;
  }
}

TEST(WindowSettingTarget, ShiftThatWouldRunPastTheIntRangeIsRefused) {
  // The widest size fits a window, but moved into a screen that starts right
  // of 0 its right edge would pass INT_MAX.
  CWindowSetting s;
  s.Rectangle = {INT_MIN, 0, -1, 100};
  EXPECT_EQ(s.RestoreTarget({100, 0, 2020, 1080}, kRestoreIntoScreen), std::nullopt);
  // A screen left of 0 leaves room.
  EXPECT_EQ(s.RestoreTarget({-100, 0, 1820, 1080}, kRestoreIntoScreen),
            (Rect{-100, 0, INT_MAX - 100, 100}));
}

}  // namespace
