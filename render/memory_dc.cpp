#include "render/memory_dc.h"

#include <algorithm>
#include <utility>

namespace vl {

namespace {

constexpr std::int32_t kUnlimitedRows = 0x7FFFFFFF;

}  // namespace

boost::shared_ptr<CMemoryDC2> CMemoryDC2::Create(HDC reference, const Rect& rect) {
  boost::shared_ptr<CMemoryDC2> tile(new CMemoryDC2);
  tile->m_rect = rect;
  tile->m_hDC = gdi::CMemDC::CompatibleWith(reference);
  if (!tile->m_hDC) return nullptr;
  // A tile without its bitmap would keep the context's 1x1 placeholder and
  // silently draw nothing, so it counts as a failure just like the context.
  tile->m_hBitmap = gdi::CBitmap(
      ::CreateCompatibleBitmap(reference, rect.right - rect.left, rect.bottom - rect.top));
  if (!tile->m_hBitmap) return nullptr;
  tile->m_hOldBitmap = gdi::CSelectObject(tile->m_hDC.Get(), tile->m_hBitmap.Get());
  if (!tile->m_hOldBitmap) return nullptr;
  ::SetViewportOrgEx(tile->m_hDC.Get(), -rect.left, -rect.top, nullptr);
  return tile;
}

CTiledMemoryDC::CTiledMemoryDC(CTiledMemoryDC&& other) noexcept
    : m_tiles(std::move(other.m_tiles)),
      m_maxTilePixels(other.m_maxTilePixels),
      m_rect(std::exchange(other.m_rect, Rect{})) {
  other.m_tiles.clear();
}

CTiledMemoryDC& CTiledMemoryDC::operator=(CTiledMemoryDC&& other) noexcept {
  if (this != &other) {
    Destroy();
    m_tiles = std::move(other.m_tiles);
    other.m_tiles.clear();
    m_maxTilePixels = other.m_maxTilePixels;
    m_rect = std::exchange(other.m_rect, Rect{});
  }
  return *this;
}

std::int32_t CTiledMemoryDC::RowsPerTile(std::uint32_t maxTilePixels, std::int32_t width) noexcept {
  if (maxTilePixels == 0 || width <= 0) return kUnlimitedRows;
  const std::uint32_t rows = maxTilePixels / static_cast<std::uint32_t>(width);
  if (rows == 0) return 1;
  return static_cast<std::int32_t>(std::min<std::uint32_t>(rows, kUnlimitedRows));
}

HDC CTiledMemoryDC::Create(HDC reference, const Rect& rect) {
  Destroy();
  m_rect = rect;
  if (IsRectEmpty(rect)) return nullptr;

  const std::int32_t rows = RowsPerTile(m_maxTilePixels, rect.right - rect.left);
  for (std::int64_t y = rect.top; y < rect.bottom;) {
    const std::int64_t bottom = std::min<std::int64_t>(y + rows, rect.bottom);
    const Rect strip{rect.left, static_cast<std::int32_t>(y), rect.right,
                     static_cast<std::int32_t>(bottom)};
    auto tile = CMemoryDC2::Create(reference, strip);
    if (!tile) {
      m_tiles.clear();
      return nullptr;
    }
    m_tiles.push_back(std::move(tile));
    y = bottom;
  }
  return m_tiles.front()->GetDC();
}

void CTiledMemoryDC::Destroy() noexcept {
  m_tiles.clear();
  m_rect = Rect{};
}

void CTiledMemoryDC::FillSolidRect(const Rect& rect, COLORREF color) const noexcept {
  const RECT r = {rect.left, rect.top, rect.right, rect.bottom};
  for (const auto& tile : m_tiles) {
    const HDC hdc = tile->GetDC();
    const COLORREF old = ::SetBkColor(hdc, color);
    if (old == CLR_INVALID) continue;
    ::ExtTextOutW(hdc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    ::SetBkColor(hdc, old);
  }
}

bool CTiledMemoryDC::StretchBltFrom(HDC source, const Rect& src, const Rect& dst) const noexcept {
  bool ok = true;
  for (const auto& tile : m_tiles) {
    ok = ::StretchBlt(tile->GetDC(), dst.left, dst.top, dst.right - dst.left, dst.bottom - dst.top,
                      source, src.left, src.top, src.right - src.left, src.bottom - src.top,
                      SRCCOPY) != FALSE &&
         ok;
  }
  return ok;
}

bool CTiledMemoryDC::BitBltTo(HDC dest, const Rect& rect) const noexcept {
  bool ok = true;
  for (const auto& tile : m_tiles) {
    const Rect r = IntersectRect(tile->GetRect(), rect);
    if (IsRectEmpty(r)) continue;
    ok = ::BitBlt(dest, r.left, r.top, r.right - r.left, r.bottom - r.top, tile->GetDC(), r.left,
                  r.top, SRCCOPY) != FALSE &&
         ok;
  }
  return ok;
}

bool CTiledMemoryDC::CopyFrom(const CTiledMemoryDC& other, const Rect& rect) const noexcept {
  bool ok = true;
  for (const auto& tile : m_tiles) {
    for (const auto& from : other.m_tiles) {
      ok = ::BitBlt(tile->GetDC(), rect.left, rect.top, rect.right - rect.left,
                    rect.bottom - rect.top, from->GetDC(), rect.left, rect.top, SRCCOPY) != FALSE &&
           ok;
    }
  }
  return ok;
}

}  // namespace vl
