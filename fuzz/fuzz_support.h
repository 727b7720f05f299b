// What the fuzz targets share: a property check that makes libFuzzer keep the
// input, and 32-bit values drawn from the ranges where faults hide.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "render/geometry.h"

namespace vl::fuzz {

inline constexpr std::int64_t kMin32 = std::numeric_limits<std::int32_t>::min();
inline constexpr std::int64_t kMax32 = std::numeric_limits<std::int32_t>::max();

// Each target prints the decoded input of the failing run with this.
void DescribeInput();

// A broken property is a finding: libFuzzer saves the input on abort.
[[noreturn]] inline void Fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: property does not hold: %s\n", file, line, what);
  DescribeInput();
  std::abort();
}

#define FUZZ_REQUIRE(cond) \
  ((cond) ? static_cast<void>(0) : ::vl::fuzz::Fail(#cond, __FILE__, __LINE__))

// Uniform 32-bit values almost never make rectangles meet, so most values come
// from a screen-sized range or from next to the limits of the type.
inline std::int32_t Coord(FuzzedDataProvider& in) {
  switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: return in.ConsumeIntegralInRange<std::int32_t>(-4096, 4096);
    case 1:
      return static_cast<std::int32_t>(kMax32 - in.ConsumeIntegralInRange<std::int32_t>(0, 4096));
    case 2:
      return static_cast<std::int32_t>(kMin32 + in.ConsumeIntegralInRange<std::int32_t>(0, 4096));
    default: return in.ConsumeIntegral<std::int32_t>();
  }
}

inline Rect ConsumeRect(FuzzedDataProvider& in) {
  Rect r;
  r.left = Coord(in);
  r.top = Coord(in);
  r.right = Coord(in);
  r.bottom = Coord(in);
  return r;
}

// Mostly a real side, sometimes anything.
inline int ConsumeDirection(FuzzedDataProvider& in) {
  return in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(-1, 4)
                          : in.ConsumeIntegral<std::int32_t>();
}

// Rectangles in exact arithmetic, for the expected results.
struct Rect64 {
  std::int64_t left = 0, top = 0, right = 0, bottom = 0;
  friend bool operator==(const Rect64&, const Rect64&) = default;
};

inline Rect64 Widen(const Rect& r) { return {r.left, r.top, r.right, r.bottom}; }
inline bool IsEmpty(const Rect64& r) { return r.right <= r.left || r.bottom <= r.top; }
inline bool Fits(std::int64_t v) { return v >= kMin32 && v <= kMax32; }
inline bool Fits(const Rect64& r) {
  return Fits(r.left) && Fits(r.top) && Fits(r.right) && Fits(r.bottom);
}
inline Rect64 Intersect(const Rect64& a, const Rect64& b) {
  const Rect64 r{a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
                 a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom};
  return IsEmpty(r) ? Rect64{} : r;
}
inline bool Contains(const Rect64& outer, const Rect64& inner) {
  return outer.left <= inner.left && outer.top <= inner.top && inner.right <= outer.right &&
         inner.bottom <= outer.bottom;
}

}  // namespace vl::fuzz
