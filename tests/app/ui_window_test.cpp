// The mirror window with its real view, menu and timer under Wine.
#include "app/ui_window.h"

#include <gtest/gtest.h>
#include <wtsapi32.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/layout.h"
#include "render/win_rect.h"
#include "settings/setting.h"
#include "support/monitor.h"
#include "tests/common/cursor.h"
#include "tests/common/raw_registry.h"

namespace vl {

void PrintTo(const Rect& r, std::ostream* os) {
  *os << "(" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << ")";
}

namespace {

const wchar_t kAppKey[] = L"Software\\Korvane\\Vellora32";
const std::wstring kSettingKey = std::wstring(kAppKey) + L"\\Setting";
const std::wstring kWindowKey = kSettingKey + L"\\Window";

// The placement as stored: Left, Top, Right, Bottom; nullopt where a value is missing.
std::optional<Rect> StoredRect() {
  std::int32_t v[4] = {};
  const wchar_t* names[] = {L"Left", L"Top", L"Right", L"Bottom"};
  for (int i = 0; i < 4; ++i) {
    const auto raw = test::ReadRaw(kWindowKey, names[i]);
    if (!raw || raw->type != REG_DWORD || raw->data.size() != 4) return std::nullopt;
    std::memcpy(&v[i], raw->data.data(), 4);
  }
  return Rect{v[0], v[1], v[2], v[3]};
}

Rect WindowRectOf(HWND hwnd) {
  RECT r{};
  ::GetWindowRect(hwnd, &r);
  return FromRECT(r);
}

bool KeyExists(const wchar_t* path) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  ::RegCloseKey(key);
  return true;
}

void PumpMessages(DWORD ms) {
  const DWORD start = ::GetTickCount();
  MSG msg;
  while (::GetTickCount() - start < ms) {
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_TIMER) continue;  // no refreshes behind the test's back
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    ::Sleep(10);
  }
}

// Each test starts from the defaults, with no stored placement and no key.
class UIWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_setting = CSetting{};
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kAppKey);
  }
  void TearDown() override {
    if (window.m_hWnd) window.DestroyWindow();
    // Drop the quit message the window posts when it goes.
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    g_setting = CSetting{};
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kAppKey);
  }

  void Create() {
    ASSERT_NE(window.Create(nullptr), nullptr);
    window.ShowWindow(SW_SHOWNOACTIVATE);
    ASSERT_NE(window.m_view.m_hWnd, nullptr);
  }

  // The view's rectangle once the window lies at `mirror`.
  Rect ViewAfterMoveTo(const Rect& mirror) {
    window.MoveWindow(ToRECT(mirror), true);
    return WindowRectOf(window.m_view);
  }

  CUIWindow window;
};

TEST_F(UIWindowTest, FirstRunTakesTheDefaultPlaceOnThePrimaryWorkArea) {
  g_setting.RefreshRate = 2997;
  for (int side : {Left, Top, Right, Bottom}) {
    g_setting.Direction = side;
    CUIWindow w;
    ASSERT_NE(w.Create(nullptr), nullptr);
    MONITORINFOEXW info{};
    ASSERT_TRUE(my::PrimaryMonitorInfo(info));
    EXPECT_EQ(WindowRectOf(w), DefaultPlacement(FromRECT(info.rcWork), side, 50)) << side;
    // The view is placed at once, band and all.
    EXPECT_EQ(WindowRectOf(w.m_view), ViewRectFor(WindowRectOf(w), side, 50)) << side;
    wchar_t title[32] = L"";
    ::GetWindowTextW(w, title, 32);
    EXPECT_STREQ(title, L"Vellora");
    EXPECT_EQ(w.m_nTimerId, 0u);  // nothing to see yet, nothing read
    w.ShowWindow(SW_SHOWNOACTIVATE);
    EXPECT_EQ(w.m_nTimerId, 1u);
    EXPECT_EQ(w.m_nElapse, 33u);  // 29.97 refreshes a second
  }
}

// Whoever starts the program decides how its window shows; the view shows
// exactly when the window does, so a hidden start leaves nothing on the screen,
// and the screen is read only then.
TEST_F(UIWindowTest, TheViewShowsOnlyWithTheWindow) {
  const struct {
    int show;
    bool view;
  } cases[] = {{SW_HIDE, false}, {SW_SHOWMINNOACTIVE, false}, {SW_SHOW, true}};
  for (const auto& c : cases) {
    CUIWindow w;
    ASSERT_NE(w.Create(nullptr), nullptr);
    EXPECT_FALSE(::IsWindowVisible(w.m_view)) << c.show;  // not before the window
    w.ShowWindow(c.show);
    PumpMessages(100);
    EXPECT_EQ(::IsWindowVisible(w.m_view) != FALSE, c.view) << c.show;
    EXPECT_EQ(w.m_nTimerId != 0, c.view) << c.show;
    w.m_nTickCount = 3;
    // Shown later (restored from the taskbar, or shown by the program that
    // started it hidden): the view lies on the window.
    w.ShowWindow(SW_SHOWNOACTIVATE);
    PumpMessages(100);
    EXPECT_TRUE(::IsWindowVisible(w.m_view)) << c.show;
    EXPECT_EQ(WindowRectOf(w.m_view), ViewRectFor(WindowRectOf(w), Left, 50)) << c.show;
    EXPECT_EQ(w.m_nTimerId, 1u) << c.show;
    // Shown again, the first refresh is whole; kept showing, the count goes on.
    EXPECT_EQ(w.m_nTickCount, c.view ? 3 : 0) << c.show;
    // Shown without being activated: it takes no input of its own.
    EXPECT_NE(::GetActiveWindow(), w.m_view.m_hWnd);
    w.ShowWindow(SW_HIDE);
    EXPECT_FALSE(::IsWindowVisible(w.m_view)) << c.show;
    EXPECT_EQ(w.m_nTimerId, 0u) << c.show;
  }
}

// While a dialog is open the window is disabled; a click on it must reach the
// default procedure, which beeps and flashes the dialog.
TEST_F(UIWindowTest, ACursorQueryOverTheDisabledWindowGoesOnToTheSystem) {
  Create();
  LRESULT result = 0;
  EXPECT_FALSE(
      window.ProcessWindowMessage(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window.m_hWnd),
                                  MAKELPARAM(static_cast<WORD>(HTERROR), WM_LBUTTONDOWN), result));
  EXPECT_TRUE(window.ProcessWindowMessage(window, WM_SETCURSOR,
                                          reinterpret_cast<WPARAM>(window.m_hWnd),
                                          MAKELPARAM(HTCLIENT, WM_MOUSEMOVE), result));
}

TEST_F(UIWindowTest, StoredPlacementIsRestoredShiftedOntoTheScreen) {
  g_setting.Window.Rectangle = {1800, 100, 2100, 400};  // sticks out on the right
  Create();
  EXPECT_EQ(WindowRectOf(window), (Rect{1620, 100, 1920, 400}));
}

TEST_F(UIWindowTest, HitTestCodesThroughTheRealWindow) {
  Create();
  window.MoveWindow(100, 100, 300, 200, true);
  const struct {
    int x, y, code;
  } cases[] = {{107, 200, 10}, {108, 200, 1},  {392, 200, 11}, {391, 200, 1},
               {100, 100, 13}, {399, 299, 17}, {250, 292, 15}, {250, 291, 1}};
  for (const auto& c : cases)
    EXPECT_EQ(window.SendMessage(WM_NCHITTEST, 0, MAKELPARAM(c.x, c.y)), c.code)
        << c.x << "," << c.y;
}

TEST_F(UIWindowTest, SizingCursorFollowsTheBorderUnderTheMouse) {
  Create();
  window.MoveWindow(100, 100, 300, 200, true);
  const struct {
    int x, y;
    LPCWSTR cursor;
  } cases[] = {{102, 200, IDC_SIZEWE},
               {397, 102, IDC_SIZENESW},
               {250, 102, IDC_SIZENS},
               {102, 102, IDC_SIZENWSE},
               {250, 200, IDC_ARROW}};
  for (const auto& c : cases) {
    // The handler reads the position of the last message taken from the queue.
    ASSERT_TRUE(test::MoveCursorTo(c.x, c.y));
    window.PostMessage(WM_APP);
    MSG msg;
    ASSERT_TRUE(::PeekMessageW(&msg, window, WM_APP, WM_APP, PM_REMOVE));
    ASSERT_EQ(fw::GetXParam(static_cast<LPARAM>(::GetMessagePos())), c.x);
    EXPECT_EQ(window.SendMessage(WM_SETCURSOR, reinterpret_cast<WPARAM>(window.m_hWnd),
                                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              TRUE);
    EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, c.cursor)) << c.x << "," << c.y;
  }
}

TEST_F(UIWindowTest, MinimumTrackingSizeBySide) {
  Create();
  const struct {
    int side;
    POINT min;
  } cases[] = {{Left, {100, 200}}, {Right, {100, 200}}, {Top, {200, 100}}, {Bottom, {200, 100}}};
  for (const auto& c : cases) {
    g_setting.Direction = c.side;
    MINMAXINFO info{};
    info.ptMaxTrackSize = {5000, 4000};
    EXPECT_EQ(window.SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&info)), 0);
    EXPECT_EQ(info.ptMinTrackSize.x, c.min.x) << c.side;
    EXPECT_EQ(info.ptMinTrackSize.y, c.min.y) << c.side;
    EXPECT_EQ(info.ptMaxTrackSize.x, 5000);  // left as the system gave it
  }
}

TEST_F(UIWindowTest, ViewFollowsMovesAndSizesWithItsBand) {
  Create();
  const Rect mirror{300, 200, 700, 500};
  for (int side : {Left, Top, Right, Bottom}) {
    g_setting.Direction = side;
    EXPECT_EQ(ViewAfterMoveTo(mirror), ViewRectFor(mirror, side, 50)) << side;
    const Rect moved{320, 230, 760, 540};
    EXPECT_EQ(ViewAfterMoveTo(moved), ViewRectFor(moved, side, 50)) << side;
  }
  g_setting.Direction = Left;
  g_setting.TransparentEdge = 0;
  EXPECT_EQ(ViewAfterMoveTo(mirror), mirror);

  // A mirror left on no monitor comes back onto one, its view with it.
  g_setting.TransparentEdge = 50;
  window.MoveWindow(-5000, -5000, 400, 300, true);
  window.SendMessage(WM_DISPLAYCHANGE, 32, MAKELPARAM(1920, 1080));
  MONITORINFOEXW info{};
  ASSERT_TRUE(my::PrimaryMonitorInfo(info));
  const Rect back{info.rcWork.left, info.rcWork.top, info.rcWork.left + 400, info.rcWork.top + 300};
  EXPECT_EQ(WindowRectOf(window), back);
  EXPECT_EQ(WindowRectOf(window.m_view), ViewRectFor(back, Left, 50));
}

// Whether each of `n` ticks refreshed only around the cursor: with the cursor
// far from what the view reflects, such a tick changes nothing on the view.
std::vector<bool> TickKinds(CUIWindow& w, int n) {
  std::vector<bool> kinds;
  for (int i = 0; i < n; ++i) kinds.push_back(IsRectEmpty(w.OnTimer()));
  return kinds;
}

TEST_F(UIWindowTest, TickSequenceForEachEntireRefreshRate) {
  Create();
  ASSERT_TRUE(test::MoveCursorTo(1919, 1079));
  window.m_view.Refresh(false);
  const struct {
    int rate;
    std::vector<bool> kinds;
  } cases[] = {
      {10, {false, true, true, true, true, true, true, true, true, true, false, true}},
      {1, {false, false, false}},
      {0, {true, true, true}},
  };
  for (const auto& c : cases) {
    g_setting.EntireRefreshRate = c.rate;
    window.m_nTickCount = 0;
    EXPECT_EQ(TickKinds(window, static_cast<int>(c.kinds.size())), c.kinds) << c.rate;
  }
}

TEST_F(UIWindowTest, ChangeOfSideRestartsTheTickCount) {
  Create();
  ASSERT_TRUE(test::MoveCursorTo(1919, 1079));
  window.m_view.Refresh(false);
  TickKinds(window, 3);
  EXPECT_EQ(window.m_nTickCount, 3);
  window.SendMessage(WM_COMMAND, kCmdTop);
  EXPECT_EQ(window.m_nTickCount, 0);
  // The next whole refresh comes a full round after the change, not three
  // ticks early.
  EXPECT_EQ(TickKinds(window, 11), (std::vector<bool>{false, true, true, true, true, true, true,
                                                      true, true, true, false}));
}

TEST_F(UIWindowTest, ChoosingTheCurrentSideDoesNothing) {
  Create();
  window.m_nTickCount = 4;
  window.SendMessage(WM_COMMAND, kCmdLeft);
  EXPECT_EQ(window.m_nTickCount, 4);
  EXPECT_FALSE(KeyExists(L"Software\\Korvane\\Vellora32\\Setting"));
}

TEST_F(UIWindowTest, ChoosingTopKeepsTheViewAndMovesTheCut) {
  Create();
  window.MoveWindow(400, 300, 120, 300, true);  // narrower than Top's minimum
  const Rect view = WindowRectOf(window.m_view);
  const Rect before = WindowRectOf(window);

  window.SendMessage(WM_COMMAND, kCmdTop);

  EXPECT_EQ(g_setting.Direction, Top);
  EXPECT_EQ(WindowRectOf(window.m_view), view);
  const Rect after = WindowRectOf(window);
  EXPECT_EQ(after.left, before.left - 50);
  EXPECT_EQ(after.top, before.top + 50);
  EXPECT_EQ(after.right, before.right);
  EXPECT_EQ(after.bottom, before.bottom);
  // Saved with the placement loaded at start (none here), not the window's
  // place; timer restarted.
  EXPECT_EQ(test::ReadRaw(kSettingKey, L"Direction"), test::Dword(Top));
  EXPECT_EQ(StoredRect(), (Rect{}));
  EXPECT_EQ(window.m_nTimerId, 1u);

  // The menu shows the bullet on "&Top" and nowhere else.
  HMENU popup = ::GetSubMenu(window.menu.Get(), 0);
  ASSERT_NE(popup, nullptr);
  window.SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
  for (UINT id : {kCmdLeft, kCmdRight, kCmdTop, kCmdBottom, kCmdExit}) {
    MENUITEMINFOW mii{};
    mii.cbSize = sizeof mii;
    mii.fMask = MIIM_STATE | MIIM_FTYPE;
    ASSERT_TRUE(::GetMenuItemInfoW(popup, id, FALSE, &mii));
    EXPECT_EQ((mii.fState & MFS_CHECKED) != 0, id == kCmdTop) << id;
    EXPECT_EQ((mii.fType & MFT_RADIOCHECK) != 0, id == kCmdTop) << id;  // a bullet, not a tick
    EXPECT_EQ(mii.fState & (MFS_GRAYED | MFS_DEFAULT), 0u) << id;
  }
  wchar_t text[32] = L"";
  ::GetMenuStringW(popup, kCmdTop, text, 32, MF_BYCOMMAND);
  EXPECT_STREQ(text, L"&Top");
}

TEST_F(UIWindowTest, WiderBandKeepsTheMirrorAtItsMinimumAndGrowsTheView) {
  g_setting.TransparentEdge = 0;
  Create();
  window.MoveWindow(400, 300, 100, 300, true);  // the smallest width
  g_setting.TransparentEdge = 100;
  window.ApplySettings();
  EXPECT_EQ(WindowRectOf(window), (Rect{400, 300, 500, 600}));
  EXPECT_EQ(WindowRectOf(window.m_view), (Rect{300, 300, 500, 600}));
}

TEST_F(UIWindowTest, DoubleClickMinimisesAndRestoreBringsTheViewBack) {
  Create();
  window.MoveWindow(400, 300, 400, 300, true);
  const Rect view = WindowRectOf(window.m_view);
  window.SendMessage(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(200, 150));
  EXPECT_TRUE(::IsIconic(window));
  EXPECT_FALSE(::IsWindowVisible(window.m_view));
  EXPECT_EQ(window.m_nTimerId, 0u);  // minimised, nothing reads the screen
  // As the taskbar does it: the system command shows the owned view again.
  window.SendMessage(WM_SYSCOMMAND, SC_RESTORE, 0);
  PumpMessages(300);
  EXPECT_FALSE(::IsIconic(window));
  EXPECT_TRUE(::IsWindowVisible(window.m_view));
  EXPECT_EQ(WindowRectOf(window.m_view), view);
  EXPECT_EQ(window.m_nTimerId, 1u);
}

// Whatever hides the mirror (minimised, hidden, a locked or disconnected
// session, another virtual desktop), in whatever order: the timer runs only
// while nothing does, and the first refresh after is whole.
TEST_F(UIWindowTest, TheTimerRunsOnlyWhileNothingHidesTheMirror) {
  // Steps of an event and whether the timer runs after it (1) or not (0): m/r
  // minimise and restore, h/s hide and show, c/u cloak and uncloak (raised as
  // Windows does on a change of virtual desktop), and the session changes by
  // their WTS_ code's place in `sessions`: C/D console connect and disconnect,
  // R/d remote ones, L/U lock and unlock, X remote control.
  const char* sequences[] = {"L0 U1 D0 C1 d0 L0 R0 X0 U1", "m0 L0 r0 U1", "c0 u1 c0 L0 u0 U1",
                             "h0 c0 s0 u1", "c0 m0 u0 r1 X1"};
  const std::string sessions = "CDRd--LUX";
  Create();
  for (const std::string sequence : sequences) {
    for (size_t i = 0; i < sequence.size(); i += 3) {
      const std::string step = sequence.substr(i, 2);
      const bool ran = window.m_nTimerId != 0, runs = step[1] == '1';
      window.OnTimer();
      const auto ticks = window.m_nTickCount;
      switch (step[0]) {
        case 'm':
        case 'r':
          window.SendMessage(WM_SYSCOMMAND, step[0] == 'm' ? SC_MINIMIZE : SC_RESTORE);
          break;
        case 'h':
        case 's': window.ShowWindow(step[0] == 'h' ? SW_HIDE : SW_SHOWNOACTIVATE); break;
        case 'c':
        case 'u':
          ::NotifyWinEvent(step[0] == 'c' ? EVENT_OBJECT_CLOAKED : EVENT_OBJECT_UNCLOAKED, window,
                           OBJID_WINDOW, CHILDID_SELF);
          break;
        default: window.SendMessage(WM_WTSSESSION_CHANGE, sessions.find(step[0]) + 1);
      }
      PumpMessages(60);
      EXPECT_EQ(window.m_nTimerId != 0, runs) << sequence << ": " << step;
      EXPECT_EQ(window.m_visibility.Seen(), runs) << sequence << ": " << step;
      // Whole after a pause; a running count goes on.
      if (runs) {
        EXPECT_EQ(window.m_nTickCount, ran ? ticks : 0) << sequence << ": " << step;
      }
    }
  }
  EXPECT_TRUE(::IsWindowVisible(window.m_view));  // back with the window
}

// DLLs loaded at run time may lack a function, and the session service may
// not be ready at sign-in: each turns only its own feature off, for a time or
// for good.
TEST_F(UIWindowTest, MissingSystemFunctionsTurnTheirFeaturesOff) {
  static bool cloaked;
  static int registrations, failures;
  my::SystemFunctions fake;
  fake.GetWindowAttribute = [](HWND, DWORD attribute, PVOID out, DWORD size) -> HRESULT {
    if (attribute != DWMWA_CLOAKED || size != sizeof(DWORD)) return E_INVALIDARG;
    *static_cast<DWORD*>(out) = cloaked ? 2 /* DWM_CLOAKED_SHELL */ : 0;
    return S_OK;
  };
  fake.RegisterSessionNotification = [](HWND, DWORD) -> BOOL {
    ++registrations;
    if (registrations > failures) return TRUE;
    ::SetLastError(RPC_S_INVALID_BINDING);
    return FALSE;
  };
  const my::SystemFunctions none;
  const struct {
    const my::SystemFunctions* functions;
    int failures;
    bool watched;  // in the end
  } cases[] = {{&none, 0, false}, {&fake, 2, true}, {&fake, 1000, false}};
  for (const auto& c : cases) {
    cloaked = false;
    registrations = 0;
    failures = c.failures;
    CUIWindow w;
    w.m_system = c.functions;
    ASSERT_NE(w.Create(nullptr), nullptr);
    w.ShowWindow(SW_SHOWNOACTIVATE);
    // Tried again a second apart at most, and for a bounded time.
    const std::int64_t first = w.m_nSessionTryAt;
    for (std::int64_t t = first; t < first + 200'000'000; t += 400'000) w.WatchSession(t);
    EXPECT_EQ(w.m_bSessionWatched, c.watched) << c.failures;
    EXPECT_EQ(registrations,
              c.functions == &none ? 0 : std::min(c.failures + 1, kSessionWatchTries))
        << c.failures;

    // Where no event tells of cloaking, a due refresh asks; while cloaked the
    // timer wakes once a second to ask again, and the first refresh after is whole.
    w.m_cloakHook.reset();
    cloaked = true;
    PumpMessages(150);  // the refresh is due
    w.SendMessage(WM_TIMER, kRefreshTimerId);
    const bool canAsk = c.functions != &none;
    EXPECT_EQ(w.m_timerMode, canAsk ? TimerMode::kPollCloak : TimerMode::kRefreshing) << c.failures;
    if (canAsk) {
      EXPECT_EQ(w.m_nElapse, kCloakPollMs) << c.failures;
    }
    w.OnTimer();
    cloaked = false;
    w.SendMessage(WM_TIMER, kRefreshTimerId);
    EXPECT_EQ(w.m_timerMode, TimerMode::kRefreshing) << c.failures;
    EXPECT_EQ(w.m_nTickCount == 0, canAsk) << c.failures;  // whole first after the cloak
    w.DestroyWindow();
  }
}

TEST_F(UIWindowTest, DestroyCapturesThePlacementAndQuits) {
  Create();
  window.MoveWindow(200, 150, 400, 300, true);
  window.DestroyWindow();
  EXPECT_EQ(g_setting.Window.Rectangle, (Rect{200, 150, 600, 450}));
  EXPECT_EQ(window.m_nTimerId, 0u);
  MSG msg;
  ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 0u);
}

// Logoff and shutdown end the process without WM_DESTROY.
TEST_F(UIWindowTest, SessionEndKeepsThePlaceAndTheSettings) {
  Create();
  window.MoveWindow(200, 150, 400, 300, true);
  g_setting.Edge = 9;
  window.SendMessage(WM_ENDSESSION, FALSE, 0);  // the session goes on
  EXPECT_FALSE(KeyExists(kSettingKey.c_str()));
  window.SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);  // the place is the normal one still
  window.SendMessage(WM_ENDSESSION, TRUE, 0);
  EXPECT_EQ(StoredRect(), (Rect{200, 150, 600, 450}));
  EXPECT_EQ(test::ReadRaw(kSettingKey, L"Edge"), test::Dword(9));
  PumpMessages(50);
  EXPECT_TRUE(::IsWindow(window));  // a logoff: the process ends with the session
  // The Restart Manager closes one program and the session goes on.
  const HWND hwnd = window;
  window.SendMessage(WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP);
  PumpMessages(50);
  EXPECT_FALSE(::IsWindow(hwnd));
}

// Windows drops the system's sizing command for a window with a system menu
// and no sizing frame; Wine 8 carries it out. This puts the refusal back for
// the test's thread.
HWND g_refusedFor = nullptr;
LRESULT CALLBACK RefuseSizingWithoutFrame(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HCBT_SYSCOMMAND && (wParam & 0xFFF0) == SC_SIZE && g_refusedFor &&
      !(::GetWindowLongW(g_refusedFor, GWL_STYLE) & WS_THICKFRAME))
    return 1;
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(UIWindowTest, BordersSizeTheWindowWhereTheSystemRefusesToSizeIt) {
  Create();
  g_refusedFor = window;
  HHOOK hook =
      ::SetWindowsHookExW(WH_CBT, RefuseSizingWithoutFrame, nullptr, ::GetCurrentThreadId());
  ASSERT_NE(hook, nullptr);
  const Rect start{400, 300, 800, 600};
  // The mouse at a screen point, in the window's client coordinates of the
  // moment, as the system delivers it to the window that has the capture.
  const auto mouse = [&](UINT msg, int x, int y) {
    POINT p{x, y};
    ::ScreenToClient(window, &p);
    window.SendMessage(msg, msg == WM_MOUSEMOVE ? MK_LBUTTON : 0, MAKELPARAM(p.x, p.y));
  };
  const struct {
    POINT press, to;
    Rect expected;
  } cases[] = {
      {{403, 450}, {353, 470}, {350, 300, 800, 600}},   // left border, 3 px in
      {{797, 597}, {737, 637}, {400, 300, 740, 640}},   // bottom-right corner
      {{402, 302}, {1000, 900}, {700, 400, 800, 600}},  // top-left, stops at 100 x 200
      {{600, 305}, {600, 1000}, {400, 400, 800, 600}},  // top, stops at 200 high
  };
  for (const auto& c : cases) {
    window.MoveWindow(ToRECT(start), true);
    window.SendMessage(WM_NCLBUTTONDOWN, HTCLIENT, MAKELPARAM(c.press.x, c.press.y));
    EXPECT_EQ(::GetCapture(), window.m_hWnd);
    mouse(WM_MOUSEMOVE, (c.press.x + c.to.x) / 2, (c.press.y + c.to.y) / 2);
    mouse(WM_MOUSEMOVE, c.to.x, c.to.y);
    EXPECT_EQ(WindowRectOf(window), c.expected) << c.press.x << "," << c.press.y;
    EXPECT_EQ(WindowRectOf(window.m_view), ViewRectFor(c.expected, Left, 50));
    mouse(WM_LBUTTONUP, c.to.x, c.to.y);
    EXPECT_EQ(::GetCapture(), nullptr);
    mouse(WM_MOUSEMOVE, c.press.x, c.press.y);  // released: stays
    EXPECT_EQ(WindowRectOf(window), c.expected);
  }

  // Escape puts back the rectangle of the press; the cursor keeps the border's
  // shape while sizing.
  window.MoveWindow(ToRECT(start), true);
  window.SendMessage(WM_NCLBUTTONDOWN, HTCLIENT, MAKELPARAM(797, 450));
  mouse(WM_MOUSEMOVE, 900, 100);
  EXPECT_EQ(WindowRectOf(window), (Rect{400, 300, 903, 600}));
  EXPECT_EQ(::GetCursor(), ::LoadCursorW(nullptr, IDC_SIZEWE));
  window.SendMessage(WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(WindowRectOf(window), start);
  EXPECT_EQ(::GetCapture(), nullptr);
  // A capture lost to another window ends the sizing where it is.
  window.SendMessage(WM_NCLBUTTONDOWN, HTCLIENT, MAKELPARAM(600, 597));
  mouse(WM_MOUSEMOVE, 600, 620);
  ::SetCapture(window.m_view);
  ::ReleaseCapture();
  mouse(WM_MOUSEMOVE, 600, 700);
  EXPECT_EQ(WindowRectOf(window), (Rect{400, 300, 800, 623}));
  ::UnhookWindowsHookEx(hook);
  g_refusedFor = nullptr;
}

TEST_F(UIWindowTest, DraggingByTheInsideFollowsTheCursor) {
  Create();
  window.MoveWindow(400, 300, 400, 300, true);
  window.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));  // screen (500, 400)
  EXPECT_EQ(::GetCapture(), window.m_hWnd);
  // Client coordinates are relative to where the window is now.
  window.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(130, 80));  // screen (530, 380)
  EXPECT_EQ(WindowRectOf(window), (Rect{430, 280, 830, 580}));
  EXPECT_EQ(WindowRectOf(window.m_view), (Rect{380, 280, 830, 580}));
  window.SendMessage(WM_LBUTTONUP, 0, MAKELPARAM(130, 80));
  EXPECT_EQ(::GetCapture(), nullptr);
  window.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(0, 0));  // no capture: stays
  EXPECT_EQ(WindowRectOf(window), (Rect{430, 280, 830, 580}));

  // Escape puts the window back where the press found it, as the system's
  // own move does.
  window.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
  window.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(150, 150));
  window.SendMessage(WM_KEYDOWN, VK_ESCAPE, 0);
  EXPECT_EQ(WindowRectOf(window), (Rect{430, 280, 830, 580}));
  EXPECT_EQ(::GetCapture(), nullptr);
  // A move that finds the button up (its release went elsewhere) ends the
  // drag where it is.
  window.SendMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(100, 100));
  window.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(110, 100));
  window.SendMessage(WM_MOUSEMOVE, 0, MAKELPARAM(300, 100));
  EXPECT_EQ(::GetCapture(), nullptr);
  window.SendMessage(WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(200, 100));
  EXPECT_EQ(WindowRectOf(window), (Rect{440, 280, 840, 580}));
}

// What the shell shows of the program: its icon at the window's scale, and
// the window's own surface, which carries the picture that lies over it.
TEST_F(UIWindowTest, TheWindowCarriesTheProgramsIconAndThePicture) {
  Create();
  const UINT dpi = ::GetDpiForWindow(window);
  for (const auto& [which, metric] :
       {std::pair<WPARAM, int>{ICON_BIG, SM_CXICON}, {ICON_SMALL, SM_CXSMICON}}) {
    const auto icon = reinterpret_cast<HICON>(window.SendMessage(WM_GETICON, which));
    ASSERT_NE(icon, nullptr) << which;
    ICONINFOEXW info{};
    info.cbSize = sizeof info;
    ASSERT_TRUE(::GetIconInfoExW(icon, &info));
    BITMAP bm{};
    ::GetObjectW(info.hbmColor, sizeof bm, &bm);
    ::DeleteObject(info.hbmColor);
    ::DeleteObject(info.hbmMask);
    EXPECT_EQ(info.wResID, kIconId) << which;  // the program's own icon
    EXPECT_EQ(bm.bmWidth, ::GetSystemMetricsForDpi(metric, dpi)) << which;
  }

  // After a refresh the window's own paint equals the view's buffer over it.
  window.MoveWindow(400, 300, 400, 300, true);
  PumpMessages(100);
  // A change of scale keeps the rectangle (sizes are physical) and loads the icons again.
  const LRESULT icon = window.SendMessage(WM_GETICON, ICON_BIG);
  RECT suggested{600, 450, 1200, 900};
  window.SendMessage(WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
  EXPECT_EQ(WindowRectOf(window), (Rect{400, 300, 800, 600}));
  EXPECT_NE(window.SendMessage(WM_GETICON, ICON_BIG), icon);
  window.m_view.Refresh(false);
  const auto screen = gdi::CWindowDC::Client(nullptr);
  gdi::CMemDC painted(::CreateCompatibleDC(screen.Get()));
  const gdi::CBitmap bitmap(::CreateCompatibleBitmap(screen.Get(), 400, 300));
  const gdi::CSelectObject select(painted.Get(), bitmap.Get());
  const RECT all{0, 0, 400, 300};
  const gdi::CBrush magenta(::CreateSolidBrush(RGB(255, 0, 255)));
  ::FillRect(painted.Get(), &all, magenta.Get());
  window.SendMessage(WM_PRINTCLIENT, reinterpret_cast<WPARAM>(painted.Get()), PRF_CLIENT);
  const HDC buffer = window.m_view.m_buffer.GetTiles().front()->GetDC();
  int wrong = 0;
  for (int y = 0; y < 300; y += 3)
    for (int x = 0; x < 400; x += 3)
      wrong += ::GetPixel(painted.Get(), x, y) != ::GetPixel(buffer, x + 50, y);
  EXPECT_EQ(wrong, 0);

  // Whole refreshes 33 ms apart: the window's own surface gets a copy ten
  // times a second at most, whatever the rate (at 0, 132, 264 and 396 ms).
  g_setting.EntireRefreshRate = 1;
  int copies = 0;
  const std::int64_t start = window.m_nOwnCopyDue;
  for (int i = 0; i < 15; ++i) {
    const std::int64_t due = window.m_nOwnCopyDue;
    window.KeepOwnSurface(window.OnTimer(), start + i * 33'000);
    copies += window.m_nOwnCopyDue != due;
  }
  EXPECT_EQ(copies, 4);
}

}  // namespace
}  // namespace vl

namespace vl {
namespace {

// True when `upper` comes before `lower` in the z-order.
bool IsAbove(HWND upper, HWND lower) {
  for (HWND h = ::GetWindow(upper, GW_HWNDNEXT); h; h = ::GetWindow(h, GW_HWNDNEXT))
    if (h == lower) return true;
  return false;
}

TEST_F(UIWindowTest, ViewStaysAboveTheMirrorWindow) {
  Create();
  PumpMessages(200);
  EXPECT_TRUE(IsAbove(window.m_view, window));
  // Activating the mirror window (a click on it) keeps the view on top.
  ::SetForegroundWindow(window);
  ::SetActiveWindow(window);
  window.MoveWindow(300, 300, 400, 300, true);
  PumpMessages(200);
  EXPECT_TRUE(IsAbove(window.m_view, window));
}

}  // namespace
}  // namespace vl
