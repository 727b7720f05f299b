#include "render/view_window.h"

#include "render/gdi.h"
#include "render/win_rect.h"
#include "settings/setting.h"

namespace vl {

namespace {

// Read on every drawing: monitors may come and go while the view runs.
Rect VirtualScreen() noexcept {
  const int x = ::GetSystemMetrics(SM_XVIRTUALSCREEN);
  const int y = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
  return {x, y, x + ::GetSystemMetrics(SM_CXVIRTUALSCREEN),
          y + ::GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

}  // namespace

bool CWindow::ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                   LRESULT& result) {
  fw::CMessageMap map(m_bMsgHandled, result);
  if (msg == WM_CREATE && map.Handle([&] { return OnCreate(); })) return true;
  if (msg == WM_WINDOWPOSCHANGING)  // passes on
    map.PassOn([&] { KeepPlace(*reinterpret_cast<WINDOWPOS*>(lParam)); });
  // CBufferedWindowImpl: WM_ERASEBKGND (skipped), WM_SIZE (resizes the
  // buffer), WM_PAINT (paints from it), all handled.
  if (map.Chain<CBufferedWindowImpl<CWindow>>(*this, hwnd, msg, wParam, lParam)) return true;
  return false;
}

// Layered and transparent, the view takes no mouse input: the mirror window
// below it, or whatever lies under the band beside the mirror, gets it.
LRESULT CWindow::OnCreate() {
  constexpr LONG kClickThrough = WS_EX_LAYERED | WS_EX_TRANSPARENT;
  const LONG exStyle = ::GetWindowLongW(m_hWnd, GWL_EXSTYLE);
  if ((exStyle & kClickThrough) != kClickThrough)
    ::SetWindowLongW(m_hWnd, GWL_EXSTYLE, exStyle | kClickThrough);
  // Fully opaque, no colour key: the layering is there for the click-through only.
  ::SetLayeredWindowAttributes(m_hWnd, 0, 255, LWA_ALPHA);
  return 0;
}

void CWindow::PlaceAt(const Rect& rect) {
  m_rcPlace = rect;
  MoveWindow(ToRECT(rect), true);
}

void CWindow::KeepPlace(WINDOWPOS& pos) const {
  constexpr UINT kNeither = SWP_NOMOVE | SWP_NOSIZE;
  if (!m_rcPlace || (pos.flags & kNeither) == kNeither) return;
  pos.x = m_rcPlace->left;
  pos.y = m_rcPlace->top;
  pos.cx = m_rcPlace->right - m_rcPlace->left;
  pos.cy = m_rcPlace->bottom - m_rcPlace->top;
  pos.flags &= ~kNeither;
}

Rect CWindow::Refresh(bool cursorOnly) {
  if (!m_buffer.HasTiles()) return {};
  // A refresh around the cursor changes a small square at most, or nothing:
  // the rest of the picture on the screen stays as it is, and the compositor
  // has only that square to redraw. A whole one shows all of it, whatever
  // came over the picture meanwhile.
  const Rect changed = DrawBuffer(m_buffer, m_buffer.GetRect(), cursorOnly);
  if (IsRectEmpty(changed)) return {};
  const auto dc = gdi::CWindowDC::Client(m_hWnd);
  m_buffer.BitBltTo(dc.Get(), changed);
  return changed;
}

bool CWindow::CopyPictureTo(HWND window, HDC dc, const Rect& rect) const {
  POINT view{}, target{};
  if (!dc || !m_buffer.HasTiles() || !::ClientToScreen(m_hWnd, &view) ||
      !::ClientToScreen(window, &target))
    return false;
  // The buffer's coordinates are the view's client coordinates: move them onto
  // the target's for the copy, and back.
  POINT old{};
  if (!::OffsetViewportOrgEx(dc, view.x - target.x, view.y - target.y, &old)) return false;
  const bool copied = m_buffer.BitBltTo(dc, rect);
  ::SetViewportOrgEx(dc, old.x, old.y, nullptr);
  return copied;
}

Rect CWindow::DrawBuffer(const CTiledMemoryDC& buffer, const Rect& paintRect, bool cursorOnly) {
  if (!buffer.HasTiles() || paintRect.left == paintRect.right || paintRect.top == paintRect.bottom)
    return {};

  RECT windowRect{};
  ::GetWindowRect(m_hWnd, &windowRect);
  const Rect screen = VirtualScreen();

  POINT topLeft = ToPOINT({paintRect.left, paintRect.top});
  POINT bottomRight = ToPOINT({paintRect.right, paintRect.bottom});
  if (::ClientToScreen(m_hWnd, &topLeft)) ::ClientToScreen(m_hWnd, &bottomRight);

  // Read once: one side for the mirror and the frame, one set of widths.
  const PictureShape shape{{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y},
                           g_setting.Direction,
                           g_setting.Edge,
                           g_setting.ThinEdge,
                           g_setting.TransparentEdge};
  // Another shape than the buffer's picture: what the buffer holds is stale,
  // so start from black and read everything. Otherwise a view that keeps its
  // place would go on showing the old side's picture, or the old frame,
  // wherever nothing is read again: beyond the screen, and outside the
  // cursor square when whole refreshes are off.
  const bool stale = shape != m_lastShape;
  const bool whole = stale || !cursorOnly;

  POINT cursor{};
  ::GetCursorPos(&cursor);  // a failure leaves (0, 0), which is stored as it is
  const Point previous = m_ptLastCursor;
  m_ptLastCursor = FromPOINT(cursor);

  Rect clip = screen;
  if (!whole)
    clip = IntersectRect(screen,
                         CalcCursorRect(m_ptLastCursor, previous, g_setting.AroundCursorDistance));

  POINT origin{};  // stays (0, 0) if the view has gone: the rectangle is then used as it is
  ::ClientToScreen(m_hWnd, &origin);
  const ReflectRects rects =
      CalcReflectRects(shape.direction, FromRECT(windowRect), shape.area, clip, FromPOINT(origin));

  if (stale) buffer.FillSolidRect(paintRect, kMovedAreaColor);

  // A plain SRCCOPY read: CAPTUREBLT would add layered windows to the picture
  // and is known to make the cursor flicker.
  const auto screenDC = gdi::CWindowDC::Window(nullptr);
  buffer.StretchBltFrom(screenDC.Get(), rects.src, rects.dst);

  // The frame of the view as it is now, also when drawing into a buffer that
  // is about to replace the current one.
  RectList light, dark;
  CSetting::CalcEdgeRects(m_buffer.GetRect(), shape.direction, shape.edge, shape.thinEdge,
                          shape.transparentEdge, light, dark);
  for (const Rect& r : light) buffer.FillSolidRect(r, kLightBandColor);
  for (const Rect& r : dark) buffer.FillSolidRect(r, kDarkBandColor);

  // Whole, all of it changed; else where the copy landed: the frame, drawn
  // from the same shape as before, changed nothing beyond it.
  if (whole) {
    m_lastShape = shape;
    return paintRect;
  }
  if (IsRectEmpty(rects.src)) return {};
  const bool vertical = shape.direction == Top || shape.direction == Bottom;
  return IntersectRect(paintRect, vertical ? UnflipRectY(rects.dst) : UnflipRectX(rects.dst));
}

}  // namespace vl
