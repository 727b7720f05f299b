// The off-screen buffer of the reflection view: horizontal strips of memory
// device contexts with their own bitmaps, drawn to as one picture.
#pragma once

#include <windows.h>

#include <boost/shared_ptr.hpp>
#include <cstdint>
#include <vector>

#include "render/gdi.h"
#include "render/geometry.h"

namespace vl {

// One strip: a memory context with a bitmap of the strip's size, its viewport
// moved so that buffer coordinates land on the strip's own pixels.
class CMemoryDC2 {
 public:
  // Null if the context or the bitmap cannot be made.
  static boost::shared_ptr<CMemoryDC2> Create(HDC reference, const Rect& rect);

  CMemoryDC2(const CMemoryDC2&) = delete;
  CMemoryDC2& operator=(const CMemoryDC2&) = delete;

  HDC GetDC() const noexcept { return m_hDC.Get(); }
  const Rect& GetRect() const noexcept { return m_rect; }
  HBITMAP GetBitmap() const noexcept { return m_hBitmap.Get(); }

 private:
  CMemoryDC2() = default;

  // Declared in this order so that they go in the reverse one: the old bitmap
  // is selected back, then our bitmap deleted, then the context.
  gdi::CMemDC m_hDC;
  Rect m_rect;
  gdi::CBitmap m_hBitmap;
  gdi::CSelectObject m_hOldBitmap;
};

// The buffer: strips of the full width of m_rect, top to bottom, each holding
// at most m_maxTilePixels pixels (0: no limit, a single strip).
class CTiledMemoryDC {
 public:
  using TileList = std::vector<boost::shared_ptr<CMemoryDC2>>;

  explicit CTiledMemoryDC(std::uint32_t maxTilePixels = 0) noexcept
      : m_maxTilePixels(maxTilePixels) {}
  CTiledMemoryDC(const CTiledMemoryDC&) = delete;
  CTiledMemoryDC& operator=(const CTiledMemoryDC&) = delete;
  // Hands the tiles, the limit and the rectangle over; the source is left
  // empty, as after Destroy().
  CTiledMemoryDC(CTiledMemoryDC&& other) noexcept;
  CTiledMemoryDC& operator=(CTiledMemoryDC&& other) noexcept;
  ~CTiledMemoryDC() = default;

  // Replaces the tiles by new ones covering `rect`, compatible with
  // `reference`. Returns the first tile's context, or null when `rect` is
  // empty or a tile cannot be made; then no tiles are left.
  HDC Create(HDC reference, const Rect& rect);
  // Releases the tiles and zeroes the rectangle; the limit stays.
  void Destroy() noexcept;

  // Paints `rect` (buffer coordinates) in `color`; clipped to the buffer.
  void FillSolidRect(const Rect& rect, COLORREF color) const noexcept;
  // StretchBlt with SRCCOPY into every tile; `dst` may carry negative extents.
  bool StretchBltFrom(HDC source, const Rect& src, const Rect& dst) const noexcept;
  // Copies every tile to its own place in `dest`; with `rect` (buffer
  // coordinates), only what lies in it.
  bool BitBltTo(HDC dest) const noexcept { return BitBltTo(dest, m_rect); }
  bool BitBltTo(HDC dest, const Rect& rect) const noexcept;
  // Copies `rect` from every tile of `other` into every tile of this buffer.
  bool CopyFrom(const CTiledMemoryDC& other, const Rect& rect) const noexcept;

  bool HasTiles() const noexcept { return !m_tiles.empty(); }
  const TileList& GetTiles() const noexcept { return m_tiles; }
  std::uint32_t GetMaxTilePixels() const noexcept { return m_maxTilePixels; }
  const Rect& GetRect() const noexcept { return m_rect; }

  // Rows per strip for a buffer `width` pixels wide.
  static std::int32_t RowsPerTile(std::uint32_t maxTilePixels, std::int32_t width) noexcept;

 private:
  TileList m_tiles;
  std::uint32_t m_maxTilePixels = 0;
  Rect m_rect;
};

}  // namespace vl
