#include "app/refresh_schedule.h"

#include <algorithm>

namespace vl {

namespace {
// A rate of 1 hundredth a second is one refresh every 100 s.
constexpr std::int64_t kMicrosecondsTimesHundred = 100'000'000;
// Far beyond any period (100 s at the slowest), and well inside a UINT.
constexpr std::int64_t kMaxDelayMs = 1'000'000;
}  // namespace

void CRefreshSchedule::Start(std::int64_t now, std::int32_t rate) noexcept {
  m_start = now;
  m_count = 1;
  m_rate = std::max(rate, 1);
}

std::int64_t CRefreshSchedule::Due() const noexcept {
  return m_start + m_count * kMicrosecondsTimesHundred / m_rate;
}

std::int64_t CRefreshSchedule::Period() const noexcept {
  return kMicrosecondsTimesHundred / m_rate;
}

bool CRefreshSchedule::OnTick(std::int64_t now) noexcept {
  if (now < Due() - Period() / 2) return false;
  ++m_count;
  if (Due() <= now) Start(now, m_rate);
  return true;
}

std::uint32_t CRefreshSchedule::DelayMs(std::int64_t now) const noexcept {
  const std::int64_t ms = (Due() - now + 500) / 1000;
  return static_cast<std::uint32_t>(std::clamp<std::int64_t>(ms, kMinTimerDelayMs, kMaxDelayMs));
}

}  // namespace vl
