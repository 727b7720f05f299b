#include "settings/window_setting.h"

#include <gtest/gtest.h>

namespace {

using vl::Rect;

TEST(WindowSetting, ShiftIntoScreen) {
  const Rect screen{0, 0, 1920, 1080};
  const struct {
    Rect in, out;
  } cases[] = {
      {{100, 100, 400, 300}, {100, 100, 400, 300}},         // already inside
      {{1800, 1000, 2100, 1200}, {1620, 880, 1920, 1080}},  // beyond right and bottom
      {{-200, -50, 100, 150}, {0, 0, 300, 200}},            // beyond left and top
      {{-100, -100, 2100, 1300}, {0, 0, 2200, 1400}},       // larger than the screen
      {{500, 900, 700, 1200}, {500, 780, 700, 1080}},
  };
  for (const auto& c : cases) EXPECT_EQ(CWindowSetting::ShiftIntoScreen(c.in, screen), c.out);

  // A virtual screen with a monitor left of the primary one.
  EXPECT_EQ(CWindowSetting::ShiftIntoScreen({-2000, 10, -1800, 110}, {-1280, 0, 1920, 1080}),
            (Rect{-1280, 10, -1080, 110}));
}

}  // namespace
