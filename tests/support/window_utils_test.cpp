#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "res/resource.h"
#include "support/error.h"
#include "support/monitor.h"
#include "support/window_utils.h"
#include "tests/support/test_resource.h"
#include "tests/support/test_window.h"

namespace {

using test::CTestWindow;

RECT WindowRect(HWND hwnd) {
  RECT r{};
  ::GetWindowRect(hwnd, &r);
  return r;
}

// Top-left corner of a child window in its parent's client coordinates.
POINT ChildPos(HWND child) {
  RECT r = WindowRect(child);
  ::MapWindowPoints(nullptr, ::GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top};
}

RECT WorkAreaOf(HWND hwnd) {
  RECT work{};
  EXPECT_TRUE(my::GetWorkArea(::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), work));
  return work;
}

TEST(PrimaryMonitorInfo, FindsThePrimaryMonitor) {
  MONITORINFOEXW info{};
  ASSERT_TRUE(my::PrimaryMonitorInfo(info));
  EXPECT_EQ(info.cbSize, 104u);
  EXPECT_NE(info.dwFlags & MONITORINFOF_PRIMARY, 0u);
  // The primary monitor has the origin as its top-left corner.
  EXPECT_EQ(info.rcMonitor.left, 0);
  EXPECT_EQ(info.rcMonitor.top, 0);
  EXPECT_EQ(info.rcMonitor.right, ::GetSystemMetrics(SM_CXSCREEN));
  EXPECT_EQ(info.rcMonitor.bottom, ::GetSystemMetrics(SM_CYSCREEN));
  RECT inside{};
  EXPECT_TRUE(::IntersectRect(&inside, &info.rcWork, &info.rcMonitor));
  EXPECT_TRUE(::EqualRect(&inside, &info.rcWork));
  EXPECT_NE(info.szDevice[0], L'\0');
}

TEST(CalcCenteredPos, CentresThenKeepsRightBottomThenLeftTopInside) {
  const RECT area{0, 0, 1000, 800};
  const struct {
    RECT centre;
    int w, h;
    POINT expected;
  } cases[] = {
      {{100, 100, 300, 200}, 50, 20, {175, 140}},
      {{100, 100, 301, 201}, 51, 21, {175, 140}},     // halves truncate
      {{900, 700, 1100, 900}, 300, 300, {700, 500}},  // pulled in at right and bottom
      {{-200, -100, 0, 0}, 100, 100, {0, 0}},         // pushed in at left and top
      {{0, 0, 1000, 800}, 1200, 900, {0, 0}},         // larger: on the left and top edges
      {{900, 700, 1000, 800}, 1200, 100, {0, 700}},   // wider, right test first, then left
  };
  for (const auto& c : cases) {
    const POINT p = my::CalcCenteredPos(c.centre, area, c.w, c.h);
    EXPECT_EQ(p.x, c.expected.x) << c.centre.left << "," << c.centre.top << " " << c.w;
    EXPECT_EQ(p.y, c.expected.y) << c.centre.left << "," << c.centre.top << " " << c.h;
  }
  // Division truncates toward zero, also left of the origin: (-3 + 0) / 2 is -1.
  const POINT negative = my::CalcCenteredPos({-3, -5, 0, 0}, {-100, -100, 100, 100}, 1, 1);
  EXPECT_EQ(negative.x, -1);
  EXPECT_EQ(negative.y, -2);
}

TEST(CWindowW, GetTextReadsAndTrims) {
  CTestWindow window(WS_POPUP, {0, 0, 10, 10});
  const CWindowW w(window.get());
  const struct {
    const wchar_t* text;
    const wchar_t* trimmed;
  } cases[] = {
      {L"", L""},
      {L"Vellora", L"Vellora"},
      {L" \t Mirror side \r\n", L"Mirror side"},
      {L"\r\n", L""},
      {L"\x93e1 \x30df\x30e9\x30fc", L"\x93e1 \x30df\x30e9\x30fc"},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(::SetWindowTextW(window.get(), c.text));
    std::wstring out = L"stale";
    EXPECT_TRUE(w.GetText(out, false));
    EXPECT_EQ(out, c.text);
    EXPECT_TRUE(w.GetText(out, true));
    EXPECT_EQ(out, c.trimmed);
  }
  // A window that is gone reads as empty.
  std::wstring out = L"stale";
  EXPECT_TRUE(CWindowW(nullptr).GetText(out, false));
  EXPECT_TRUE(out.empty());
}

TEST(CWindowW, SetTextOnlyIfChangedLeavesAnEqualTextAlone) {
  const struct {
    const wchar_t* current;
    const wchar_t* next;
    bool onlyIfChanged;
    LONG_PTR sets;
  } cases[] = {
      {L"abc", L"abc", true, 0},  {L"", L"", true, 0},        {L"abc", L"abd", true, 1},
      {L"abc", L"ab", true, 1},    // a prefix is not equal
      {L"abc", L"abc ", true, 1},  // nor is a longer text
      {L"", L"x", true, 1},       {L"abc", L"abc", false, 1}, {L"", L"", false, 1},
  };
  for (const auto& c : cases) {
    CTestWindow window(WS_POPUP, {0, 0, 10, 10});
    ::SetWindowTextW(window.get(), c.current);
    const LONG_PTR before = window.SetTextCount();
    EXPECT_TRUE(CWindowW(window.get()).SetText(c.next, c.onlyIfChanged));
    EXPECT_EQ(window.SetTextCount() - before, c.sets) << c.current << " -> " << c.next;
    std::wstring now;
    CWindowW(window.get()).GetText(now, false);
    EXPECT_EQ(now, c.next);
  }
}

TEST(CWindowW, SetTextFromResourceLoadsOrRaises) {
  CTestWindow window(WS_POPUP, {0, 0, 10, 10});
  const CWindowW w(window.get());
  std::wstring expected;
  ASSERT_TRUE(my::LoadResourceString(expected, IDS_TEST_TITLE, true));

  EXPECT_TRUE(w.SetTextFromResource(IDS_TEST_TITLE, false));
  std::wstring now;
  w.GetText(now, false);
  EXPECT_EQ(now, expected);  // set as stored, blanks and all
  const LONG_PTR sets = window.SetTextCount();
  EXPECT_TRUE(w.SetTextFromResource(IDS_TEST_TITLE, true));
  EXPECT_EQ(window.SetTextCount(), sets);

  try {
    w.SetTextFromResource(IDS_TEST_NO_BLOCK, false);
    ADD_FAILURE() << "no exception";
  } catch (const my::CException& e) {
    EXPECT_EQ(e.no, IDS_ERR_LOAD_STRING);
  }
  w.GetText(now, false);
  EXPECT_EQ(now, expected);
  EXPECT_EQ(window.SetTextCount(), sets);
}

// Visible windows are slow to appear and go under Wine on a bare X server, so
// the centring tests share three: an owner that each test places, a framed
// parent (also a centring target) and a minimised owner.
class CenterWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_owner.emplace(WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
    s_parent.emplace(WS_OVERLAPPEDWINDOW | WS_VISIBLE, RECT{50, 50, 650, 550});
    s_minimised.emplace(WS_OVERLAPPEDWINDOW | WS_VISIBLE, RECT{10, 10, 210, 110});
    ::ShowWindow(s_minimised->get(), SW_MINIMIZE);
  }
  static void TearDownTestSuite() {
    s_owner.reset();
    s_parent.reset();
    s_minimised.reset();
  }
  void SetUp() override { m_wa = WorkAreaOf(s_owner->get()); }

  static HWND Owner(const RECT& r) {
    ::SetWindowPos(s_owner->get(), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
    return s_owner->get();
  }
  // A hidden popup of w x h owned by `owner`, centred; its new rectangle.
  static RECT Centre(HWND owner, int w, int h, HWND centreOn = nullptr) {
    CTestWindow dialog(WS_POPUP, {0, 0, w, h}, owner);
    EXPECT_EQ(::GetWindow(dialog.get(), GW_OWNER), owner);
    EXPECT_TRUE(CWindowW(dialog.get()).CenterWindow(centreOn));
    return WindowRect(dialog.get());
  }

  static inline std::optional<CTestWindow> s_owner, s_parent, s_minimised;
  RECT m_wa{};
};

TEST_F(CenterWindow, OverAVisibleOwnerKeptInsideTheWorkArea) {
  const RECT& wa = m_wa;
  const int waW = wa.right - wa.left, waH = wa.bottom - wa.top;
  const int cx = (wa.left + wa.right) / 2, cy = (wa.top + wa.bottom) / 2;
  const struct {
    RECT owner;
    int w, h;
    POINT expected;
  } cases[] = {
      {{cx - 300, cy - 200, cx + 300, cy + 200}, 200, 100, {cx - 100, cy - 50}},
      {{cx - 301, cy - 201, cx + 300, cy + 200}, 201, 101, {cx - 101, cy - 51}},
      // Owner over the bottom-right corner: the dialog ends on that corner.
      {{wa.right - 100, wa.bottom - 100, wa.right + 300, wa.bottom + 300},
       200,
       100,
       {wa.right - 200, wa.bottom - 100}},
      // Owner over the top-left corner: the dialog starts on it.
      {{wa.left - 300, wa.top - 300, wa.left + 100, wa.top + 100}, 200, 100, {wa.left, wa.top}},
      // Wider and taller than the work area: the left and top edges win.
      {{wa.left + 100, wa.top + 100, wa.left + 300, wa.top + 300},
       waW + 300,
       waH + 200,
       {wa.left, wa.top}},
      // Only wider: left edge on the work area's, centred vertically on the owner.
      {{wa.left + 100, wa.top + 100, wa.left + 301, wa.top + 301},
       waW + 1,
       50,
       {wa.left, wa.top + 175}},
  };
  for (const auto& c : cases) {
    const RECT r = Centre(Owner(c.owner), c.w, c.h);
    EXPECT_EQ(r.left, c.expected.x) << c.owner.left << "," << c.owner.top << " " << c.w;
    EXPECT_EQ(r.top, c.expected.y) << c.owner.left << "," << c.owner.top << " " << c.h;
    EXPECT_EQ(r.right - r.left, c.w);  // never resized
    EXPECT_EQ(r.bottom - r.top, c.h);
  }
}

TEST_F(CenterWindow, InTheWorkAreaWhenTheOwnerIsNotShown) {
  const RECT& wa = m_wa;
  ASSERT_TRUE(::IsIconic(s_minimised->get()));
  CTestWindow hidden(WS_POPUP, {wa.left + 10, wa.top + 10, wa.left + 210, wa.top + 110});
  for (HWND owner : {s_minimised->get(), hidden.get(), HWND{}}) {
    const RECT r = Centre(owner, 120, 60);
    EXPECT_EQ(r.left, (wa.left + wa.right) / 2 - 60) << owner;
    EXPECT_EQ(r.top, (wa.top + wa.bottom) / 2 - 30) << owner;
  }
}

TEST_F(CenterWindow, OnAGivenWindowRatherThanTheOwner) {
  const HWND owner = Owner({m_wa.left + 10, m_wa.top + 10, m_wa.left + 110, m_wa.top + 110});
  const RECT target = WindowRect(s_parent->get());
  const RECT r = Centre(owner, 100, 50, s_parent->get());
  EXPECT_EQ(r.left, (target.left + target.right) / 2 - 50);
  EXPECT_EQ(r.top, (target.top + target.bottom) / 2 - 25);
}

TEST_F(CenterWindow, ChildInItsParentsClientArea) {
  // The parent is framed, so its client area differs from its window rectangle.
  const HWND parent = s_parent->get();
  RECT client{};
  ::GetClientRect(parent, &client);
  ASSERT_GT(client.right, 300);
  ASSERT_GT(client.bottom, 200);

  CTestWindow child(WS_CHILD | WS_VISIBLE, {7, 9, 107, 69}, parent);
  EXPECT_TRUE(CWindowW(child.get()).CenterWindow());
  POINT p = ChildPos(child.get());
  EXPECT_EQ(p.x, client.right / 2 - 50);
  EXPECT_EQ(p.y, client.bottom / 2 - 30);

  // On a sibling, through its client rectangle in the parent's coordinates.
  CTestWindow sibling(WS_CHILD | WS_VISIBLE | WS_BORDER, {20, 30, 220, 130}, parent);
  RECT siblingClient{};
  ::GetClientRect(sibling.get(), &siblingClient);
  ::MapWindowPoints(sibling.get(), parent, reinterpret_cast<POINT*>(&siblingClient), 2);
  ASSERT_NE(siblingClient.left, 20);  // the border moved the client area in
  EXPECT_TRUE(CWindowW(child.get()).CenterWindow(sibling.get()));
  p = ChildPos(child.get());
  EXPECT_EQ(p.x, (siblingClient.left + siblingClient.right) / 2 - 50);
  EXPECT_EQ(p.y, (siblingClient.top + siblingClient.bottom) / 2 - 30);

  // A sibling in the bottom-right corner: kept inside the client area.
  CTestWindow corner(WS_CHILD | WS_VISIBLE,
                     {client.right - 20, client.bottom - 20, client.right, client.bottom}, parent);
  EXPECT_TRUE(CWindowW(child.get()).CenterWindow(corner.get()));
  p = ChildPos(child.get());
  EXPECT_EQ(p.x, client.right - 100);
  EXPECT_EQ(p.y, client.bottom - 60);
}

}  // namespace
