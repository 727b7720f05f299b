// The frame bands of the view for any 32-bit rectangle, side and widths.
//
// Always: no undefined behaviour and at most four bands a list; for a side
// outside 0..3 both lists are the same four Edge-wide bands. With widths of
// zero or more (the record's bounds keep them so), the bands of one list do not
// overlap, and what the painter makes of them inside the rectangle (light
// first, dark over it) is the frame the user should see:
//  - a pixel is framed when it lies within Edge of a side edge, within
//    ThinEdge of the reflecting edge, or within Edge of the opposite edge
//    but not within TransparentEdge of the reflecting edge;
//  - a framed pixel is light within TransparentEdge of the reflecting edge,
//    dark beyond.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "settings/setting.h"

namespace vl::fuzz {
namespace {

enum class Shade { None, Light, Dark };

bool Covers(const Rect& r, std::int64_t x, std::int64_t y) {
  return r.left <= x && x < r.right && r.top <= y && y < r.bottom;
}

Shade Painted(const RectList& light, const RectList& dark, std::int64_t x, std::int64_t y) {
  Shade s = Shade::None;
  for (const Rect& r : light)
    if (Covers(r, x, y)) s = Shade::Light;
  for (const Rect& r : dark)
    if (Covers(r, x, y)) s = Shade::Dark;
  return s;
}

Shade Expected(const Rect& rect, int direction, const CSetting& s, std::int64_t x, std::int64_t y) {
  const std::int64_t fromLeft = x - rect.left, fromRight = std::int64_t{rect.right} - 1 - x;
  const std::int64_t fromTop = y - rect.top, fromBottom = std::int64_t{rect.bottom} - 1 - y;
  if (direction < Left || direction > Bottom) {
    const std::int64_t nearest = std::min({fromLeft, fromRight, fromTop, fromBottom});
    return nearest < s.Edge ? Shade::Dark : Shade::None;
  }
  const std::int64_t toEdge[4] = {fromLeft, fromTop, fromRight, fromBottom};
  const std::int64_t reflecting = toEdge[direction];
  const std::int64_t opposite = toEdge[GetOppositeDirection(direction)];
  const std::int64_t side = std::min(toEdge[(direction + 1) % 4], toEdge[(direction + 3) % 4]);
  const bool framed = side < s.Edge || reflecting < s.ThinEdge ||
                      (opposite < s.Edge && reflecting >= s.TransparentEdge);
  if (!framed) return Shade::None;
  return reflecting < s.TransparentEdge ? Shade::Light : Shade::Dark;
}

// Columns (rows) where the answer can change: next to both ends, on both
// sides of each width from each end, and the middle.
std::vector<std::int64_t> Samples(std::int64_t from, std::int64_t to, const CSetting& s) {
  std::vector<std::int64_t> v;
  const auto add = [&](std::int64_t c) {
    if (from <= c && c < to) v.push_back(c);
  };
  for (std::int64_t w : {std::int64_t{0}, std::int64_t{1}, std::int64_t{s.Edge},
                         std::int64_t{s.ThinEdge}, std::int64_t{s.TransparentEdge}}) {
    for (std::int64_t d : {w - 1, w, w + 1}) {
      add(from + d);
      add(to - 1 - d);
    }
  }
  add(from + (to - from) / 2);
  return v;
}

bool Overlap(const Rect& a, const Rect& b) {
  return !IsRectEmpty(a) && !IsRectEmpty(b) && !IsRectEmpty(IntersectRect(a, b));
}

struct Input {
  Rect rect;
  int direction;
  CSetting setting;
} g_input;

void PrintList(const char* name, const RectList& list) {
  std::fprintf(stderr, "  %s:", name);
  for (const Rect& r : list)
    std::fprintf(stderr, " (%d, %d, %d, %d)", r.left, r.top, r.right, r.bottom);
  std::fprintf(stderr, "\n");
}

void Check(const Rect& rect, int direction, const CSetting& s) {
  g_input = {rect, direction, s};
  RectList light, dark;
  s.CalcEdgeRects(rect, direction, light, dark);
  FUZZ_REQUIRE(light.size() <= 4 && dark.size() <= 4);

  const bool validSide = direction >= Left && direction <= Bottom;
  if (!validSide) FUZZ_REQUIRE(light == dark);
  const bool nonNegative = s.Edge >= 0 && s.ThinEdge >= 0 && s.TransparentEdge >= 0;
  if (!nonNegative) return;

  if (rect == Rect{}) FUZZ_REQUIRE(light.empty() && dark.empty());
  for (const RectList* list : {&light, &dark})
    for (std::size_t i = 0; i < list->size(); ++i)
      for (std::size_t j = i + 1; j < list->size(); ++j)
        FUZZ_REQUIRE(!Overlap((*list)[i], (*list)[j]));

  if (IsRectEmpty(rect)) return;
  const auto xs = Samples(rect.left, rect.right, s);
  const auto ys = Samples(rect.top, rect.bottom, s);
  for (std::int64_t x : xs)
    for (std::int64_t y : ys)
      FUZZ_REQUIRE(Painted(light, dark, x, y) == Expected(rect, direction, s, x, y));
}

}  // namespace

void DescribeInput() {
  const Input& in = g_input;
  std::fprintf(stderr,
               "  rect (%d, %d, %d, %d) direction %d Edge %d ThinEdge %d TransparentEdge %d\n",
               in.rect.left, in.rect.top, in.rect.right, in.rect.bottom, in.direction,
               in.setting.Edge, in.setting.ThinEdge, in.setting.TransparentEdge);
  RectList light, dark;
  in.setting.CalcEdgeRects(in.rect, in.direction, light, dark);
  PrintList("light", light);
  PrintList("dark", dark);
}

}  // namespace vl::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vl;
  FuzzedDataProvider in(data, size);
  // The view's buffer starts at (0, 0); other rectangles are fuzzed as well.
  Rect rect;
  if (in.ConsumeBool()) {
    rect = {0, 0, fuzz::Coord(in), fuzz::Coord(in)};
  } else {
    rect = fuzz::ConsumeRect(in);
  }
  const int direction = fuzz::ConsumeDirection(in);
  CSetting s;
  if (in.ConsumeBool()) {  // what the record holds after every load and apply
    s.Edge = in.ConsumeIntegralInRange(CSetting::kEdge.min, CSetting::kEdge.max);
    s.ThinEdge = in.ConsumeIntegralInRange(CSetting::kThinEdge.min, CSetting::kThinEdge.max);
    s.TransparentEdge =
        in.ConsumeIntegralInRange(CSetting::kTransparentEdge.min, CSetting::kTransparentEdge.max);
  } else {
    s.Edge = fuzz::Coord(in);
    s.ThinEdge = fuzz::Coord(in);
    s.TransparentEdge = fuzz::Coord(in);
  }
  fuzz::Check(rect, direction, s);
  return 0;
}
