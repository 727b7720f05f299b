// Pixel helpers for the render tests: a readable 32-bit image, and the
// position-coding pattern in which every pixel names its own coordinates.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "render/gdi.h"
#include "render/geometry.h"
#include "render/memory_dc.h"

namespace vl::test {

// COLORREF of the pattern at (x, y): red = x & 255, green = y & 255, blue =
// the high bits of both. `variant` 1 inverts every colour, so a second picture
// differs from the first at every pixel and still names its position.
COLORREF PatternColor(int x, int y, int variant = 0) noexcept;

// The position a pattern pixel names; false for a colour outside the pattern.
bool DecodePattern(COLORREF color, int variant, Point& where) noexcept;

// A top-down 32-bit DIB section in a memory context, for drawing into and
// reading from without going through the screen.
class CImage {
 public:
  // An image of `rect`: drawing at rect's coordinates lands on its pixels.
  explicit CImage(const Rect& rect);

  HDC GetDC() const noexcept { return m_dc.Get(); }
  const Rect& GetRect() const noexcept { return m_rect; }
  COLORREF Pixel(int x, int y) const noexcept;  // in rect's coordinates
  void SetPixel(int x, int y, COLORREF color) noexcept;
  void Fill(COLORREF color) noexcept;
  void FillPattern(int variant) noexcept;  // the pattern of the coordinates

 private:
  Rect m_rect;
  int m_width;
  gdi::CMemDC m_dc;
  gdi::CBitmap m_bitmap;
  gdi::CSelectObject m_select;
  std::uint32_t* m_bits = nullptr;
};

// What a buffer holds, read through BitBltTo.
CImage Snapshot(const CTiledMemoryDC& buffer);

}  // namespace vl::test
