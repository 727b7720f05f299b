// Screen helpers for the render tests: a window that covers the whole screen
// with the position-coding pattern, and waiting for the display to show it.
#pragma once

#include <windows.h>

#include <memory>

#include "framework/message_map.h"
#include "framework/window_impl.h"
#include "pixels.h"
#include "render/geometry.h"
#include "tests/common/cursor.h"

namespace vl::test {

// Dispatches whatever is queued for this thread.
void PumpMessages();

// Pumps messages until `done` holds or `timeoutMs` has passed; the last result.
template <class Pred>
bool PumpUntil(Pred done, DWORD timeoutMs = 5000) {
  const DWORD start = ::GetTickCount();
  for (;;) {
    PumpMessages();
    if (done()) return true;
    if (::GetTickCount() - start > timeoutMs) return false;
    ::Sleep(10);
  }
}

Rect VirtualScreenRect();

// A popup under everything else that paints the pattern at its own screen
// pixels, so the screen context reads back which pixel it shows.
class CPatternWindow
    : public fw::CWindowImpl<CPatternWindow, fw::CWindowHandle, fw::CWinTraits<WS_POPUP, 0>> {
 public:
  CPatternWindow();
  bool Open();
  // Repaints with another variant of the pattern and waits until the screen
  // shows it in `area` (screen coordinates, clipped to the screen).
  bool ShowVariant(int variant, const Rect& area);
  // Waits until the screen shows the current variant in `area`.
  bool WaitForScreen(const Rect& area) const;
  int Variant() const noexcept { return m_variant; }

  bool ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                            LRESULT& result) override;

 protected:
  FW_HANDLED_FLAG

 private:
  Rect m_screen;
  std::unique_ptr<CImage> m_image;
  int m_variant = 0;
};

}  // namespace vl::test
