// The painting mixin with a window whose DrawBuffer records each call and
// paints its area in a colour of its own, so the order of the calls and what
// a resize copies can both be read back.
#include "render/buffered_window.h"

#include <gtest/gtest.h>

#include <vector>

#include "framework/window_impl.h"
#include "pixels.h"
#include "render/win_rect.h"
#include "screen.h"

namespace vl {
namespace {

using test::CImage;
using test::Snapshot;

COLORREF ColorOfCall(std::size_t n) { return RGB((40 * n) & 0xFF, (255 - 30 * n) & 0xFF, 100); }

class CRecordingView
    : public fw::CWindowImpl<CRecordingView, fw::CWindowHandle, fw::CWinTraits<WS_POPUP, 0>>,
      public CBufferedWindowImpl<CRecordingView> {
 public:
  struct Call {
    Rect rect;
    bool intoOwnBuffer;    // false: into the buffer that a resize is building
    bool cursorOnly;       // as the call was asked
    bool oldPictureThere;  // the buffer already held the old picture at (0, 0)

    friend bool operator==(const Call&, const Call&) = default;
  };
  std::vector<Call> calls;

  void DrawBuffer(const CTiledMemoryDC& buffer, const Rect& paintRect, bool cursorOnly) {
    const bool own = &buffer == &m_buffer;
    bool oldPictureThere = false;
    if (!own && m_buffer.HasTiles() && buffer.HasTiles())
      oldPictureThere = ::GetPixel(buffer.GetTiles().front()->GetDC(), 0, 0) ==
                        ::GetPixel(m_buffer.GetTiles().front()->GetDC(), 0, 0);
    calls.push_back({paintRect, own, cursorOnly, oldPictureThere});
    buffer.FillSolidRect(paintRect, ColorOfCall(calls.size()));
  }

  bool ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                            LRESULT& result) override {
    fw::CMessageMap map(m_bMsgHandled, result);
    return map.Chain<CBufferedWindowImpl<CRecordingView>>(*this, hwnd, msg, wParam, lParam);
  }

 protected:
  FW_HANDLED_FLAG
};

std::ostream& operator<<(std::ostream& os, const CRecordingView::Call& c) {
  return os << "{" << c.rect.left << "," << c.rect.top << "," << c.rect.right << ","
            << c.rect.bottom << (c.intoOwnBuffer ? " own" : " new")
            << (c.cursorOnly ? " cursor" : " whole") << (c.oldPictureThere ? " copied}" : "}");
}

struct ResizeStep {
  int cx, cy;
  std::vector<Rect> strips;  // drawn into the new buffer, in this order, before
  Rect shared;               // this is copied over from the old buffer
};

TEST(BufferedWindow, ResizeDrawsTheNewStripsThenCopiesTheSharedPart) {
  const ResizeStep steps[] = {
      // The first size: everything is new (the right strip has no height).
      {100, 80, {{0, 0, 100, 80}, {0, 0, 100, 0}}, {}},
      {150, 120, {{0, 80, 150, 120}, {100, 0, 150, 80}}, {0, 0, 100, 80}},
      {100, 80, {}, {0, 0, 100, 80}},
      {150, 80, {{100, 0, 150, 80}}, {0, 0, 100, 80}},
      {120, 100, {{0, 80, 120, 100}}, {0, 0, 120, 80}},
      {60, 110, {{0, 100, 60, 110}}, {0, 0, 60, 100}},
      {0, 80, {}, {}},  // no buffer
      {100, 80, {{0, 0, 100, 80}, {0, 0, 100, 0}}, {}},
      {100, 0, {}, {}},
      {90, 70, {{0, 0, 90, 70}, {0, 0, 90, 0}}, {}},
  };
  CRecordingView view;
  const RECT start{200, 200, 200, 200};
  ASSERT_TRUE(view.Create(nullptr, &start));
  ASSERT_FALSE(view.m_buffer.HasTiles());

  for (const ResizeStep& step : steps) {
    SCOPED_TRACE(::testing::Message() << step.cx << "x" << step.cy);
    const bool hadBuffer = view.m_buffer.HasTiles();
    const CImage old = Snapshot(view.m_buffer);
    view.calls.clear();
    ASSERT_TRUE(view.SetWindowPos(nullptr, 0, 0, step.cx, step.cy,
                                  SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE));

    std::vector<CRecordingView::Call> expected;
    for (const Rect& r : step.strips) expected.push_back({r, false, false, false});
    EXPECT_EQ(view.calls, expected);
    if (step.cx == 0 || step.cy == 0) {
      EXPECT_FALSE(view.m_buffer.HasTiles());
      EXPECT_EQ(view.m_buffer.GetRect(), Rect{});
      continue;
    }
    ASSERT_TRUE(view.m_buffer.HasTiles());
    ASSERT_EQ(view.m_buffer.GetRect(), (Rect{0, 0, step.cx, step.cy}));
    const CImage now = Snapshot(view.m_buffer);
    for (int y = 0; y < step.cy; ++y)
      for (int x = 0; x < step.cx; ++x) {
        const bool shared = hadBuffer && x < step.shared.right && y < step.shared.bottom;
        COLORREF want = shared ? old.Pixel(x, y) : RGB(1, 2, 3);
        for (std::size_t i = 0; i < step.strips.size() && !shared; ++i) {
          const Rect& s = step.strips[i];
          if (x >= s.left && x < s.right && y >= s.top && y < s.bottom) want = ColorOfCall(i + 1);
        }
        ASSERT_EQ(now.Pixel(x, y), want) << x << "," << y;
      }
  }
}

TEST(BufferedWindow, SizeMessageForTheSameSizeKeepsTheBuffer) {
  CRecordingView view;
  const RECT r{200, 200, 300, 280};
  ASSERT_TRUE(view.Create(nullptr, &r));
  const auto tiles = view.m_buffer.GetTiles();
  view.calls.clear();
  EXPECT_EQ(view.SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(100, 80)), 0);
  EXPECT_EQ(view.SendMessage(WM_SIZE, SIZE_RESTORED, MAKELPARAM(30, 20)), 0)
      << "the size in the message is not used";
  EXPECT_TRUE(view.calls.empty());
  EXPECT_EQ(view.m_buffer.GetTiles(), tiles);
}

TEST(BufferedWindow, PaintRedrawsTheWholeBufferAndCopiesItToTheWindow) {
  CRecordingView view;
  const RECT r{200, 200, 300, 280};
  ASSERT_TRUE(view.Create(nullptr, &r));
  view.ShowWindow(SW_SHOWNOACTIVATE);
  view.calls.clear();
  ::UpdateWindow(view);

  const std::vector<CRecordingView::Call> expected{{{0, 0, 100, 80}, true, false, false}};
  EXPECT_EQ(view.calls, expected);
  const COLORREF painted = ColorOfCall(1);
  const gdi::CWindowDC dc = gdi::CWindowDC::Client(view);
  EXPECT_EQ(::GetPixel(dc.Get(), 0, 0), painted);
  EXPECT_EQ(::GetPixel(dc.Get(), 99, 79), painted);

  // Erasing is answered without drawing: the class brush would paint white.
  EXPECT_EQ(view.SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc.Get())), 1);
  EXPECT_EQ(::GetPixel(dc.Get(), 50, 40), painted);
}

}  // namespace
}  // namespace vl
