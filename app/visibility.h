// What can keep the mirror from being seen, and how the refresh timer runs
// for it. While nobody can see the picture the screen is not read; the first
// refresh once it can be seen again is whole, since the picture under it may
// have changed meanwhile. A new reason to pause is one more field here and
// the one event that sets it.
// Platform-free.
#pragma once

namespace vl {

struct Visibility {
  bool hidden = true;         // not shown (so at creation)
  bool minimised = false;     // iconic
  bool locked = false;        // the session is locked
  bool disconnected = false;  // the session is disconnected
  bool cloaked = false;       // on another virtual desktop

  bool operator==(const Visibility&) const = default;

  constexpr bool Seen() const noexcept {
    return !hidden && !minimised && !locked && !disconnected && !cloaked;
  }
};

enum class TimerMode {
  kStopped,     // nothing to show: no wake-ups at all
  kPollCloak,   // only the cloak hides it, and no event will say when it ends
  kRefreshing,  // the refresh rate set
};

// `cloakEvents`: whether the system tells of cloaking as it happens; without
// that, a cloaked mirror must ask now and then whether it shows again.
constexpr TimerMode TimerModeFor(const Visibility& v, bool cloakEvents) noexcept {
  if (v.Seen()) return TimerMode::kRefreshing;
  Visibility uncloaked = v;
  uncloaked.cloaked = false;
  return uncloaked.Seen() && !cloakEvents ? TimerMode::kPollCloak : TimerMode::kStopped;
}

// How often a cloaked mirror asks, where no event tells: once a second.
inline constexpr unsigned kCloakPollMs = 1000;

}  // namespace vl
