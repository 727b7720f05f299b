#include "render/geometry.h"

#include <gtest/gtest.h>

#include <climits>
#include <ostream>

#include "settings/setting.h"

namespace vl {

void PrintTo(const Rect& r, std::ostream* os) {
  *os << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

namespace {

TEST(Geometry, OppositeDirection) {
  const struct {
    int side, opposite;
  } cases[] = {{0, 2}, {1, 3}, {2, 0}, {3, 1}, {4, -1}, {-1, -1}, {INT_MIN, -1}, {INT_MAX, -1}};
  for (const auto& c : cases) EXPECT_EQ(GetOppositeDirection(c.side), c.opposite) << c.side;
}

TEST(Geometry, IntersectAndUnionFollowPlatformRules) {
  const struct {
    Rect a, b, intersection, united;
  } cases[] = {
      {{0, 0, 10, 10}, {5, 5, 20, 20}, {5, 5, 10, 10}, {0, 0, 20, 20}},
      {{0, 0, 10, 10}, {10, 0, 20, 10}, {}, {0, 0, 20, 10}},   // touching edges share no pixel
      {{0, 0, 10, 10}, {20, 20, 30, 30}, {}, {0, 0, 30, 30}},  // disjoint
      {{-5, -5, 5, 5}, {-100, -100, 0, 0}, {-5, -5, 0, 0}, {-100, -100, 5, 5}},
      {{0, 0, 10, 10}, {3, 3, 3, 8}, {}, {0, 0, 10, 10}},   // empty operand
      {{5, 0, 1, 10}, {0, 0, 10, 10}, {}, {0, 0, 10, 10}},  // inverted operand
      {{3, 3, 3, 8}, {5, 0, 1, 10}, {}, {}},                // nothing on either side
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IntersectRect(c.a, c.b), c.intersection);
    EXPECT_EQ(IntersectRect(c.b, c.a), c.intersection);
    EXPECT_EQ(UnionRect(c.a, c.b), c.united);
    EXPECT_EQ(UnionRect(c.b, c.a), c.united);
  }
}

TEST(Geometry, MirrorIsAnInvolutionAboutTheLine) {
  const Rect r{3, 7, 10, 20};
  EXPECT_EQ(MirrorRectX(r, 10), (Rect{10, 7, 17, 20}));
  EXPECT_EQ(MirrorRectY(r, 0), (Rect{3, -20, 10, -7}));
  for (int k : {-50, 0, 1, 99}) {
    EXPECT_EQ(MirrorRectX(MirrorRectX(r, k), k), r);
    EXPECT_EQ(MirrorRectY(MirrorRectY(r, k), k), r);
  }
}

TEST(Geometry, FlipEncodesLastColumnAndNegativeExtent) {
  const Rect r{0, 0, 100, 200};
  EXPECT_EQ(FlipRectX(r), (Rect{99, 0, -1, 200}));
  EXPECT_EQ(FlipRectY(r), (Rect{0, 199, 100, -1}));
}

TEST(Geometry, LargeCoordinatesDoNotOverflowIntermediates) {
  // Results that fit in 32 bits although a naive 32-bit sum would overflow
  // (the sanitizer build traps on that).
  EXPECT_EQ(MirrorRectX({1000000000, 0, 1000000010, 5}, 1500000000),
            (Rect{1999999990, 0, 2000000000, 5}));
  EXPECT_EQ(MirrorRectY({0, -1000000010, 5, -1000000000}, -1500000000),
            (Rect{0, -2000000000, 5, -1999999990}));
  EXPECT_EQ(CalcCursorRect({2000000000, -2000000000}, {2000000000, -2000000000}, 3),
            (Rect{1999999997, -2000000003, 2000000004, -1999999996}));
  // A band list cut from the widest possible rectangle keeps exact extents.
  RectList list;
  Rect w{INT_MIN, 0, INT_MAX, 10};
  EXPECT_TRUE(CutEdgeRect(w, Left, 5, list));
  EXPECT_EQ(list.back(), (Rect{INT_MIN, 0, INT_MIN + 5, 10}));
  EXPECT_EQ(w, (Rect{INT_MIN + 5, 0, INT_MAX, 10}));
}

struct CursorCase {
  Point now, previous;
  int distance;
  Rect expected;
};

TEST(Geometry, CursorNeighbourhood) {
  const CursorCase cases[] = {
      {{40, 120}, {30, 100}, 50, {-15, 60, 86, 161}},
      {{-5, 0}, {-2, 0}, 0, {-6, 0, 1, 1}},  // midpoint -3: truncated toward zero
      {{10, 10}, {10, 10}, 0, {10, 10, 11, 11}},
      {{0, 0}, {100, 0}, 10, {-50, -10, 151, 11}},  // movement wider than the distance
      // Next to the limits the square is cut to the plane, not wrapped inside out.
      {{INT_MAX - 10, 0}, {INT_MAX - 10, 0}, 50, {INT_MAX - 60, -50, INT_MAX, 51}},
      {{INT_MIN + 5, 0}, {INT_MIN + 5, 0}, 50, {INT_MIN, -50, INT_MIN + 56, 51}},
      {{-2147479788, -2147483382},
       {2147483195, 2147483195},
       53713,
       {INT_MIN, INT_MIN, INT_MAX, INT_MAX}},
  };
  for (const auto& c : cases) EXPECT_EQ(CalcCursorRect(c.now, c.previous, c.distance), c.expected);
}

struct ReflectCase {
  int direction;
  Rect clip;
  Rect src, dst;
};

TEST(Geometry, ReflectRectsForEverySide) {
  const Rect window{100, 50, 300, 250};
  const Rect screen{0, 0, 1920, 1080};
  const ReflectCase cases[] = {
      {Left, screen, {0, 50, 100, 250}, {99, 0, -1, 200}},
      {Top, screen, {100, 0, 300, 50}, {0, 49, 200, -1}},
      {Right, screen, {300, 50, 500, 250}, {199, 0, -1, 200}},
      {Bottom, screen, {100, 250, 300, 450}, {0, 199, 200, -1}},
      {7, screen, {0, 50, 100, 250}, {99, 0, -1, 200}},  // unknown side mirrors as Left
      // Cursor-only: the neighbourhood of cursor (40,120) from (30,100), distance 50.
      {Left, IntersectRect(screen, {-15, 60, 86, 161}), {0, 60, 86, 161}, {99, 10, 13, 111}},
      // A source entirely off the clip copies nothing.
      {Left, {1000, 1000, 1100, 1100}, {}, {99, -50, 99, -50}},
  };
  for (const auto& c : cases) {
    const auto r = CalcReflectRects(c.direction, window, window, c.clip, {100, 50});
    EXPECT_EQ(r.src, c.src) << "direction " << c.direction;
    EXPECT_EQ(r.dst, c.dst) << "direction " << c.direction;
  }
}

// Views and clips next to the limits of the 32-bit plane: the copy is exact
// where the plane can hold it and is left out where it cannot, instead of
// wrapping around.
TEST(Geometry, ReflectRectsAtTheLimitsOfThePlane) {
  const struct {
    const char* name;
    int direction;
    Rect window, paint, clip;
    Point origin;
    Rect src, dst;
  } cases[] = {
      // The mirror image reaches past INT_MIN; the part that exists is read.
      {"left end of the plane",
       Left,
       {INT_MIN + 10, 0, INT_MIN + 100, 10},
       {INT_MIN + 10, 0, INT_MIN + 100, 10},
       {INT_MIN, 0, INT_MAX, 10},
       {INT_MIN + 10, 0},
       {INT_MIN, 0, INT_MIN + 10, 10},
       {9, 0, -1, 10}},
      // An inside-out window paints nothing, even where 32-bit sums would
      // have wrapped it into a wide source.
      {"inside-out paint area",
       Right,
       {-1711275954, -2535, -2147480020, 2453},
       {-1711275954, -2535, -2147480020, 2453},
       {-4018, -2414, 2147481352, 2147482664},
       {-4096, -4096},
       {},
       {}},
      // A source wider than an int extent cannot be copied.
      {"source wider than an extent",
       Left,
       {0, 0, 10, 10},
       {-100, 0, INT_MAX, 10},
       {INT_MIN, 0, INT_MAX, 10},
       {0, 0},
       {},
       {}},
      // A destination the plane cannot hold in client coordinates.
      {"client origin far away",
       Top,
       {0, 100, 10, 200},
       {0, 100, 10, 200},
       {0, 0, 10, 100},
       {INT_MIN, INT_MIN},
       {},
       {}},
  };
  for (const auto& c : cases) {
    const auto r = CalcReflectRects(c.direction, c.window, c.paint, c.clip, c.origin);
    EXPECT_EQ(r.src, c.src) << c.name;
    if (c.src == Rect{}) {
      EXPECT_EQ(r.dst.right, r.dst.left) << c.name;
      EXPECT_EQ(r.dst.bottom, r.dst.top) << c.name;
    } else {
      EXPECT_EQ(r.dst, c.dst) << c.name;
    }
  }
}

TEST(Geometry, EmptySourceGivesZeroSizedDestination) {
  const auto r = CalcReflectRects(Top, {0, 0, 10, 10}, {0, 0, 10, 10}, {500, 500, 600, 600}, {});
  EXPECT_EQ(r.src, Rect{});
  EXPECT_EQ(r.dst.right - r.dst.left, 0);
  EXPECT_EQ(r.dst.bottom - r.dst.top, 0);
}

TEST(Geometry, DestinationPixelShowsMirroredSourcePixel) {
  // Walk the flip-encoded destination as a reversed blit would, and check each
  // landed pixel against the mirror formula of its side.
  const Rect window{100, 50, 300, 250};
  const Point origin{100, 50};
  for (int d : {Left, Top, Right, Bottom}) {
    const auto r = CalcReflectRects(d, window, window, {0, 0, 1920, 1080}, origin);
    const int dx = r.dst.right - r.dst.left, dy = r.dst.bottom - r.dst.top;
    const int sx = r.src.right - r.src.left, sy = r.src.bottom - r.src.top;
    ASSERT_EQ(dx < 0 ? -dx : dx, sx);
    ASSERT_EQ(dy < 0 ? -dy : dy, sy);
    for (int i = 0; i < sx; i += 7) {
      for (int j = 0; j < sy; j += 11) {
        const Point dest{origin.x + r.dst.left + (dx < 0 ? -i : i),
                         origin.y + r.dst.top + (dy < 0 ? -j : j)};
        Point expected{dest.x, dest.y};
        if (d == Left) expected.x = 2 * window.left - 1 - dest.x;
        if (d == Right) expected.x = 2 * window.right - 1 - dest.x;
        if (d == Top) expected.y = 2 * window.top - 1 - dest.y;
        if (d == Bottom) expected.y = 2 * window.bottom - 1 - dest.y;
        EXPECT_EQ((Point{r.src.left + i, r.src.top + j}), expected) << "side " << d;
        EXPECT_GE(dest.x, window.left);
        EXPECT_LT(dest.x, window.right);
        EXPECT_GE(dest.y, window.top);
        EXPECT_LT(dest.y, window.bottom);
      }
    }
  }
}

TEST(Geometry, SetEdgeWidth) {
  const struct {
    int side;
    Rect expected;
  } cases[] = {{Left, {10, 20, 13, 40}},
               {Top, {10, 20, 30, 23}},
               {Right, {27, 20, 30, 40}},
               {Bottom, {10, 37, 30, 40}},
               {4, {10, 20, 30, 40}}};
  for (const auto& c : cases) {
    Rect r{10, 20, 30, 40};
    SetEdgeWidth(r, c.side, 3);
    EXPECT_EQ(r, c.expected) << c.side;
  }
}

TEST(Geometry, CutEdgeRect) {
  RectList list;
  Rect r{0, 0, 100, 50};
  EXPECT_TRUE(CutEdgeRect(r, Left, 10, list));
  EXPECT_EQ(list.back(), (Rect{0, 0, 10, 50}));
  EXPECT_EQ(r, (Rect{10, 0, 100, 50}));

  EXPECT_TRUE(CutEdgeRect(r, Bottom, 80, list));  // wider than the rest: takes it all
  EXPECT_EQ(list.back(), (Rect{10, 0, 100, 50}));
  EXPECT_EQ(r, (Rect{10, 0, 100, 0}));
  EXPECT_FALSE(CutEdgeRect(r, Top, 5, list));  // nothing left to cut
  EXPECT_EQ(list.size(), 2u);

  Rect s{0, 0, 100, 50};
  EXPECT_TRUE(CutEdgeRect(s, Right, 0, list));  // zero width: empty band, r unchanged
  EXPECT_EQ(list.back(), (Rect{100, 0, 100, 50}));
  EXPECT_EQ(s, (Rect{0, 0, 100, 50}));
  EXPECT_FALSE(CutEdgeRect(s, 4, 5, list));
  EXPECT_FALSE(CutEdgeRect(s, -1, 5, list));
  EXPECT_EQ(list.size(), 3u);
}

struct BandCase {
  const char* name;
  Rect rect;
  int direction, edge, thin, transparent;
  RectList light, dark;
};

TEST(Geometry, EdgeBands) {
  const BandCase cases[] = {
      {"left defaults",
       {0, 0, 200, 200},
       Left,
       4,
       0,
       50,
       {{0, 0, 0, 200}, {0, 0, 350, 4}, {0, 196, 350, 200}},
       {{50, 0, 200, 4}, {196, 4, 200, 200}, {50, 196, 196, 200}}},
      {"left thin 8",
       {0, 0, 200, 200},
       Left,
       4,
       8,
       50,
       {{0, 0, 8, 200}, {8, 0, 350, 4}, {8, 196, 350, 200}},
       {{50, 0, 200, 4}, {196, 4, 200, 200}, {50, 196, 196, 200}}},
      {"left thin 8 transparent 3",
       {0, 0, 200, 200},
       Left,
       4,
       8,
       3,
       {{0, 0, 8, 200}, {8, 0, 397, 4}, {8, 196, 397, 200}},
       {{3, 0, 8, 200}, {8, 0, 200, 4}, {196, 4, 200, 200}, {8, 196, 196, 200}}},
      {"bottom",
       {0, 0, 300, 120},
       Bottom,
       4,
       2,
       50,
       {{0, 118, 300, 120}, {0, -70, 4, 118}, {296, -70, 300, 118}},
       {{0, 0, 4, 70}, {4, 0, 300, 4}, {296, 4, 300, 70}}},
      {"right, band wider than view",
       {0, 0, 30, 200},
       Right,
       4,
       0,
       50,
       {{30, 0, 30, 200}, {0, 0, 30, 4}, {0, 196, 30, 200}},
       {{0, 0, 0, 4}, {0, 196, 0, 200}}},
      {"direction 5",
       {0, 0, 200, 200},
       5,
       4,
       0,
       50,
       {{0, 0, 4, 200}, {4, 0, 200, 4}, {196, 4, 200, 200}, {4, 196, 196, 200}},
       {{0, 0, 4, 200}, {4, 0, 200, 4}, {196, 4, 200, 200}, {4, 196, 196, 200}}},
      {"direction -1",
       {0, 0, 200, 200},
       -1,
       4,
       0,
       50,
       {{0, 0, 4, 200}, {4, 0, 200, 4}, {196, 4, 200, 200}, {4, 196, 196, 200}},
       {{0, 0, 4, 200}, {4, 0, 200, 4}, {196, 4, 200, 200}, {4, 196, 196, 200}}},
      // The light bands run on to the end of the plane instead of wrapping.
      {"view as wide as the plane",
       {0, 0, INT_MAX, 10},
       Left,
       4,
       0,
       50,
       {{0, 0, 0, 10}, {0, 0, INT_MAX, 4}, {0, 6, INT_MAX, 10}},
       {{50, 0, INT_MAX, 4}, {INT_MAX - 4, 4, INT_MAX, 10}, {50, 6, INT_MAX - 4, 10}}},
      // Widths outside the record's bounds (a damaged record) stay defined.
      {"thin edge far wider than the band",
       {0, 0, 200, 200},
       Left,
       4,
       INT_MAX,
       -4096,
       {{0, 0, 4496, 200}, {4496, 0, 4496, 4}, {4496, 196, 4496, 200}},
       {{-4096, 0, 200, 200}, {200, 0, 200, 4}, {200, 196, 200, 200}}},
      {"empty rectangle", {}, Left, 4, 8, 50, {}, {}},
      {"empty rectangle, direction 5", {}, 5, 4, 8, 50, {}, {}},
  };
  for (const auto& c : cases) {
    CSetting s;
    s.Edge = c.edge;
    s.ThinEdge = c.thin;
    s.TransparentEdge = c.transparent;
    RectList light, dark;
    s.CalcEdgeRects(c.rect, c.direction, light, dark);
    EXPECT_EQ(light, c.light) << c.name;
    EXPECT_EQ(dark, c.dark) << c.name;
  }
}

}  // namespace
}  // namespace vl
