#include <gtest/gtest.h>

#include <string>

#include "framework/message_loop.h"
#include "framework/single_timer.h"
#include "framework/update_ui.h"
#include "framework/window_impl.h"

namespace {

constexpr UINT kCmdA = 100, kCmdB = 101, kCmdC = 102;

class CMixinWindow
    : public fw::CWindowImpl<CMixinWindow, fw::CWindowHandle, fw::CWinTraits<WS_POPUP, 0>>,
      public fw::CUpdateUI<CMixinWindow>,
      public fw::CSingleTimerImpl<CMixinWindow, 100, 1> {
 public:
  static constexpr UINT kUpdateUIMap[] = {kCmdA, kCmdB, kCmdC};
  int timerTicks = 0;

  bool ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                            LRESULT& result) override {
    fw::CMessageMap map(m_bMsgHandled, result);
    if (msg == WM_TIMER && map.Handle([&] {
          ++timerTicks;
          return 0;
        }))
      return true;
    if (map.Chain<fw::CUpdateUI<CMixinWindow>>(*this, hwnd, msg, wParam, lParam)) return true;
    if (map.Chain<fw::CSingleTimerImpl<CMixinWindow, 100, 1>>(*this, hwnd, msg, wParam, lParam))
      return true;
    return false;
  }

 protected:
  FW_HANDLED_FLAG
};

struct MenuItem {
  UINT state, type;
  std::wstring text;
};

MenuItem ReadItem(HMENU menu, UINT id) {
  wchar_t text[64] = L"";
  MENUITEMINFOW mii{};
  mii.cbSize = sizeof mii;
  mii.fMask = MIIM_STATE | MIIM_FTYPE | MIIM_STRING;
  mii.dwTypeData = text;
  mii.cch = 64;
  EXPECT_TRUE(::GetMenuItemInfoW(menu, id, FALSE, &mii));
  return {mii.fState, mii.fType, text};
}

TEST(UpdateUI, OpeningAPopupShowsExactlyTheRadioItem) {
  CMixinWindow w;
  ASSERT_NE(w.Create(nullptr), nullptr);
  HMENU menu = ::CreatePopupMenu();
  ::AppendMenuW(menu, MF_STRING | MF_GRAYED, kCmdA, L"&Alpha");
  ::AppendMenuW(menu, MF_STRING | MF_CHECKED, kCmdB, L"&Beta");
  ::AppendMenuW(menu, MF_STRING, kCmdC, L"&Gamma");

  EXPECT_TRUE(w.UISetRadio(kCmdC, true));
  EXPECT_FALSE(w.UISetRadio(999, true));
  EXPECT_TRUE(w.UIItems()[2].dirty);
  w.SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
  EXPECT_FALSE(w.UIItems()[2].dirty);

  const MenuItem a = ReadItem(menu, kCmdA), b = ReadItem(menu, kCmdB), c = ReadItem(menu, kCmdC);
  EXPECT_EQ(a.state & (MFS_GRAYED | MFS_CHECKED), 0u);  // enabled, unmarked
  EXPECT_EQ(b.state & MFS_CHECKED, 0u);
  EXPECT_NE(c.state & MFS_CHECKED, 0u);
  EXPECT_NE(c.type & MFT_RADIOCHECK, 0u);
  EXPECT_EQ(c.text, L"&Gamma");  // the text survives the type change

  // Moving the mark moves the bullet.
  w.UISetRadio(kCmdC, false);
  w.UISetRadio(kCmdA, true);
  w.SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(menu), 0);
  EXPECT_NE(ReadItem(menu, kCmdA).state & MFS_CHECKED, 0u);
  EXPECT_EQ(ReadItem(menu, kCmdC).state & MFS_CHECKED, 0u);
  ::DestroyMenu(menu);
}

int CountQueuedTimers(HWND hwnd) {
  int n = 0;
  MSG msg;
  while (::PeekMessageW(&msg, hwnd, WM_TIMER, WM_TIMER, PM_REMOVE)) ++n;
  return n;
}

TEST(SingleTimer, StopFlushesQueuedTicksOnlyWhenATimerRuns) {
  CMixinWindow w;
  ASSERT_NE(w.Create(nullptr), nullptr);
  w.StartTimer(100000);
  EXPECT_EQ(w.m_nTimerId, 1u);
  EXPECT_EQ(w.m_nElapse, 100000u);
  for (int i = 0; i < 3; ++i) w.PostMessage(WM_TIMER, 1, 0);
  w.StopTimer(true);
  EXPECT_EQ(w.m_nTimerId, 0u);
  EXPECT_EQ(CountQueuedTimers(w), 0);

  // No timer: nothing is flushed.
  w.PostMessage(WM_TIMER, 1, 0);
  w.StopTimer(true);
  EXPECT_EQ(CountQueuedTimers(w), 1);
}

TEST(SingleTimer, TicksArriveAndDestroyStopsTheTimer) {
  CMixinWindow w;
  ASSERT_NE(w.Create(nullptr), nullptr);
  w.StartTimer(10);
  const DWORD start = ::GetTickCount();
  MSG msg;
  while (w.timerTicks < 2 && ::GetTickCount() - start < 5000) {
    if (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
  }
  EXPECT_GE(w.timerTicks, 2);
  w.DestroyWindow();
  EXPECT_EQ(w.m_nTimerId, 0u);
}

TEST(MessageLoop, ReturnsTheQuitCode) {
  fw::CMessageLoop loop;
  ::PostMessageW(nullptr, WM_APP, 0, 0);
  ::PostQuitMessage(5);
  EXPECT_EQ(loop.Run(), 5);
}

TEST(AppModule, OneLoopPerThread) {
  fw::CAppModule module;
  fw::CMessageLoop loop;
  EXPECT_TRUE(module.Init(::GetModuleHandleW(nullptr)));
  EXPECT_TRUE(module.AddMessageLoop(&loop));
  EXPECT_FALSE(module.AddMessageLoop(&loop));
  EXPECT_EQ(module.GetMessageLoop(), &loop);
  EXPECT_TRUE(module.RemoveMessageLoop());
  EXPECT_EQ(module.GetMessageLoop(), nullptr);
  module.Term();
}

}  // namespace
