#include "settings/setting.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace vl {
namespace {

TEST(Setting, Defaults) {
  const CSetting s;
  EXPECT_EQ(s.Direction, 0);
  EXPECT_EQ(s.Edge, 4);
  EXPECT_EQ(s.ThinEdge, 0);
  EXPECT_EQ(s.TransparentEdge, 50);
  EXPECT_EQ(s.RefreshRate, 1000);
  EXPECT_EQ(s.EntireRefreshRate, 10);
  EXPECT_EQ(s.AroundCursorDistance, 50);
  EXPECT_FALSE(s.Window.FullScreen);
  EXPECT_EQ(s.Window.Rectangle, Rect{});
}

TEST(Setting, ClampAll) {
  const struct {
    std::int32_t in[6];
    std::int32_t out[6];
  } cases[] = {
      {{-5, 17, 101, 0, 10000, 70000}, {0, 16, 100, 1, 9999, 65535}},
      {{0, 16, 100, 1, 9999, 65535}, {0, 16, 100, 1, 9999, 65535}},  // bounds kept
      {{16, 0, 0, 5000, 0, 0}, {16, 0, 0, 5000, 0, 0}},
      {{INT_MIN, INT_MAX, INT_MIN, INT_MIN, INT_MIN, INT_MAX}, {0, 16, 0, 1, 0, 65535}},
      {{-1, -1, -1, -1, -1, -1}, {0, 0, 0, 1, 0, 0}},
  };
  for (const auto& c : cases) {
    CSetting s;
    s.Direction = 9;  // not clamped
    s.Window.Rectangle = {1, 2, 3, 4};
    s.Edge = c.in[0];
    s.ThinEdge = c.in[1];
    s.TransparentEdge = c.in[2];
    s.RefreshRate = c.in[3];
    s.EntireRefreshRate = c.in[4];
    s.AroundCursorDistance = c.in[5];
    s.ClampAll();
    const std::int32_t got[6] = {s.Edge,        s.ThinEdge,          s.TransparentEdge,
                                 s.RefreshRate, s.EntireRefreshRate, s.AroundCursorDistance};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(got[i], c.out[i]) << "field " << i;
    EXPECT_EQ(s.Direction, 9);
    EXPECT_EQ(s.Window.Rectangle, (Rect{1, 2, 3, 4}));
  }
}

TEST(Setting, TimerPeriod) {
  const struct {
    std::int32_t rate;
    std::uint32_t period;
  } cases[] = {{1000, 100}, {2997, 33},  {3000, 33},  {5000, 20},
               {1, 100000}, {0, 100000}, {-7, 100000}};
  for (const auto& c : cases) {
    CSetting s;
    s.RefreshRate = c.rate;
    EXPECT_EQ(s.TimerPeriod(), c.period) << c.rate;
  }
}

// The whole/cursor-only pattern of the first `n` ticks, as the timer produces it.
std::vector<bool> CursorOnlySequence(const CSetting& s, int n, std::int32_t start = 0) {
  std::vector<bool> seq;
  std::int32_t tick = start;
  for (int i = 0; i < n; ++i) {
    seq.push_back(s.IsCursorOnlyTick(tick));
    tick = s.NextTick(tick);
  }
  return seq;
}

TEST(Setting, TickSequence) {
  CSetting s;
  s.EntireRefreshRate = 10;
  auto seq = CursorOnlySequence(s, 31);
  for (std::size_t i = 0; i < seq.size(); ++i) EXPECT_EQ(seq[i], i % 10 != 0) << i;

  s.EntireRefreshRate = 1;
  for (bool cursorOnly : CursorOnlySequence(s, 5)) EXPECT_FALSE(cursorOnly);

  s.EntireRefreshRate = 0;
  for (bool cursorOnly : CursorOnlySequence(s, 5)) EXPECT_TRUE(cursorOnly);

  s.EntireRefreshRate = -3;  // only reachable through a damaged value
  for (bool cursorOnly : CursorOnlySequence(s, 5)) EXPECT_TRUE(cursorOnly);
}

TEST(Setting, TickCountNeverOverflows) {
  // A naive count reaches INT_MAX after ~500 days at 50 Hz; ours wraps at N and
  // keeps the pattern. Also start from counts a damaged caller might hold.
  CSetting s;
  s.EntireRefreshRate = 9999;
  std::int32_t tick = 9998;
  EXPECT_TRUE(s.IsCursorOnlyTick(tick));
  tick = s.NextTick(tick);
  EXPECT_EQ(tick, 0);
  EXPECT_FALSE(s.IsCursorOnlyTick(tick));
  for (std::int32_t start : {INT_MAX, INT_MIN, -1}) {
    tick = s.NextTick(start);
    EXPECT_GE(tick, 0);
    EXPECT_LT(tick, 9999);
  }
  s.EntireRefreshRate = 0;
  EXPECT_EQ(s.NextTick(INT_MAX), 0);
}

}  // namespace
}  // namespace vl
