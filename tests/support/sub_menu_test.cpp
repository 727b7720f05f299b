#include "support/sub_menu.h"

#include <gtest/gtest.h>

#include <vector>

#include "framework/window_impl.h"
#include "tests/support/test_resource.h"

namespace {

constexpr UINT_PTR kEndMenuTimer = 7;

// A window with the mixin that records what the menu loop tells its owner.
// Its timer, started by a test before the menu opens, fires inside the menu's
// own loop: it notes where the popup is and ends the menu.
class CMenuWindow
    : public fw::CWindowImpl<CMenuWindow, fw::CWindowHandle, fw::CWinTraits<WS_POPUP, 0>>,
      public CSubMenuImpl<CMenuWindow> {
 public:
  std::vector<HMENU> opened;  // submenus announced by WM_INITMENUPOPUP
  int menuLoops = 0;          // WM_ENTERMENULOOP
  RECT shownAt{};             // the popup's rectangle while it was open

  bool ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                            LRESULT& result) override {
    fw::CMessageMap map(m_bMsgHandled, result);
    if (msg == WM_INITMENUPOPUP) opened.push_back(reinterpret_cast<HMENU>(wParam));
    if (msg == WM_ENTERMENULOOP) ++menuLoops;
    if (msg == WM_TIMER && wParam == kEndMenuTimer && map.Handle([&] {
          ::KillTimer(hwnd, kEndMenuTimer);
          if (const HWND popup = ::FindWindowW(L"#32768", nullptr))
            ::GetWindowRect(popup, &shownAt);
          ::EndMenu();
          return 0;
        }))
      return true;
    return map.Chain<CSubMenuImpl<CMenuWindow>>(*this, hwnd, msg, wParam, lParam);
  }

 protected:
  FW_HANDLED_FLAG
};

// Moves the mouse and posts a keyboard-style WM_CONTEXTMENU (-1, -1), then
// dispatches it: the handler sees the mouse position as the message's own.
// The mouse goes back afterwards, as other tests on the display may use it.
void RightClickFromKeyboard(CMenuWindow& w, POINT at) {
  POINT before{};
  ::GetCursorPos(&before);
  ASSERT_TRUE(::SetCursorPos(at.x, at.y));
  ::SetTimer(w.m_hWnd, kEndMenuTimer, 100, nullptr);
  w.PostMessage(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(w.m_hWnd), MAKELPARAM(-1, -1));
  MSG msg;
  while (::PeekMessageW(&msg, w.m_hWnd, WM_CONTEXTMENU, WM_CONTEXTMENU, PM_REMOVE))
    ::DispatchMessageW(&msg);
  ::KillTimer(w.m_hWnd, kEndMenuTimer);
  ::SetCursorPos(before.x, before.y);
}

TEST(CMenuHandle, DestroysWhatItHoldsOnEveryExit) {
  const HMENU a = ::CreatePopupMenu(), b = ::CreatePopupMenu(), c = ::CreatePopupMenu();
  {
    my::CMenuHandle first(a);
    my::CMenuHandle second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(second.Get(), a);
    my::CMenuHandle third(b);
    third = std::move(second);  // b goes, a moves on
    EXPECT_FALSE(::IsMenu(b));
    EXPECT_TRUE(::IsMenu(a));
    third.Reset(c);
    EXPECT_FALSE(::IsMenu(a));
    third.Reset(c);  // holding it again keeps it
    EXPECT_TRUE(::IsMenu(c));
  }
  EXPECT_FALSE(::IsMenu(c));
}

TEST(CSubMenuImpl, ReloadingLeavesExactlyOneMenuAlive) {
  HMENU last = nullptr;
  {
    CMenuWindow w;
    EXPECT_FALSE(w.menu);
    const HMENU built = ::CreateMenu();
    w.AdoptMenu(0, built);

    std::vector<HMENU> loaded;
    for (int i = 0; i < 3; ++i) {
      ASSERT_TRUE(w.LoadMenu(1, IDM_TEST_MENU));
      loaded.push_back(w.menu.Get());
    }
    EXPECT_EQ(w.subMenuIndex, 1);
    EXPECT_FALSE(::IsMenu(built));
    EXPECT_FALSE(::IsMenu(loaded[0]));
    EXPECT_FALSE(::IsMenu(loaded[1]));
    EXPECT_TRUE(::IsMenu(loaded[2]));
    last = loaded[2];

    // A menu that cannot be loaded still takes the old one's place.
    EXPECT_FALSE(w.LoadMenu(0, IDM_TEST_ABSENT));
    EXPECT_FALSE(w.menu);
    EXPECT_FALSE(::IsMenu(last));

    ASSERT_TRUE(w.LoadMenu(0, IDM_TEST_MENU));
    last = w.menu.Get();
  }
  EXPECT_FALSE(::IsMenu(last));  // gone with the window object
}

TEST(CSubMenuImpl, WithoutAMenuTheRequestIsAbsorbed) {
  CMenuWindow w;
  ASSERT_NE(w.Create(nullptr), nullptr);
  LRESULT result = 123;
  EXPECT_TRUE(w.ProcessWindowMessage(w.m_hWnd, WM_CONTEXTMENU, 0, MAKELPARAM(10, 10), result));
  EXPECT_EQ(result, 0);
  RightClickFromKeyboard(w, {300, 200});
  EXPECT_EQ(w.menuLoops, 0);
  EXPECT_TRUE(w.opened.empty());
}

TEST(CSubMenuImpl, OtherMessagesPassOn) {
  CMenuWindow w;
  ASSERT_TRUE(w.LoadMenu(0, IDM_TEST_MENU));
  LRESULT result = 0;
  for (UINT msg : {UINT{WM_RBUTTONUP}, UINT{WM_COMMAND}, UINT{WM_INITMENUPOPUP}})
    EXPECT_FALSE(w.ProcessWindowMessage(nullptr, msg, 0, 0, result)) << msg;
}

TEST(CSubMenuImpl, ShowsTheChosenSubmenuAtTheMouse) {
  CMenuWindow w;
  ASSERT_NE(w.Create(nullptr), nullptr);
  ASSERT_TRUE(w.LoadMenu(1, IDM_TEST_MENU));

  const POINT at{300, 200};
  RightClickFromKeyboard(w, at);
  ASSERT_EQ(w.menuLoops, 1);
  ASSERT_EQ(w.opened.size(), 1u);
  EXPECT_EQ(w.opened[0], ::GetSubMenu(w.menu.Get(), 1));
  // Flags 2 keep the default alignment: top-left corner at the point.
  EXPECT_EQ(w.shownAt.left, at.x);
  EXPECT_EQ(w.shownAt.top, at.y);

  // Called directly the handler also reports the message handled, result 0,
  // although the menu loop sent other messages through the map meanwhile.
  w.opened.clear();
  ::SetTimer(w.m_hWnd, kEndMenuTimer, 100, nullptr);
  LRESULT result = 123;
  EXPECT_TRUE(w.ProcessWindowMessage(w.m_hWnd, WM_CONTEXTMENU, 0, 0, result));
  EXPECT_EQ(result, 0);
  EXPECT_EQ(w.opened.size(), 1u);
}

TEST(KeepMenuXOnScreen, OffEveryMonitorXGoesToTheNearestWorkArea) {
  EXPECT_EQ(my::ClampXToWorkArea(-5, {0, 0, 100, 50}), 0);
  EXPECT_EQ(my::ClampXToWorkArea(0, {0, 0, 100, 50}), 0);
  EXPECT_EQ(my::ClampXToWorkArea(100, {0, 0, 100, 50}), 100);
  EXPECT_EQ(my::ClampXToWorkArea(101, {0, 0, 100, 50}), 100);
  EXPECT_EQ(my::ClampXToWorkArea(-1500, {-1280, 0, -10, 50}), -1280);

  const int left = ::GetSystemMetrics(SM_XVIRTUALSCREEN);
  const int right = left + ::GetSystemMetrics(SM_CXVIRTUALSCREEN);
  const int top = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
  const struct {
    POINT pt;
    bool offScreen;
  } cases[] = {
      {{left + 10, top + 10}, false},   {{right - 1, top + 10}, false},
      {{left - 500, top + 10}, true},   {{right + 500, top + 10}, true},
      {{left - 500, top - 7000}, true},  // y far off too: x still kept, y left alone
      {{right, top + 10}, true},         // the first column past the screen
  };
  for (const auto& c : cases) {
    const int x = my::KeepMenuXOnScreen(c.pt);
    if (!c.offScreen) {
      EXPECT_EQ(x, c.pt.x);
      continue;
    }
    RECT work{};
    ASSERT_TRUE(my::GetWorkArea(::MonitorFromPoint(c.pt, MONITOR_DEFAULTTONEAREST), work));
    EXPECT_EQ(x, c.pt.x < work.left ? work.left : work.right) << c.pt.x << "," << c.pt.y;
  }
}

}  // namespace
