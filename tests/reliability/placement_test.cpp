// The mirror window opening on a stored placement that no window can have:
// a damaged size is not applied, nor a stored maximised state with it; the
// default place is used. Sizes a window can have are applied as stored.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <ostream>

#include "app/layout.h"
#include "app/ui_window.h"
#include "render/win_rect.h"
#include "settings/setting.h"

namespace vl {

void PrintTo(const Rect& r, std::ostream* os) {
  *os << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

namespace {

Rect WindowRectOf(HWND hwnd) {
  RECT r{};
  ::GetWindowRect(hwnd, &r);
  return FromRECT(r);
}

Rect VirtualScreen() {
  const int x = ::GetSystemMetrics(SM_XVIRTUALSCREEN), y = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
  return {x, y, x + ::GetSystemMetrics(SM_CXVIRTUALSCREEN),
          y + ::GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

class DamagedPlacement : public ::testing::Test {
 protected:
  void SetUp() override { g_setting = CSetting{}; }
  void TearDown() override {
    if (window.m_hWnd) window.DestroyWindow();
    MSG msg;  // the quit message the window posts when it goes
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    g_setting = CSetting{};
  }
  Rect Open(const Rect& stored, bool maximised = false) {
    g_setting.Window.Rectangle = stored;
    g_setting.Window.FullScreen = maximised;
    EXPECT_NE(window.Create(nullptr), nullptr);
    return WindowRectOf(window);
  }
  CUIWindow window;
};

TEST_F(DamagedPlacement, SizesNoWindowCanHaveGiveTheDefaultPlace) {
  const Rect kDamaged[] = {
      {700, 350, INT_MAX, 650},   // right at the top of its range
      {700, 350, 1100, INT_MAX},  // bottom likewise
      {-1, 350, 32767, 650},      // one pixel wider than a window can be
      {INT_MIN + 1, 0, -1, 300},  // left near the bottom of its range
  };
  const Rect defaultPlace = FromRECT(CUIWindow::DefaultWindowRect());
  for (const Rect& stored : kDamaged) {
    SCOPED_TRACE(::testing::PrintToString(stored));
    EXPECT_EQ(Open(stored), defaultPlace);
    window.DestroyWindow();
  }
}

TEST_F(DamagedPlacement, LargestSizeAWindowCanHaveIsApplied) {
  // Larger than the screen, so it is shifted to its top-left corner.
  const Rect vs = VirtualScreen();
  EXPECT_EQ(Open({0, 0, 32767, 300}), (Rect{vs.left, vs.top, vs.left + 32767, vs.top + 300}));
}

TEST_F(DamagedPlacement, DamagedSizeIsNoPlacementEvenWhenStoredMaximised) {
  // Maximised, the window would lie at its default place unable to be sized,
  // and be stored maximised again.
  EXPECT_EQ(Open({700, 350, INT_MAX, 650}, true), FromRECT(CUIWindow::DefaultWindowRect()));
  EXPECT_FALSE(::IsZoomed(window));
}

}  // namespace
}  // namespace vl
