#include "pixels.h"

namespace vl::test {

namespace {

// A DIB stores 0x00RRGGBB; a COLORREF is 0x00BBGGRR.
std::uint32_t ToDib(COLORREF c) noexcept {
  return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}
COLORREF FromDib(std::uint32_t v) noexcept {
  return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

}  // namespace

COLORREF PatternColor(int x, int y, int variant) noexcept {
  const auto ux = static_cast<unsigned>(x), uy = static_cast<unsigned>(y);
  const COLORREF c = RGB(ux & 0xFF, uy & 0xFF, (((ux >> 8) & 0xF) << 4) | ((uy >> 8) & 0xF));
  return variant == 0 ? c : (~c & 0x00FFFFFF);
}

bool DecodePattern(COLORREF color, int variant, Point& where) noexcept {
  const COLORREF c = variant == 0 ? color : (~color & 0x00FFFFFF);
  const unsigned blue = GetBValue(c);
  where = {static_cast<int>(GetRValue(c) | ((blue >> 4) << 8)),
           static_cast<int>(GetGValue(c) | ((blue & 0xF) << 8))};
  return PatternColor(where.x, where.y, variant) == color;
}

CImage::CImage(const Rect& rect)
    : m_rect(rect), m_width(rect.right - rect.left), m_dc(gdi::CMemDC::CompatibleWith(nullptr)) {
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = m_width;
  bi.bmiHeader.biHeight = -(rect.bottom - rect.top);  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  m_bitmap = gdi::CBitmap(::CreateDIBSection(m_dc.Get(), &bi, DIB_RGB_COLORS, &bits, nullptr, 0));
  m_bits = static_cast<std::uint32_t*>(bits);
  m_select = gdi::CSelectObject(m_dc.Get(), m_bitmap.Get());
  ::SetViewportOrgEx(m_dc.Get(), -rect.left, -rect.top, nullptr);
  Fill(RGB(1, 2, 3));
}

COLORREF CImage::Pixel(int x, int y) const noexcept {
  ::GdiFlush();
  return FromDib(m_bits[(y - m_rect.top) * m_width + (x - m_rect.left)]);
}

void CImage::SetPixel(int x, int y, COLORREF color) noexcept {
  ::GdiFlush();
  m_bits[(y - m_rect.top) * m_width + (x - m_rect.left)] = ToDib(color);
}

void CImage::Fill(COLORREF color) noexcept {
  ::GdiFlush();
  for (int y = m_rect.top; y < m_rect.bottom; ++y)
    for (int x = m_rect.left; x < m_rect.right; ++x)
      m_bits[(y - m_rect.top) * m_width + (x - m_rect.left)] = ToDib(color);
}

void CImage::FillPattern(int variant) noexcept {
  ::GdiFlush();
  for (int y = m_rect.top; y < m_rect.bottom; ++y)
    for (int x = m_rect.left; x < m_rect.right; ++x)
      m_bits[(y - m_rect.top) * m_width + (x - m_rect.left)] = ToDib(PatternColor(x, y, variant));
}

CImage Snapshot(const CTiledMemoryDC& buffer) {
  CImage image(buffer.GetRect());
  buffer.BitBltTo(image.GetDC());
  return image;
}

}  // namespace vl::test
