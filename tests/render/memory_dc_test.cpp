#include "render/memory_dc.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "gdi_count.h"
#include "pixels.h"
#include "render/win_rect.h"

namespace vl {
namespace {

using test::CImage;
using test::PatternColor;
using test::Snapshot;

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kBlack = RGB(0, 0, 0);

class ScreenReference : public ::testing::Test {
 protected:
  gdi::CWindowDC m_screen = gdi::CWindowDC::Client(nullptr);
  HDC Screen() const { return m_screen.Get(); }
};

bool IsLive(HGDIOBJ h) { return ::GetObjectType(h) != 0; }

bool Contains(const Rect& r, int x, int y) {
  return x >= r.left && x < r.right && y >= r.top && y < r.bottom;
}

// --- Layout -------------------------------------------------------------------

struct LayoutCase {
  std::uint32_t maxTilePixels;
  Rect rect;
  std::vector<int> rows;  // height of each strip, top to bottom
};

void PrintTo(const LayoutCase& c, std::ostream* os) {
  *os << c.maxTilePixels << " pixels, " << c.rect.right - c.rect.left << "x"
      << c.rect.bottom - c.rect.top;
}

class TileLayout : public ScreenReference, public ::testing::WithParamInterface<LayoutCase> {};

TEST_P(TileLayout, StripsOfFullWidthTopToBottom) {
  const LayoutCase& c = GetParam();
  CTiledMemoryDC buffer(c.maxTilePixels);
  const HDC first = buffer.Create(Screen(), c.rect);

  ASSERT_EQ(buffer.GetTiles().size(), c.rows.size());
  EXPECT_EQ(first, buffer.GetTiles().front()->GetDC());
  EXPECT_EQ(buffer.GetRect(), c.rect);
  int y = c.rect.top;
  for (std::size_t i = 0; i < c.rows.size(); ++i) {
    const CMemoryDC2& tile = *buffer.GetTiles()[i];
    EXPECT_EQ(tile.GetRect(), (Rect{c.rect.left, y, c.rect.right, y + c.rows[i]})) << "tile " << i;
    BITMAP bm{};
    ASSERT_NE(::GetObjectW(tile.GetBitmap(), sizeof bm, &bm), 0);
    EXPECT_EQ(bm.bmWidth, c.rect.right - c.rect.left);
    EXPECT_EQ(bm.bmHeight, c.rows[i]);
    y += c.rows[i];
  }
}

INSTANTIATE_TEST_SUITE_P(
    Buffer, TileLayout,
    ::testing::Values(LayoutCase{0, {0, 0, 100, 25}, {25}},
                      LayoutCase{0, {-300, -200, 1700, 900}, {1100}},
                      LayoutCase{1000, {0, 0, 100, 25}, {10, 10, 5}},
                      LayoutCase{50, {0, 0, 100, 3}, {1, 1, 1}},
                      LayoutCase{300, {-20, 30, 80, 37}, {3, 3, 1}},
                      // 0xFFFFFFFF rows for a width of 1: capped to the signed maximum.
                      LayoutCase{0xFFFFFFFF, {5, -7, 6, 13}, {20}}));

// --- Create, Destroy and hand-over ----------------------------------------------

TEST_F(ScreenReference, EmptyRectangleSetsTheRectangleAndMakesNoTile) {
  for (const Rect r : {Rect{10, 10, 10, 50}, Rect{10, 10, 50, 10}, Rect{}}) {
    CTiledMemoryDC buffer;
    ASSERT_NE(buffer.Create(Screen(), {0, 0, 20, 20}), nullptr);
    const HDC old = buffer.GetTiles().front()->GetDC();

    EXPECT_EQ(buffer.Create(Screen(), r), nullptr);
    EXPECT_FALSE(buffer.HasTiles());
    EXPECT_EQ(buffer.GetRect(), r);
    EXPECT_FALSE(IsLive(old)) << "the tiles held before are released";
  }
}

TEST_F(ScreenReference, DestroyReleasesTilesUnlessStillShared) {
  CTiledMemoryDC buffer(500);
  ASSERT_NE(buffer.Create(Screen(), {0, 0, 50, 30}), nullptr);
  ASSERT_EQ(buffer.GetTiles().size(), 3u);
  const auto kept = buffer.GetTiles()[1];
  const HDC keptDC = kept->GetDC();
  const HBITMAP keptBitmap = kept->GetBitmap();
  const HDC firstDC = buffer.GetTiles()[0]->GetDC();
  const HBITMAP firstBitmap = buffer.GetTiles()[0]->GetBitmap();

  buffer.Destroy();
  EXPECT_FALSE(buffer.HasTiles());
  EXPECT_EQ(buffer.GetRect(), Rect{});
  EXPECT_EQ(buffer.GetMaxTilePixels(), 500u);
  EXPECT_FALSE(IsLive(firstDC));
  EXPECT_FALSE(IsLive(firstBitmap));
  EXPECT_TRUE(IsLive(keptDC)) << "a tile lives while a pointer to it does";
  EXPECT_TRUE(IsLive(keptBitmap));
}

TEST_F(ScreenReference, HandOverMovesTilesLimitAndRectangle) {
  CTiledMemoryDC source(400), target;
  ASSERT_NE(source.Create(Screen(), {0, 0, 40, 25}), nullptr);
  ASSERT_NE(target.Create(Screen(), {0, 0, 10, 10}), nullptr);
  const CTiledMemoryDC::TileList tiles = source.GetTiles();
  const HDC targetOld = target.GetTiles().front()->GetDC();

  target = std::move(source);

  EXPECT_EQ(target.GetTiles(), tiles);
  EXPECT_EQ(target.GetMaxTilePixels(), 400u);
  EXPECT_EQ(target.GetRect(), (Rect{0, 0, 40, 25}));
  EXPECT_FALSE(source.HasTiles());  // NOLINT: the hand-over leaves the source empty
  EXPECT_EQ(source.GetRect(), Rect{});
  EXPECT_FALSE(IsLive(targetOld));
}

// Fills the process's handle table with brushes but for `free` entries, so
// that a creation fails at a known point; gives them all back when it goes.
class CHandleTableFiller {
 public:
  explicit CHandleTableFiller(std::size_t free) {
    for (;;) {
      gdi::CBrush brush(::CreateSolidBrush(kRed));
      if (!brush) break;
      m_brushes.push_back(std::move(brush));
    }
    m_brushes.resize(m_brushes.size() > free ? m_brushes.size() - free : 0);
  }

 private:
  std::vector<gdi::CBrush> m_brushes;
};

// With the handle table nearly full, the last of 51 one-row tiles cannot be
// made: with 100 free handles its context fails, with 101 its bitmap.
TEST_F(ScreenReference, TileThatCannotBeMadeReleasesEveryTileMadeSoFar) {
  for (const std::size_t free : {100u, 101u}) {
    SCOPED_TRACE(free);
    CTiledMemoryDC buffer(1);
    const Rect rect{0, 0, 1, 51};
    const long before = gdi::g_liveHandles;
    {
      const CHandleTableFiller filler(free);
      EXPECT_EQ(buffer.Create(Screen(), rect), nullptr);
      EXPECT_FALSE(buffer.HasTiles());
    }
    EXPECT_EQ(gdi::g_liveHandles, before);
    EXPECT_NE(buffer.Create(Screen(), rect), nullptr) << "the handles are free again";
  }
}

// --- Drawing -----------------------------------------------------------------

TEST_F(ScreenReference, BufferWithoutTilesDrawsNothingAndReportsSuccess) {
  CTiledMemoryDC empty, other;
  ASSERT_NE(other.Create(Screen(), {0, 0, 8, 8}), nullptr);
  CImage image({0, 0, 8, 8});
  image.FillPattern(0);

  EXPECT_TRUE(empty.StretchBltFrom(image.GetDC(), {0, 0, 8, 8}, {7, 0, -1, 8}));
  EXPECT_TRUE(empty.BitBltTo(image.GetDC()));
  EXPECT_TRUE(empty.CopyFrom(other, {0, 0, 8, 8}));
  empty.FillSolidRect({0, 0, 8, 8}, kRed);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) ASSERT_EQ(image.Pixel(x, y), PatternColor(x, y));
}

TEST_F(ScreenReference, FillIsClippedToTheBufferAcrossTiles) {
  const Rect area{10, 20, 74, 68};
  for (const Rect fill : {Rect{0, 25, 40, 100}, Rect{30, 29, 31, 31}, Rect{-50, -50, 5, 5},
                          Rect{40, 40, 40, 60}, Rect{0, 0, 200, 200}}) {
    SCOPED_TRACE(::testing::Message()
                 << fill.left << "," << fill.top << "," << fill.right << "," << fill.bottom);
    CTiledMemoryDC buffer(64 * 10);
    ASSERT_NE(buffer.Create(Screen(), area), nullptr);
    ASSERT_EQ(buffer.GetTiles().size(), 5u);
    buffer.FillSolidRect(area, kBlack);
    buffer.FillSolidRect(fill, kRed);
    const CImage image = Snapshot(buffer);
    for (int y = area.top; y < area.bottom; ++y)
      for (int x = area.left; x < area.right; ++x)
        ASSERT_EQ(image.Pixel(x, y), Contains(fill, x, y) ? kRed : kBlack) << x << "," << y;
  }
}

struct StretchCase {
  const char* name;
  Rect src, dst;
  // Source position that buffer pixel (x, y) shows; false if it is left alone.
  std::function<bool(int, int, Point&)> shows;
};

TEST_F(ScreenReference, StretchCopyLandsOneToOneAndMirroredAcrossTiles) {
  const Rect area{0, 0, 64, 48};
  const StretchCase cases[] = {
      {"straight", area, area,
       [](int x, int y, Point& p) {
         p = {x, y};
         return true;
       }},
      {"reversed columns", area, FlipRectX(area),
       [](int x, int y, Point& p) {
         p = {63 - x, y};
         return true;
       }},
      {"reversed rows", area, FlipRectY(area),
       [](int x, int y, Point& p) {
         p = {x, 47 - y};
         return true;
       }},
      // Source columns 100..119 land reversed on buffer columns 20..39.
      {"part reversed",
       {100, 5, 120, 40},
       FlipRectX({20, 5, 40, 40}),
       [](int x, int y, Point& p) {
         p = {139 - x, y};
         return x >= 20 && x < 40 && y >= 5 && y < 40;
       }},
  };
  CImage source({0, 0, 200, 100});
  source.FillPattern(0);
  for (const StretchCase& c : cases) {
    SCOPED_TRACE(c.name);
    CTiledMemoryDC buffer(64 * 7);
    ASSERT_NE(buffer.Create(Screen(), area), nullptr);
    ASSERT_EQ(buffer.GetTiles().size(), 7u);
    buffer.FillSolidRect(area, kBlack);
    EXPECT_TRUE(buffer.StretchBltFrom(source.GetDC(), c.src, c.dst));
    const CImage image = Snapshot(buffer);
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x) {
        Point p;
        const COLORREF want = c.shows(x, y, p) ? PatternColor(p.x, p.y) : kBlack;
        ASSERT_EQ(image.Pixel(x, y), want) << x << "," << y;
      }
  }
}

TEST_F(ScreenReference, CopyFromTakesTheRectangleFromEveryTileOfTheOther) {
  CImage source({0, 0, 80, 60});
  source.FillPattern(0);
  CTiledMemoryDC old(60 * 10);  // 4 tiles
  ASSERT_NE(old.Create(Screen(), {0, 0, 60, 40}), nullptr);
  ASSERT_TRUE(old.StretchBltFrom(source.GetDC(), {0, 0, 60, 40}, {0, 0, 60, 40}));

  for (const Rect shared : {Rect{0, 0, 60, 40}, Rect{0, 0, 30, 25}, Rect{5, 8, 55, 33}}) {
    CTiledMemoryDC grown(80 * 3);  // 17 tiles, laid out differently
    ASSERT_NE(grown.Create(Screen(), {0, 0, 80, 50}), nullptr);
    grown.FillSolidRect(grown.GetRect(), kBlack);
    EXPECT_TRUE(grown.CopyFrom(old, shared));
    const CImage image = Snapshot(grown);
    for (int y = 0; y < 50; ++y)
      for (int x = 0; x < 80; ++x)
        ASSERT_EQ(image.Pixel(x, y), Contains(shared, x, y) ? PatternColor(x, y) : kBlack)
            << x << "," << y;
  }
}

TEST_F(ScreenReference, ThousandsOfBuffersLeaveNoHandleBehind) {
  const long before = gdi::g_liveHandles;
  const long platformBefore = test::LiveGdiObjects();
  std::vector<HGDIOBJ> seen;
  {
    CTiledMemoryDC kept;
    for (int i = 0; i < 3000; ++i) {
      CTiledMemoryDC buffer(static_cast<std::uint32_t>(i % 4) * 500);
      const int w = 1 + i % 97, h = 1 + i % 53;
      ASSERT_NE(buffer.Create(Screen(), {0, 0, w, h}), nullptr) << i;
      if (i % 500 == 0) {
        for (const auto& tile : buffer.GetTiles()) {
          seen.push_back(tile->GetDC());
          seen.push_back(tile->GetBitmap());
        }
      }
      if (i % 3 == 0) kept = std::move(buffer);
    }
  }
  EXPECT_EQ(gdi::g_liveHandles, before);
  EXPECT_EQ(test::LiveGdiObjects(), platformBefore);
  for (HGDIOBJ h : seen) EXPECT_FALSE(IsLive(h));
}

}  // namespace
}  // namespace vl
