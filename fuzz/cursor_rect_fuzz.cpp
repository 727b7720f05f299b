// The cursor neighbourhood for any two 32-bit points and any distance.
//
// The square of 2*hx+1 by 2*hy+1 pixels around the midpoint (truncated toward
// zero), hx and hy the larger of the movement and the distance, holds both
// cursor positions. As the midpoint lies between them, each is at least half
// the distance (rounded down) from the edges, however far the cursor moved;
// not the whole distance: the midpoint takes up to half of it. Where that square
// reaches past the 32-bit plane, what is left of it must still clip any
// screen exactly as the whole square would.
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "render/geometry.h"

namespace vl::fuzz {
namespace {

Rect64 Reference(Point now, Point previous, std::int32_t distance) {
  const auto half = [distance](std::int64_t a, std::int64_t b) {
    const std::int64_t moved = a > b ? a - b : b - a;
    return moved > distance ? moved : std::int64_t{distance};
  };
  const std::int64_t hx = half(now.x, previous.x), hy = half(now.y, previous.y);
  const std::int64_t mx = (std::int64_t{now.x} + previous.x) / 2;
  const std::int64_t my = (std::int64_t{now.y} + previous.y) / 2;
  return {mx - hx, my - hy, mx + hx + 1, my + hy + 1};
}

bool Holds(const Rect64& r, std::int64_t x, std::int64_t y, std::int64_t margin) {
  return r.left <= x - margin && x + margin < r.right && r.top <= y - margin &&
         y + margin < r.bottom;
}

struct Input {
  Point now, previous;
  std::int32_t distance;
  Rect screen;
} g_input;

void Check(Point now, Point previous, std::int32_t distance, const Rect& screen) {
  g_input = {now, previous, distance, screen};
  const Rect got = CalcCursorRect(now, previous, distance);
  const Rect64 exact = Reference(now, previous, distance);

  if (Fits(exact)) {
    FUZZ_REQUIRE(Widen(got) == exact);
    const std::int64_t margin = distance > 0 ? distance / 2 : 0;
    FUZZ_REQUIRE(Holds(exact, now.x, now.y, margin));
    FUZZ_REQUIRE(Holds(exact, previous.x, previous.y, margin));
  }
  // What the refresh does with it: clip the virtual screen.
  FUZZ_REQUIRE(Widen(IntersectRect(screen, got)) == Intersect(Widen(screen), exact));
}

}  // namespace

void DescribeInput() {
  const Input& in = g_input;
  const Rect r = CalcCursorRect(in.now, in.previous, in.distance);
  std::fprintf(stderr,
               "  now (%d, %d) previous (%d, %d) distance %d screen (%d, %d, %d, %d)\n"
               "  -> (%d, %d, %d, %d)\n",
               in.now.x, in.now.y, in.previous.x, in.previous.y, in.distance, in.screen.left,
               in.screen.top, in.screen.right, in.screen.bottom, r.left, r.top, r.right, r.bottom);
}

}  // namespace vl::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vl;
  FuzzedDataProvider in(data, size);
  const Point now{fuzz::Coord(in), fuzz::Coord(in)};
  const Point previous{fuzz::Coord(in), fuzz::Coord(in)};
  // The setting's range most of the time, any value now and then.
  const std::int32_t distance =
      in.ConsumeBool() ? in.ConsumeIntegralInRange<std::int32_t>(0, 65535) : fuzz::Coord(in);
  const Rect screen = in.ConsumeBool() ? Rect{-1920, 0, 3840, 1080} : fuzz::ConsumeRect(in);
  fuzz::Check(now, previous, distance, screen);
  return 0;
}
