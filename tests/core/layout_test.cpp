#include "app/layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <ostream>
#include <vector>

#include "app/refresh_schedule.h"

namespace vl {

void PrintTo(const Rect& r, std::ostream* os);

namespace {

TEST(Layout, HitTestBordersAndCorners) {
  const Rect w{100, 100, 400, 300};
  const struct {
    int x, y, code;
  } cases[] = {
      {107, 200, kHitLeft},
      {108, 200, kHitClient},
      {392, 200, kHitRight},
      {391, 200, kHitClient},
      {100, 100, kHitTopLeft},
      {399, 299, kHitBottomRight},
      {250, 292, kHitBottom},
      {250, 291, kHitClient},
      {250, 107, kHitTop},
      {395, 105, kHitTopRight},
      {101, 298, kHitBottomLeft},
      // Outside the window still yields a border code, never "nowhere".
      {50, 50, kHitTopLeft},
      {500, 200, kHitRight},
  };
  for (const auto& c : cases) EXPECT_EQ(HitTest(w, c.x, c.y), c.code) << c.x << "," << c.y;
}

TEST(Layout, NarrowWindowLetsLeftAndTopWin) {
  const Rect w{0, 0, 12, 12};                // borders overlap
  EXPECT_EQ(HitTest(w, 6, 6), kHitTopLeft);  // also within the right/bottom border
  EXPECT_EQ(HitTest(w, 8, 8), kHitBottomRight);
  // A failed window query leaves an empty rectangle: a border code again.
  EXPECT_EQ(HitTest(Rect{}, 0, 0), kHitTopLeft);
}

TEST(Layout, CursorPerHitCode) {
  const struct {
    int code, cursor;
  } cases[] = {{1, 32512},  {10, 32644}, {11, 32644}, {12, 32645}, {15, 32645}, {13, 32642},
               {17, 32642}, {14, 32643}, {16, 32643}, {0, 0},      {2, 0},      {18, 0}};
  for (const auto& c : cases) EXPECT_EQ(CursorForHitCode(c.code), c.cursor) << c.code;
}

TEST(Layout, MinimumTrackingSize) {
  EXPECT_EQ(MinTrackSize(Left, 50), (Point{100, 200}));
  EXPECT_EQ(MinTrackSize(Right, 0), (Point{100, 200}));
  EXPECT_EQ(MinTrackSize(Top, 50), (Point{200, 100}));
  EXPECT_EQ(MinTrackSize(Bottom, 100), (Point{200, 100}));
  EXPECT_EQ(MinTrackSize(7, 50), (Point{200, 200}));
  EXPECT_EQ(MinTrackSize(Left, 150), (Point{150, 300}));  // only with an unclamped band
}

TEST(Layout, SizingMovesTheNamedEdgesWithinTheLimits) {
  const Rect w{100, 100, 400, 300};
  const Point min{100, 200}, max{1000, 250};
  const struct {
    int code;
    Point travel;
    Rect expected;
  } cases[] = {
      {kHitLeft, {-30, 99}, {70, 100, 400, 300}},
      {kHitRight, {40, -5}, {100, 100, 440, 300}},
      {kHitTop, {7, -20}, {100, 80, 400, 300}},  // max height 250 from 200: below the cap
      {kHitBottomRight, {-60, 40}, {100, 100, 340, 340}},
      {kHitTopLeft, {10, 10}, {110, 100, 400, 300}},  // already at the minimum height
      {kHitTopRight, {5, -5}, {100, 95, 405, 300}},
      {kHitBottomLeft, {5, 5}, {105, 100, 400, 305}},
      // Past the minimum: the moving edge stops, the opposite one stays.
      {kHitLeft, {1000, 0}, {300, 100, 400, 300}},
      {kHitRight, {-1000, 0}, {100, 100, 200, 300}},
      {kHitTop, {0, 1000}, {100, 100, 400, 300}},
      {kHitBottom, {0, -1000}, {100, 100, 400, 300}},
      // Past the maximum.
      {kHitRight, {5000, 0}, {100, 100, 1100, 300}},
      {kHitTopLeft, {-5000, -5000}, {-600, 50, 400, 300}},
      // Extreme travel does not overflow.
      {kHitLeft, {INT32_MIN, 0}, {-600, 100, 400, 300}},
      // Not a border: nothing moves.
      {kHitClient, {50, 50}, w},
      {0, {50, 50}, w},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SizeByBorder(w, c.code, c.travel, min, max), c.expected)
        << c.code << " by " << c.travel.x << "," << c.travel.y;
  // A maximum below the minimum: the minimum holds.
  EXPECT_EQ(SizeByBorder(w, kHitBottom, {0, 0}, {100, 200}, {50, 150}), (Rect{100, 100, 400, 300}));
}

TEST(Layout, ViewBandOnTheReflectedSideAndBack) {
  const Rect m{100, 100, 400, 300};
  const struct {
    int direction;
    Rect view;
  } cases[] = {{Left, {50, 100, 400, 300}},
               {Top, {100, 50, 400, 300}},
               {Right, {100, 100, 450, 300}},
               {Bottom, {100, 100, 400, 350}},
               {9, {100, 100, 400, 300}}};
  for (const auto& c : cases) {
    EXPECT_EQ(ViewRectFor(m, c.direction, 50), c.view) << c.direction;
    EXPECT_EQ(MirrorRectFor(c.view, c.direction, 50), m) << c.direction;
  }
  EXPECT_EQ(ViewRectFor(m, Left, 0), m);
}

TEST(Layout, FittedMirrorKeepsItsMinimumSize) {
  const struct {
    int direction;
    std::int32_t band;
    Rect view, mirror;
  } cases[] = {
      // Room enough: the plain reverse of the band.
      {Left, 50, {100, 100, 400, 300}, {150, 100, 400, 300}},
      // A band as wide as the view: the window keeps 100, the view grows left.
      {Left, 100, {100, 100, 200, 300}, {100, 100, 200, 300}},
      {Right, 100, {100, 100, 200, 300}, {100, 100, 200, 300}},
      {Top, 100, {100, 100, 300, 200}, {100, 100, 300, 200}},
      {Bottom, 100, {100, 100, 300, 200}, {100, 100, 300, 200}},
      // Only across the reflected side: a band cannot shrink the other axis.
      {Left, 0, {100, 100, 300, 200}, {100, 100, 300, 200}},
      {Top, 0, {100, 100, 200, 300}, {100, 100, 200, 300}},
      {9, 50, {100, 100, 150, 150}, {100, 100, 150, 150}},
  };
  for (const auto& c : cases) {
    const Rect m = FitMirrorIntoView(c.view, c.direction, c.band);
    EXPECT_EQ(m, c.mirror) << c.direction << " band " << c.band;
    if (c.direction > Bottom) continue;  // no side, no band to keep the window from
    const Point min = MinTrackSize(c.direction, c.band);
    const bool across = c.direction == Left || c.direction == Right;
    EXPECT_GE(across ? m.right - m.left : m.bottom - m.top, across ? min.x : min.y);
  }
}

TEST(Layout, DefaultPlacementPerSide) {
  const Rect work{0, 0, 1920, 1040};
  const struct {
    int direction, te;
    Rect expected;
  } cases[] = {
      {Left, 50, {1010, 390, 1440, 650}}, {Top, 50, {720, 570, 1200, 780}},
      {Right, 50, {480, 390, 910, 650}},  {Bottom, 50, {720, 260, 1200, 470}},
      {Left, 0, {960, 390, 1440, 650}},   {-1, 50, {1010, 390, 1440, 650}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DefaultPlacement(work, c.direction, c.te), c.expected) << c.direction;
}

TEST(Layout, DefaultPlacementKeepsAHundredPixelsWhenTheBandIsTooWide) {
  // A tiny work area: the band would push the edge past the work area.
  const Rect work{0, 0, 100, 80};
  EXPECT_EQ(DefaultPlacement(work, Left, 60).left, 0);        // R - 100
  EXPECT_EQ(DefaultPlacement(work, Right, 60).right, 100);    // L + 100
  EXPECT_EQ(DefaultPlacement(work, Top, 60).top, -20);        // B - 100
  EXPECT_EQ(DefaultPlacement(work, Bottom, 60).bottom, 100);  // T + 100
  // Work areas left of and above the primary origin divide toward zero.
  EXPECT_EQ(DefaultPlacement({-1921, -1081, -2, -1}, Left, 50), (Rect{-911, -676, -482, -406}));
}

}  // namespace
}  // namespace vl

namespace vl {
namespace {

// A window timer, simulated. On Windows it fires on a tick of the system
// clock, its delay counted from the clock's last tick (so up to a tick early),
// and left running it counts the next period from the tick that fired it.
// Under Wine it fires on the microsecond asked, and left running a period
// after its own last expiry.
constexpr std::int64_t kTick = 15625;
struct Timer {
  bool windows;
  std::int64_t expiry = 0;
  std::uint32_t periodMs = 0;
  void Set(std::int64_t now, std::uint32_t ms) {
    periodMs = ms;
    expiry = (windows ? now / kTick * kTick : now) + std::int64_t{ms} * 1000;
  }
  std::int64_t Fires() const { return windows ? (expiry + kTick - 1) / kTick * kTick : expiry; }
  void Fired(std::int64_t at) { expiry = (windows ? at : expiry) + std::int64_t{periodMs} * 1000; }
};

struct TickRun {
  std::vector<std::int64_t> refreshes;  // when each refresh came
  std::int64_t latest = 0;              // most late against its due time
  std::size_t wakeups = 0;              // ticks, refreshing or not
};

// A minute of ticks at `rate` hundredths a second, starting a little after a
// tick, each refresh taking `costUs`. With `deadline` the schedule decides
// and the timer is set after every tick, as the mirror window does; without,
// every tick refreshes and the timer keeps its fixed period. A stall holds
// the tick that comes at or after `stallAt` back by `stall`.
TickRun Simulate(std::int32_t rate, bool deadline, bool windows = true, std::int64_t costUs = 0,
                 std::int64_t stallAt = -1, std::int64_t stall = 0) {
  const std::int64_t begin = 3 * kTick + 4321, end = begin + 60'000'000;
  CRefreshSchedule schedule;
  schedule.Start(begin, rate);
  TickRun run;
  Timer timer{windows};
  timer.Set(begin, static_cast<std::uint32_t>(100000 / rate));
  for (;;) {
    std::int64_t now = std::max(timer.Fires(), begin);
    if (stallAt >= 0 && now >= stallAt) {
      now += stall;
      stallAt = -1;
    }
    if (now > end) break;
    timer.Fired(now);
    ++run.wakeups;
    const std::int64_t due = schedule.Due();
    if (!deadline || schedule.OnTick(now)) {
      run.refreshes.push_back(now);
      run.latest = std::max(run.latest, now - due);
      now += costUs;
    }
    if (deadline) timer.Set(now, schedule.DelayMs(now));
  }
  return run;
}

bool KeepsTheRate(const TickRun& run, std::int32_t rate) {
  const double want = rate * 60.0 / 100;
  return std::abs(static_cast<double>(run.refreshes.size()) - want) <= std::max(1.0, want / 100);
}

// On Windows' tick and on Wine's timers, whatever a refresh costs, the rate
// set is the rate shown, with one wake-up a refresh and each refresh at most
// a tick late (and the half millisecond that whole milliseconds of the timer
// add); a fixed period falls behind on
// Windows at every rate whose period is not whole ticks.
// Ticks held back for 3 s (a busy moment) bring no burst of refreshes to catch
// up: the schedule starts again from the tick that comes.
TEST(RefreshSchedule, KeepsTheRateWithOneWakeUpARefreshAndNoBurstAfterAStall) {
  const struct {
    std::int32_t rate;
    bool fixedKeepsIt;
  } cases[] = {{1, true},     {100, true},   {999, false},  {1000, false},
               {2000, false}, {2997, false}, {4000, false}, {5000, false}};
  for (const auto& c : cases) {
    for (const bool windows : {true, false}) {
      for (const std::int64_t cost : {0, 1000, 3000}) {
        const TickRun run = Simulate(c.rate, true, windows, cost);
        const auto what = ::testing::Message() << c.rate << (windows ? " on the tick" : " on Wine")
                                               << ", cost " << cost << " us";
        EXPECT_TRUE(KeepsTheRate(run, c.rate)) << what << ": " << run.refreshes.size();
        EXPECT_LE(static_cast<double>(run.wakeups),
                  1.05 * static_cast<double>(run.refreshes.size()))
            << what << ": " << run.wakeups << " wake-ups";
        EXPECT_LE(run.latest, kTick + 500) << what;
      }
    }
    EXPECT_EQ(KeepsTheRate(Simulate(c.rate, false), c.rate), c.fixedKeepsIt) << c.rate;

    if (c.rate < 1000) continue;  // slower ones see a refresh or two a stall
    const std::int64_t resume = 20'000'000 + 3'000'000;
    const TickRun stalled = Simulate(c.rate, true, true, 0, 20'000'000, 3'000'000);
    const auto inASecond =
        std::count_if(stalled.refreshes.begin(), stalled.refreshes.end(),
                      [&](std::int64_t t) { return t >= resume && t < resume + 1'000'000; });
    EXPECT_NEAR(static_cast<double>(inASecond), c.rate / 100.0, 1.0) << c.rate;
  }
}

}  // namespace
}  // namespace vl
