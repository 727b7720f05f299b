// CBufferedWindowImpl: a mixin that keeps an off-screen picture of T's whole
// client area and paints the window from it.
//
// T supplies
//   Rect DrawBuffer(const CTiledMemoryDC& buffer, const Rect& paintRect, bool cursorOnly);
//     renders `paintRect` (client coordinates) into `buffer`, which is either
//     m_buffer or, during a resize, the buffer about to replace it, and
//     returns what it drew (this mixin does not need it); this mixin's
//     drawings are all whole (`cursorOnly` false);
// and chains this map from its own.
#pragma once

#include <windows.h>

#include <algorithm>
#include <utility>

#include "framework/message_map.h"
#include "render/gdi.h"
#include "render/geometry.h"
#include "render/memory_dc.h"

namespace vl {

template <class T>
class CBufferedWindowImpl {
 public:
  bool ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM, LPARAM, LRESULT& result) {
    fw::CMessageMap map(m_bMsgHandled, result);
    // The buffer covers the whole client area, so erasing would only flicker.
    if (msg == WM_ERASEBKGND && map.Handle([] { return 1; })) return true;
    if (msg == WM_SIZE && map.Handle([&] {
          OnSize(hwnd);
          return 0;
        }))
      return true;
    if (msg == WM_PAINT && map.Handle([&] {
          OnPaint(hwnd);
          return 0;
        }))
      return true;
    return false;
  }

  CTiledMemoryDC m_buffer;  // no tile limit: one tile for the whole client area

 protected:
  FW_HANDLED_FLAG

 private:
  T& Derived() noexcept { return static_cast<T&>(*this); }

  // Brings the buffer to the client size. The part both sizes share is copied
  // over from the old picture; only the newly exposed strips are drawn.
  void OnSize(HWND hwnd) {
    RECT client{};
    if (!::GetClientRect(hwnd, &client)) client = {};
    const int cx = client.right - client.left, cy = client.bottom - client.top;
    const Rect old = m_buffer.GetRect();
    const int oldWidth = old.right - old.left, oldHeight = old.bottom - old.top;
    if (oldWidth == cx && oldHeight == cy) return;

    CTiledMemoryDC next(m_buffer.GetMaxTilePixels());
    HDC created = nullptr;
    {
      const auto screen = gdi::CWindowDC::Client(nullptr);
      created = next.Create(screen.Get(), {0, 0, cx, cy});
    }
    if (!created) {
      m_buffer.Destroy();
      return;
    }

    // Drawn before the buffer changes hands, so these strips carry the old
    // frame; the paint that follows every resize draws the new one.
    const int w = std::min(oldWidth, cx), h = std::min(oldHeight, cy);
    if (h < cy) Derived().DrawBuffer(next, {0, h, cx, cy}, false);
    if (w < cx) Derived().DrawBuffer(next, {w, 0, cx, h}, false);
    next.CopyFrom(m_buffer, {0, 0, w, h});
    m_buffer = std::move(next);
  }

  // Every paint redraws and copies the whole view; the update region is not
  // consulted.
  void OnPaint(HWND hwnd) {
    const gdi::CPaintDC dc(hwnd);
    if (!m_buffer.HasTiles()) return;
    const Rect whole = m_buffer.GetRect();
    Derived().DrawBuffer(m_buffer, whole, false);
    m_buffer.BitBltTo(dc.Get());
  }
};

}  // namespace vl
