// The reflection view against the real screen: a window painted with the
// position-coding pattern lies under the view, so every pixel of the view's
// buffer tells which screen pixel it shows.
#include "render/view_window.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <sstream>
#include <utility>

#include "gdi_count.h"
#include "pixels.h"
#include "render/win_rect.h"
#include "screen.h"
#include "settings/setting.h"

namespace vl {
namespace {

using test::CImage;
using test::CPatternWindow;
using test::PatternColor;
using test::Snapshot;

constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kMarker = RGB(0, 255, 255);  // never part of the pattern
constexpr COLORREF kLight = RGB(220, 220, 220);
constexpr COLORREF kDark = RGB(180, 180, 180);

bool Contains(const Rect& r, Point p) {
  return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
}

// The screen pixel that view pixel (x, y) shows: its mirror image about the
// view's edge on the reflected side (any side but 1..3 reflects as the left).
Point MirrorOf(int direction, const Rect& view, int x, int y) {
  const int sx = view.left + x, sy = view.top + y;
  switch (direction) {
    case Top: return {sx, 2 * view.top - 1 - sy};
    case Right: return {2 * view.right - 1 - sx, sy};
    case Bottom: return {sx, 2 * view.bottom - 1 - sy};
    default: return {2 * view.left - 1 - sx, sy};
  }
}

// The screen area whose mirror image fills the view.
Rect SourceOf(int direction, const Rect& view) {
  const Point a = MirrorOf(direction, view, 0, 0);
  const Point b = MirrorOf(direction, view, view.right - view.left - 1, view.bottom - view.top - 1);
  return {std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x) + 1, std::max(a.y, b.y) + 1};
}

std::string Describe(COLORREF c) {
  std::ostringstream s;
  s << "0x" << std::hex << c << std::dec;
  Point p;
  if (test::DecodePattern(c, 0, p)) s << " (pattern of " << p.x << "," << p.y << ")";
  if (test::DecodePattern(c, 1, p)) s << " (second pattern of " << p.x << "," << p.y << ")";
  return s.str();
}

// Compares every pixel of `image` with `expected(x, y)`.
template <class F>
::testing::AssertionResult AllPixels(const CImage& image, F expected) {
  const Rect& r = image.GetRect();
  int bad = 0;
  std::ostringstream first;
  for (int y = r.top; y < r.bottom; ++y)
    for (int x = r.left; x < r.right; ++x) {
      const COLORREF want = expected(x, y), got = image.Pixel(x, y);
      if (got != want && bad++ < 4)
        first << "\n  at " << x << "," << y << ": " << Describe(got) << ", want " << Describe(want);
    }
  if (bad == 0) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << bad << " pixels differ:" << first.str();
}

class ViewTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_pattern = new CPatternWindow;
    s_patternShown = s_pattern->Open();
  }
  static void TearDownTestSuite() {
    delete s_pattern;
    s_pattern = nullptr;
  }

  void SetUp() override {
    ASSERT_TRUE(s_patternShown) << "the pattern never reached the screen";
    m_saved = g_setting;
    ASSERT_TRUE(s_pattern->ShowVariant(0, test::VirtualScreenRect()));
  }
  void TearDown() override { g_setting = m_saved; }

  // Opens `view` at `rect` as the mirror window does, and lets it paint.
  static ::testing::AssertionResult OpenView(CWindow& view, const Rect& rect, DWORD exStyle = 0) {
    const RECT r = ToRECT(rect);
    if (!view.Create(nullptr, &r, nullptr, 0, exStyle))
      return ::testing::AssertionFailure() << "view not created";
    view.ShowWindow(SW_SHOWNOACTIVATE);
    ::UpdateWindow(view);
    if (!s_pattern->WaitForScreen(SourceOf(g_setting.Direction, rect)))
      return ::testing::AssertionFailure() << "the screen beside the view never showed the pattern";
    return ::testing::AssertionSuccess();
  }

  // What a whole refresh shows: the mirrored pattern, and `beyond` where the
  // mirror image lies off the screen.
  static auto Mirrored(int direction, const Rect& view, int variant, COLORREF beyond) {
    const Rect screen = test::VirtualScreenRect();
    return [=](int x, int y) {
      const Point s = MirrorOf(direction, view, x, y);
      return Contains(screen, s) ? PatternColor(s.x, s.y, variant) : beyond;
    };
  }

  static inline CPatternWindow* s_pattern = nullptr;
  static inline bool s_patternShown = false;
  CSetting m_saved;
};

// --- Pixel truth for every side -----------------------------------------------

struct SideCase {
  const char* name;
  int direction;
  Rect view;   // partly reflects the area beyond the screen's edge
  Point move;  // a shift toward the reflected side
};

void PrintTo(const SideCase& c, std::ostream* os) { *os << c.name; }

class MirrorPixels : public ViewTest, public ::testing::WithParamInterface<SideCase> {};

TEST_P(MirrorPixels, EveryPixelShowsItsMirrorSourceOrWhatLiesBeyondTheScreen) {
  const SideCase& c = GetParam();
  g_setting.Direction = c.direction;
  g_setting.Edge = 0;  // no frame over the picture
  g_setting.ThinEdge = 0;
  CWindow view;
  ASSERT_TRUE(OpenView(view, c.view));

  view.Refresh(false);
  EXPECT_TRUE(AllPixels(Snapshot(view.m_buffer), Mirrored(c.direction, c.view, 0, kBlack)))
      << "whole refresh";

  // Drawing the same area again leaves alone what has no source on the screen.
  view.m_buffer.FillSolidRect(view.m_buffer.GetRect(), kMarker);
  view.Refresh(false);
  EXPECT_TRUE(AllPixels(Snapshot(view.m_buffer), Mirrored(c.direction, c.view, 0, kMarker)))
      << "second whole refresh";

  // After a move even a cursor-only refresh reads everything, and clears first.
  view.m_buffer.FillSolidRect(view.m_buffer.GetRect(), kMarker);
  const Rect moved = OffsetRect(c.view, c.move.x, c.move.y);
  ASSERT_TRUE(view.SetWindowPos(nullptr, moved.left, moved.top, 0, 0,
                                SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE));
  EXPECT_EQ(view.Refresh(true), view.m_buffer.GetRect()) << "all of it copied";
  EXPECT_TRUE(AllPixels(Snapshot(view.m_buffer), Mirrored(c.direction, moved, 0, kBlack)))
      << "refresh after the move";
}

// What shapes the picture, changed a field at a time with the view left
// where it is: the next refresh, though only around the cursor (as with
// "Entire update rate" 0), redraws and copies the whole view and shows what a
// fresh start shows: black where the new source lies beyond the screen, not
// what the last drawing left there (the old side's picture, frame or band).
TEST_F(ViewTest, AnyChangeOfWhatShapesThePictureRedrawsItWhole) {
  const Rect leftView{100, 300, 300, 420};  // Right reads on screen, Left partly beyond it
  const Rect topView{800, 60, 920, 260};
  struct Shape {
    int direction, edge, thinEdge, band;
  };
  const struct {
    const char* what;
    Rect view;
    Shape before, after;
  } cases[] = {
      {"right to left", leftView, {Right, 0, 0, 50}, {Left, 0, 0, 50}},
      {"bottom to top", topView, {Bottom, 0, 0, 50}, {Top, 0, 0, 50}},
      {"narrower frame", leftView, {Left, 12, 12, 50}, {Left, 0, 0, 50}},
      {"Edge", leftView, {Left, 12, 0, 50}, {Left, 3, 0, 50}},
      {"ThinEdge", leftView, {Left, 4, 12, 50}, {Left, 4, 2, 50}},
      {"TransparentEdge", leftView, {Left, 4, 8, 50}, {Left, 4, 8, 3}},
  };
  const auto use = [](const Shape& s) {
    g_setting.Direction = s.direction;
    g_setting.Edge = s.edge;
    g_setting.ThinEdge = s.thinEdge;
    g_setting.TransparentEdge = s.band;
  };
  ASSERT_TRUE(test::MoveCursorTo(1900, 1000));  // far from every source: a square reads nothing
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    use(c.before);
    auto window = std::make_unique<CWindow>();
    ASSERT_TRUE(OpenView(*window, c.view));
    window->Refresh(false);
    use(c.after);
    EXPECT_EQ(window->Refresh(true), window->m_buffer.GetRect());
    const CImage shown = Snapshot(window->m_buffer);
    window.reset();
    CWindow fresh;
    ASSERT_TRUE(OpenView(fresh, c.view));
    fresh.Refresh(false);
    EXPECT_TRUE(
        AllPixels(Snapshot(fresh.m_buffer), [&](int x, int y) { return shown.Pixel(x, y); }));
  }
}

INSTANTIATE_TEST_SUITE_P(
    View, MirrorPixels,
    ::testing::Values(SideCase{"Left", Left, {100, 300, 300, 420}, {-30, 0}},
                      SideCase{"Top", Top, {800, 60, 920, 260}, {0, -30}},
                      SideCase{"Right", Right, {1760, 500, 1880, 620}, {30, 0}},
                      SideCase{"Bottom", Bottom, {400, 900, 600, 1020}, {0, 30}},
                      SideCase{"OtherValueAsLeft", 7, {100, 300, 300, 420}, {-30, 0}}),
    [](const auto& param) { return std::string(param.param.name); });

// --- Frame ------------------------------------------------------------------------

struct FrameCase {
  const char* name;
  int direction;
  int edge, thinEdge, transparentEdge;
  Rect view;
};

void PrintTo(const FrameCase& c, std::ostream* os) { *os << c.name; }

// The frame as the user sees it: Edge pixels on the edges that do not reflect,
// ThinEdge on the reflecting one; light within TransparentEdge of the
// reflecting edge, dark elsewhere. A side outside 0..3 frames all four edges
// in dark. Returns false for a pixel outside the frame.
bool FrameColor(const FrameCase& c, int x, int y, COLORREF& color) {
  const int w = c.view.right - c.view.left, h = c.view.bottom - c.view.top;
  const int distance[4] = {x, y, w - 1 - x, h - 1 - y};  // to Left, Top, Right, Bottom
  const bool reflects = c.direction >= Left && c.direction <= Bottom;
  const int fromMirror = reflects ? distance[c.direction] : INT_MAX;
  bool frame = fromMirror < c.thinEdge;
  for (int side = Left; side <= Bottom; ++side)
    if (side != c.direction && distance[side] < c.edge) frame = true;
  if (!frame) return false;
  color = fromMirror < c.transparentEdge ? kLight : kDark;
  return true;
}

class Frame : public ViewTest, public ::testing::WithParamInterface<FrameCase> {};

TEST_P(Frame, BandsInTheTwoGreysOverThePicture) {
  const FrameCase& c = GetParam();
  g_setting.Direction = c.direction;
  g_setting.Edge = c.edge;
  g_setting.ThinEdge = c.thinEdge;
  g_setting.TransparentEdge = c.transparentEdge;
  CWindow view;
  ASSERT_TRUE(OpenView(view, c.view));

  view.Refresh(false);
  const auto picture = Mirrored(c.direction, c.view, 0, kBlack);
  EXPECT_TRUE(AllPixels(Snapshot(view.m_buffer), [&](int x, int y) {
    COLORREF band;
    return FrameColor(c, x, y, band) ? band : picture(x, y);
  }));
}

INSTANTIATE_TEST_SUITE_P(View, Frame,
                         ::testing::Values(
                             // ThinEdge 0: the reflecting edge has no frame at all.
                             FrameCase{"LeftDefaults", Left, 4, 0, 50, {600, 300, 800, 500}},
                             FrameCase{"LeftThinEdge", Left, 4, 8, 50, {600, 300, 800, 500}},
                             FrameCase{
                                 "LeftThinEdgeWiderThanBand", Left, 4, 8, 3, {600, 300, 800, 500}},
                             FrameCase{"Top", Top, 2, 5, 10, {600, 400, 800, 550}},
                             FrameCase{"Right", Right, 4, 0, 50, {600, 300, 800, 500}},
                             FrameCase{"Bottom", Bottom, 4, 2, 50, {600, 300, 900, 420}},
                             FrameCase{"NoEdge", Right, 0, 0, 50, {600, 300, 800, 500}},
                             FrameCase{"NoReflectingSide", 5, 4, 0, 50, {600, 300, 800, 500}}),
                         [](const auto& param) { return std::string(param.param.name); });

// --- Cursor-only refresh -------------------------------------------------------

TEST_F(ViewTest, CursorOnlyRefreshRereadsJustTheCursorNeighbourhood) {
  g_setting.Direction = Left;
  g_setting.Edge = 0;
  g_setting.ThinEdge = 0;
  g_setting.AroundCursorDistance = 10;
  const Rect where{100, 300, 300, 420};
  ASSERT_TRUE(test::MoveCursorTo(50, 360));
  CWindow view;
  ASSERT_TRUE(OpenView(view, where));
  view.Refresh(false);
  ::UpdateWindow(view);  // no paint may be pending: it would read everything again

  ASSERT_TRUE(s_pattern->ShowVariant(1, SourceOf(Left, where)));
  ASSERT_TRUE(test::MoveCursorTo(60, 370));
  // Moved by (10, 10) from (50, 360), distance 10: the square of half-width 10
  // around the midpoint (55, 365); its mirror image, and that alone, is
  // copied onto the window.
  EXPECT_EQ(view.Refresh(true), (Rect{200 - 66 - 100, 355 - 300, 200 - 45 - 100, 376 - 300}));
  const Rect around{45, 355, 66, 376};
  const auto before = Mirrored(Left, where, 0, kBlack);
  const auto after = Mirrored(Left, where, 1, kBlack);
  EXPECT_TRUE(AllPixels(Snapshot(view.m_buffer), [&](int x, int y) {
    return Contains(around, MirrorOf(Left, where, x, y)) ? after(x, y) : before(x, y);
  }));
  EXPECT_EQ(view.m_ptLastCursor, (Point{60, 370}));

  EXPECT_EQ(view.Refresh(false), (Rect{0, 0, 200, 120}));
  EXPECT_TRUE(AllPixels(Snapshot(view.m_buffer), after)) << "a whole refresh reads it all";
}

// --- Calls that draw nothing ------------------------------------------------------

TEST_F(ViewTest, WithoutBufferOrAreaNothingIsDrawnOrRemembered) {
  g_setting.Direction = Left;
  CWindow view;
  ASSERT_TRUE(OpenView(view, {100, 300, 300, 300}));  // no height: no buffer
  EXPECT_FALSE(view.m_buffer.HasTiles());
  ASSERT_TRUE(test::MoveCursorTo(40, 40));
  view.Refresh(false);
  EXPECT_EQ(view.m_ptLastCursor, Point{});
  EXPECT_EQ(view.m_lastShape, PictureShape{});

  ASSERT_TRUE(view.MoveWindow(100, 300, 200, 120, false));
  ASSERT_TRUE(view.m_buffer.HasTiles()) << "a later size builds the buffer";
  const PictureShape lastShape = view.m_lastShape;
  const Point lastCursor = view.m_ptLastCursor;
  const CImage picture = Snapshot(view.m_buffer);
  ASSERT_TRUE(test::MoveCursorTo(70, 70));
  for (const Rect empty : {Rect{10, 10, 10, 50}, Rect{10, 10, 50, 10}}) {
    view.DrawBuffer(view.m_buffer, empty, false);
    EXPECT_EQ(view.m_lastShape, lastShape);
    EXPECT_EQ(view.m_ptLastCursor, lastCursor);
    EXPECT_TRUE(
        AllPixels(Snapshot(view.m_buffer), [&](int x, int y) { return picture.Pixel(x, y); }));
  }
}

// --- The window ------------------------------------------------------------------

TEST_F(ViewTest, MessagesTheViewHandlesAndTheirResults) {
  CWindow view;
  ASSERT_TRUE(OpenView(view, {600, 300, 800, 500}));
  struct {
    UINT msg;
    bool handled;
    LRESULT result;
  } const cases[] = {{WM_CREATE, true, 0},       {WM_ERASEBKGND, true, 1}, {WM_SIZE, true, 0},
                     {WM_PAINT, true, 0},        {WM_MOUSEMOVE, false, 0}, {WM_NCHITTEST, false, 0},
                     {WM_LBUTTONDOWN, false, 0}, {WM_TIMER, false, 0}};
  for (const auto& c : cases) {
    LRESULT result = 0;
    EXPECT_EQ(view.ProcessWindowMessage(view, c.msg, 0, 0, result), c.handled) << c.msg;
    if (c.handled) {
      EXPECT_EQ(result, c.result) << c.msg;
    }
  }
}

int g_exStyleChanges = 0;
LRESULT CALLBACK CountExStyleChanges(int code, WPARAM wParam, LPARAM lParam) {
  const auto* m = reinterpret_cast<const CWPSTRUCT*>(lParam);
  if (code == HC_ACTION && m->message == WM_STYLECHANGED &&
      m->wParam == static_cast<WPARAM>(GWL_EXSTYLE))
    ++g_exStyleChanges;
  return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(ViewTest, CreationMakesTheViewLayeredOpaqueAndClickThrough) {
  const struct {
    DWORD exStyle;
    int writes;  // of the extended style while the view is created
  } cases[] = {{WS_EX_TOPMOST, 1},
               {WS_EX_TOPMOST | WS_EX_TRANSPARENT, 1},
               {WS_EX_TOPMOST | WS_EX_LAYERED | WS_EX_TRANSPARENT, 0}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.exStyle);
    const HHOOK hook =
        ::SetWindowsHookExW(WH_CALLWNDPROC, CountExStyleChanges, nullptr, ::GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    g_exStyleChanges = 0;
    CWindow view;
    const bool opened = OpenView(view, {600, 300, 800, 500}, c.exStyle);
    ::UnhookWindowsHookEx(hook);
    ASSERT_TRUE(opened);

    EXPECT_EQ(g_exStyleChanges, c.writes);
    const LONG exStyle = view.GetExStyle();
    EXPECT_TRUE(exStyle & WS_EX_LAYERED);
    EXPECT_TRUE(exStyle & WS_EX_TRANSPARENT);
    EXPECT_TRUE(exStyle & WS_EX_TOPMOST);
    COLORREF key = 1;
    BYTE alpha = 0;
    DWORD flags = 0;
    ASSERT_TRUE(::GetLayeredWindowAttributes(view, &key, &alpha, &flags));
    EXPECT_EQ(key, 0u);
    EXPECT_EQ(alpha, 255);
    EXPECT_EQ(flags, static_cast<DWORD>(LWA_ALPHA));
  }
}

// A plain popup that counts the clicks it receives.
class CClickTarget
    : public fw::CWindowImpl<CClickTarget, fw::CWindowHandle, fw::CWinTraits<WS_POPUP, 0>> {
 public:
  int clicks = 0;
  POINT at{};

  bool ProcessWindowMessage(HWND, UINT msg, WPARAM, LPARAM lParam, LRESULT& result) override {
    fw::CMessageMap map(m_bMsgHandled, result);
    if (msg == WM_LBUTTONDOWN && map.Handle([&] {
          ++clicks;
          at = fw::GetPointParam(lParam);
          return 0;
        }))
      return true;
    return false;
  }

 protected:
  FW_HANDLED_FLAG
};

TEST_F(ViewTest, ClickOnTheViewReachesTheWindowBeneath) {
  CClickTarget beneath;
  const RECT r{1000, 100, 1300, 400};
  ASSERT_TRUE(beneath.Create(nullptr, &r));
  beneath.ShowWindow(SW_SHOW);
  CWindow view;
  const RECT over{1050, 150, 1250, 350};
  ASSERT_TRUE(view.Create(nullptr, &over));
  view.ShowWindow(SW_SHOWNOACTIVATE);
  test::PumpMessages();

  ASSERT_TRUE(test::MoveCursorTo(1150, 250));
  INPUT input[2]{};
  input[0].type = input[1].type = INPUT_MOUSE;
  input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  ASSERT_EQ(::SendInput(2, input, sizeof(INPUT)), 2u);

  EXPECT_TRUE(test::PumpUntil([&] { return beneath.clicks > 0; }));
  EXPECT_EQ(beneath.clicks, 1);
  EXPECT_EQ(beneath.at.x, 150);
  EXPECT_EQ(beneath.at.y, 150);
  EXPECT_EQ(::WindowFromPoint({1150, 250}), beneath.m_hWnd);
}

// --- No leaks ----------------------------------------------------------------

TEST_F(ViewTest, ThousandsOfRefreshesAndResizesLeaveNoHandleBehind) {
  g_setting.Direction = Right;
  g_setting.ThinEdge = 3;
  const long before = gdi::g_liveHandles;
  const long platformBefore = test::LiveGdiObjects();
  {
    CWindow view;
    ASSERT_TRUE(OpenView(view, {900, 500, 964, 548}));
    const long withView = gdi::g_liveHandles;
    for (int i = 1; i <= 3000; ++i) {
      if (i % 100 == 0) {
        // Grow, shrink, and now and then lose the buffer altogether.
        const int cx = (i % 500 == 0) ? 0 : 48 + (i / 100) % 5 * 8;
        const int cy = 40 + (i / 100) % 3 * 8;
        ASSERT_TRUE(
            view.SetWindowPos(nullptr, 0, 0, cx, cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE));
      }
      view.Refresh(i % 10 != 0);
      if (i % 50 == 0) test::PumpMessages();
    }
    view.MoveWindow(900, 500, 64, 48, false);
    EXPECT_TRUE(view.m_buffer.HasTiles());
    EXPECT_EQ(gdi::g_liveHandles, withView);
  }
  EXPECT_EQ(gdi::g_liveHandles, before);
  // A little slack for contexts the system caches for windows; a leak in the
  // loop would show in the thousands.
  EXPECT_LE(test::LiveGdiObjects(), platformBefore + 8);
}

}  // namespace
}  // namespace vl
