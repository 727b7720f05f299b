// Source and destination of the mirrored copy, for any 32-bit window, paint
// area, clip and client origin.
//
// Always: the source is the empty rectangle or lies inside the clip; a copy's
// extents fit the platform's int arguments; the destination has the source's
// size, negated along the flipped axis; each destination pixel shows the
// source pixel mirrored about the reflected edge and lies in the paint area.
// Whenever the exact result can be expressed in 32 bits, it is the result.
// Unflipping a flipped rectangle gives it back; a union of two holds both and
// nothing beyond their bounding box.
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "render/geometry.h"

namespace vl::fuzz {
namespace {

struct Expected {
  Rect64 src, dst;
  bool representable = false;  // every coordinate and extent fits 32 bits
};

// The mirror line of each side and the copy, step by step, in exact arithmetic.
Expected Reference(int direction, const Rect64& window, const Rect64& paint, const Rect64& clip,
                   std::int64_t ox, std::int64_t oy) {
  const bool vertical = direction == Top || direction == Bottom;
  std::int64_t k = window.left;
  if (direction == Top) k = window.top;
  if (direction == Right) k = window.right;
  if (direction == Bottom) k = window.bottom;
  const auto mirror = [&](const Rect64& r) {
    if (vertical) {
      const std::int64_t d = 2 * k - r.top - r.bottom;
      return Rect64{r.left, r.top + d, r.right, r.bottom + d};
    }
    const std::int64_t d = 2 * k - r.left - r.right;
    return Rect64{r.left + d, r.top, r.right + d, r.bottom};
  };
  Expected e;
  e.src = Intersect(mirror(paint), clip);
  const Rect64 d = mirror(e.src);
  const Rect64 dc{d.left - ox, d.top - oy, d.right - ox, d.bottom - oy};
  e.dst = vertical ? Rect64{dc.left, dc.bottom - 1, dc.right, dc.top - 1}
                   : Rect64{dc.right - 1, dc.top, dc.left - 1, dc.bottom};
  e.representable = Fits(e.src) && Fits(e.dst) && Fits(dc) && Fits(e.src.right - e.src.left) &&
                    Fits(e.src.bottom - e.src.top);
  return e;
}

struct Input {
  int direction;
  Rect window, paint, clip;
  Point origin;
} g_input;

void PrintRect(const char* name, const Rect& r) {
  std::fprintf(stderr, "  %s (%d, %d, %d, %d)\n", name, r.left, r.top, r.right, r.bottom);
}

void Check(int direction, const Rect& window, const Rect& paint, const Rect& clip, Point origin) {
  g_input = {direction, window, paint, clip, origin};
  const ReflectRects got = CalcReflectRects(direction, window, paint, clip, origin);
  const Rect64 src = Widen(got.src), dst = Widen(got.dst);
  const std::int64_t sw = src.right - src.left, sh = src.bottom - src.top;
  const std::int64_t dw = dst.right - dst.left, dh = dst.bottom - dst.top;
  const bool vertical = direction == Top || direction == Bottom;

  // The platform's empty rectangle, or a real one inside the clip.
  const bool empty = got.src == Rect{};
  FUZZ_REQUIRE(empty || !IsEmpty(src));
  if (empty) {
    FUZZ_REQUIRE(dw == 0 && dh == 0);  // nothing to write
  } else {
    FUZZ_REQUIRE(Contains(Widen(clip), src));
    // The caller hands these extents to the platform as ints.
    FUZZ_REQUIRE(Fits(sw) && Fits(sh) && Fits(dw) && Fits(dh));
    FUZZ_REQUIRE(vertical ? (dw == sw && dh == -sh) : (dw == -sw && dh == sh));

    // The first destination column (row) on the flipped axis shows the first
    // source column mirrored about k: x_dst = 2k - 1 - x_src.
    const std::int64_t ox = origin.x, oy = origin.y;
    std::int64_t k = window.left;
    if (direction == Top) k = window.top;
    if (direction == Right) k = window.right;
    if (direction == Bottom) k = window.bottom;
    Rect64 written;  // the destination in screen coordinates, unflipped
    if (vertical) {
      FUZZ_REQUIRE(dst.top + oy == 2 * k - 1 - src.top);
      FUZZ_REQUIRE(dst.left + ox == src.left);
      written = {dst.left + ox, dst.bottom + 1 + oy, dst.right + ox, dst.top + 1 + oy};
    } else {
      FUZZ_REQUIRE(dst.left + ox == 2 * k - 1 - src.left);
      FUZZ_REQUIRE(dst.top + oy == src.top);
      written = {dst.right + 1 + ox, dst.top + oy, dst.left + 1 + ox, dst.bottom + oy};
    }
    FUZZ_REQUIRE(Contains(Widen(paint), written));
    // The view copies the unflipped destination onto the screen: exactly the
    // pixels written, or stale ones would stay.
    const Rect plain = vertical ? UnflipRectY(got.dst) : UnflipRectX(got.dst);
    FUZZ_REQUIRE(Widen(plain) == (Rect64{written.left - ox, written.top - oy, written.right - ox,
                                         written.bottom - oy}));
  }

  // Nothing to paint, or nothing to read: nothing is copied.
  if (IsRectEmpty(paint) || IsRectEmpty(clip)) FUZZ_REQUIRE(empty);

  // The exact result whenever 32 bits can hold it; otherwise at most less.
  const Expected e =
      Reference(direction, Widen(window), Widen(paint), Widen(clip), origin.x, origin.y);
  if (e.representable) {
    FUZZ_REQUIRE(src == e.src);
    FUZZ_REQUIRE(empty || dst == e.dst);
  } else {
    FUZZ_REQUIRE(empty);
  }
}

// What the partial copies rely on: a flipped rectangle unflips to itself, and
// the union of what they changed holds both rectangles and nothing beyond
// their bounding box (every edge is one of theirs). Empty ones count as none.
void CheckFlipAndUnion(const Rect& a, const Rect& b) {
  FUZZ_REQUIRE(UnflipRectX(FlipRectX(a)) == a && UnflipRectY(FlipRectY(a)) == a);
  const Rect u = UnionRect(a, b);
  const bool ea = IsRectEmpty(a), eb = IsRectEmpty(b);
  if (ea && eb) return FUZZ_REQUIRE(u == Rect{});
  FUZZ_REQUIRE(ea || Contains(Widen(u), Widen(a)));
  FUZZ_REQUIRE(eb || Contains(Widen(u), Widen(b)));
  const auto edge = [&](auto field) {
    return (!ea && u.*field == a.*field) || (!eb && u.*field == b.*field);
  };
  FUZZ_REQUIRE(edge(&Rect::left) && edge(&Rect::top) && edge(&Rect::right) && edge(&Rect::bottom));
}

}  // namespace

void DescribeInput() {
  std::fprintf(stderr, "  direction %d\n", g_input.direction);
  PrintRect("window", g_input.window);
  PrintRect("paint", g_input.paint);
  PrintRect("clip", g_input.clip);
  std::fprintf(stderr, "  origin (%d, %d)\n", g_input.origin.x, g_input.origin.y);
  const ReflectRects r = CalcReflectRects(g_input.direction, g_input.window, g_input.paint,
                                          g_input.clip, g_input.origin);
  PrintRect("-> src", r.src);
  PrintRect("-> dst", r.dst);
}

}  // namespace vl::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vl;
  FuzzedDataProvider in(data, size);
  const int direction = fuzz::ConsumeDirection(in);
  const Rect window = fuzz::ConsumeRect(in);
  // The view paints its client area, usually the window itself.
  const Rect paint = in.ConsumeBool() ? window : fuzz::ConsumeRect(in);
  Rect clip = fuzz::ConsumeRect(in);
  // A cursor-only refresh clips to the cursor's neighbourhood as well.
  if (in.ConsumeBool()) {
    const Point now{fuzz::Coord(in), fuzz::Coord(in)};
    const Point previous{fuzz::Coord(in), fuzz::Coord(in)};
    clip = IntersectRect(clip, CalcCursorRect(now, previous, fuzz::Coord(in)));
  }
  const Point origin =
      in.ConsumeBool() ? Point{window.left, window.top} : Point{fuzz::Coord(in), fuzz::Coord(in)};
  fuzz::Check(direction, window, paint, clip, origin);
  fuzz::CheckFlipAndUnion(paint, clip);
  return 0;
}
