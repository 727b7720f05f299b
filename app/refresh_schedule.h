// When the refresh timer's ticks refresh. Windows fires a window timer on the
// system clock's tick (15.625 ms as a rule) and counts the next period from
// the tick that fired it, so a fixed period loses up to a tick on every
// firing: 20 ms comes every 31.25 ms. The schedule keeps the time each
// refresh is due instead and the timer is set, after every tick, for what is
// left of it, so the refreshes come at the rate set on average, each at most
// a tick late. A timer may also fire early: Windows counts its delay from the
// clock's last tick, up to a tick before it was set, and one left running
// counts from its own last expiry, not from the end of the refresh. So a tick
// within half a period of the due time refreshes, rather than waking the
// program once more a moment later.
// Platform-free: times are microseconds of a monotonic clock.
#pragma once

#include <cstdint>

namespace vl {

// The shortest period the platform's timer takes (USER_TIMER_MINIMUM).
inline constexpr std::uint32_t kMinTimerDelayMs = 10;

class CRefreshSchedule {
 public:
  // Starts at `now` for `rate` hundredths of refreshes a second (below 1
  // counts as 1): the first refresh is due one period later.
  void Start(std::int64_t now, std::int32_t rate) noexcept;

  // A tick of the timer at `now`: true when the refresh is due (a tick may
  // come up to half a period early); the next one is then due a period
  // after this one was, or, if the ticks fell more than a period behind, a
  // period after now, so a stall brings no burst of refreshes to catch up.
  bool OnTick(std::int64_t now) noexcept;

  // When the next refresh is due.
  std::int64_t Due() const noexcept;

  // What to set the timer for at `now`: the time left to the due time, in
  // whole milliseconds to the nearest, never below kMinTimerDelayMs.
  std::uint32_t DelayMs(std::int64_t now) const noexcept;

  // The period in microseconds, to the microsecond below.
  std::int64_t Period() const noexcept;

 private:
  // The due time is kept as a count of periods from a start, so that
  // periods of a fraction of a microsecond add up without drift.
  std::int64_t m_start = 0;
  std::int64_t m_count = 1;
  std::int32_t m_rate = 1;
};

}  // namespace vl
