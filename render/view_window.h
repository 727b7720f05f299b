// vl::CWindow: the reflection view. A top-most popup that the mirror window
// owns and keeps over itself; it shows the mirrored picture of the screen
// beside it and lets every mouse action through to the windows beneath.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>

#include "framework/message_map.h"
#include "framework/window_impl.h"
#include "render/buffered_window.h"
#include "render/geometry.h"
#include "render/memory_dc.h"

namespace vl {

using CViewTraits = fw::CWinTraits<WS_POPUP, WS_EX_TOPMOST>;

// What shapes the view's picture, apart from the screen pixels it reads: the
// screen area drawn, the reflected side and the frame's widths. The picture
// in the buffer is that of the last whole drawing's shape; a drawing of any
// other shape is whole, and the frame is drawn from the shape alone.
struct PictureShape {
  Rect area;  // screen coordinates
  std::int32_t direction = Left;
  std::int32_t edge = 0;
  std::int32_t thinEdge = 0;
  std::int32_t transparentEdge = 0;

  friend bool operator==(const PictureShape&, const PictureShape&) = default;
};

class CWindow : public fw::CWindowImpl<CWindow, fw::CWindowHandle, CViewTraits>,
                public CBufferedWindowImpl<CWindow> {
 public:
  // Before the buffer goes: its map paints from it.
  ~CWindow() override { DestroyDetached(); }

  // Redraws the buffer and shows it: the whole mirrored area, or with
  // `cursorOnly` just what lies around the mouse cursor. A picture of another
  // shape than the last whole one (the view moved or resized, another side,
  // other frame widths) is redrawn whole regardless. Only what the drawing
  // changed is copied onto the view; returns that part (client coordinates).
  Rect Refresh(bool cursorOnly);

  // Copies the part of the picture that lies over `window` into `dc`, a
  // context of that window's client area; with `rect` (the view's client
  // coordinates), only what lies in it. The view's owner shows it on its own
  // surface, which is what the shell's thumbnails and previews show.
  bool CopyPictureTo(HWND window, HDC dc) const {
    return CopyPictureTo(window, dc, m_buffer.GetRect());
  }
  bool CopyPictureTo(HWND window, HDC dc, const Rect& rect) const;

  // Moves the view to `rect` and keeps it there: whoever else moves or sizes
  // it (the system, when a monitor goes away, moves it apart from its
  // owner), it stays where its owner placed it.
  void PlaceAt(const Rect& rect);

  // Renders `paintRect` (client coordinates) of the view into `buffer`: the
  // mirrored screen area, or with `cursorOnly` the part of it around the
  // cursor, then the frame of the view's current buffer. Returns the part of
  // `buffer` that may have changed.
  Rect DrawBuffer(const CTiledMemoryDC& buffer, const Rect& paintRect, bool cursorOnly);

  bool ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                            LRESULT& result) override;

  PictureShape m_lastShape;       // of the last whole DrawBuffer
  Point m_ptLastCursor;           // cursor position read by the last DrawBuffer
  std::optional<Rect> m_rcPlace;  // where its owner last placed it

 protected:
  FW_HANDLED_FLAG

 private:
  LRESULT OnCreate();
  void KeepPlace(WINDOWPOS& pos) const;
};

}  // namespace vl
