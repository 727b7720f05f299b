#include "framework/window_impl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr UINT kNested = WM_APP + 1;
constexpr UINT kPassOn = WM_APP + 2;
constexpr UINT kMixinOnly = WM_APP + 3;
constexpr UINT kDestroyInside = WM_APP + 4;

// A mixin with its own flag: handles kMixinOnly, and passes kPassOn on.
template <class T>
class CRecordingMixin {
 public:
  std::vector<std::string> log;

  bool ProcessWindowMessage(HWND, UINT msg, WPARAM, LPARAM, LRESULT& result) {
    fw::CMessageMap map(m_bMsgHandled, result);
    if (msg == kMixinOnly && map.Handle([&] {
          log.push_back("mixin");
          return 7;
        }))
      return true;
    if (msg == kPassOn && map.Handle([&] {
          log.push_back("mixin pass");
          SetMsgHandled(false);
          return 0;
        }))
      return true;
    return false;
  }

 protected:
  FW_HANDLED_FLAG
};

class CTestWindow
    : public fw::CWindowImpl<CTestWindow, fw::CWindowHandle, fw::CWinTraits<WS_POPUP, 0>>,
      public CRecordingMixin<CTestWindow> {
 public:
  std::vector<UINT> seen;
  bool flagAfterNestedSend = false;
  int finalMessages = 0;
  HWND handleAfterDestroy = nullptr;  // m_hWnd right after DestroyWindow in a handler
  int finalMessagesAfterDestroy = -1;
  bool failCreate = false;  // WM_CREATE throws

  // Switch style, as the program's maps: a pass-on from the middle of the
  // switch must still reach the later entries and the chained mixin.
  bool ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                            LRESULT& result) override {
    seen.push_back(msg);
    fw::CMessageMap map(m_bMsgHandled, result);
    switch (msg) {
      case kNested:
        if (map.Handle([&] {
              if (wParam == 0) {
                // Leave the outer message unhandled, then send a message that
                // this map handles: the outer decision must survive it.
                SetMsgHandled(false);
                ::SendMessageW(hwnd, kNested, 1, 0);
                flagAfterNestedSend = IsMsgHandled();
                return 0;
              }
              return 42;
            }))
          return true;
        break;
      case kPassOn:
        if (map.Handle([&] {
              log.push_back("window pass");
              SetMsgHandled(false);
              return 0;
            }))
          return true;
        break;
      case kDestroyInside:
        if (map.Handle([&] {
              ::DestroyWindow(hwnd);
              handleAfterDestroy = m_hWnd;
              finalMessagesAfterDestroy = finalMessages;
              return 5;
            }))
          return true;
        break;
      case WM_SETTEXT:
        if (map.Handle([]() -> LRESULT { throw std::runtime_error("handler failed"); }))
          return true;
        break;
      case WM_CREATE:
        if (failCreate &&
            map.Handle([]() -> LRESULT { throw std::runtime_error("creation failed"); }))
          return true;
        break;
      default: break;
    }
    if (msg == kPassOn) map.PassOn([&] { log.push_back("window later"); });
    if (map.Chain<CRecordingMixin<CTestWindow>>(*this, hwnd, msg, wParam, lParam)) return true;
    return false;
  }

  void OnFinalMessage(HWND) noexcept override { ++finalMessages; }

 protected:
  FW_HANDLED_FLAG
};

TEST(WindowImpl, FirstMessageReachesTheObjectBeforeNcCreate) {
  CTestWindow w;
  // A sizable window is asked for its size limits before WM_NCCREATE.
  RECT r{10, 20, 110, 120};
  ASSERT_NE(w.Create(nullptr, &r, nullptr, WS_OVERLAPPEDWINDOW), nullptr);
  ASSERT_FALSE(w.seen.empty());
  EXPECT_EQ(w.seen.front(), static_cast<UINT>(WM_GETMINMAXINFO));
  EXPECT_NE(std::find(w.seen.begin(), w.seen.end(), static_cast<UINT>(WM_NCCREATE)), w.seen.end());
}

TEST(WindowImpl, TraitsGiveTheDefaultStyles) {
  CTestWindow w;
  ASSERT_NE(w.Create(nullptr), nullptr);
  EXPECT_EQ(static_cast<DWORD>(w.GetStyle()) & WS_POPUP, static_cast<DWORD>(WS_POPUP));
}

TEST(WindowImpl, ClassIsRegisteredOnceWithItsStyles) {
  const ATOM a = CTestWindow::RegisterWndClass();
  ASSERT_NE(a, 0);
  EXPECT_EQ(CTestWindow::RegisterWndClass(), a);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  ASSERT_TRUE(::GetClassInfoExW(::GetModuleHandleW(nullptr), MAKEINTATOM(a), &wc));
  EXPECT_EQ(wc.style, static_cast<UINT>(CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS));
  EXPECT_EQ(wc.hbrBackground, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1));
  EXPECT_EQ(wc.hCursor, ::LoadCursorW(nullptr, IDC_ARROW));
}

TEST(WindowImpl, HandlersRunInOrderAndChainToMixins) {
  CTestWindow w;
  ASSERT_NE(w.Create(nullptr), nullptr);
  EXPECT_EQ(w.SendMessage(kMixinOnly), 7);
  // Passed on by the window, twice, and by the mixin: DefWindowProcW answers 0.
  EXPECT_EQ(w.SendMessage(kPassOn), 0);
  EXPECT_EQ(w.log,
            (std::vector<std::string>{"mixin", "window pass", "window later", "mixin pass"}));
}

TEST(WindowImpl, HandledFlagSurvivesANestedMessage) {
  CTestWindow w;
  ASSERT_NE(w.Create(nullptr), nullptr);
  EXPECT_EQ(w.SendMessage(kNested, 1), 42);
  w.SendMessage(kNested, 0);
  EXPECT_FALSE(w.flagAfterNestedSend);
}

TEST(WindowImpl, DetachesAfterTheOutermostMessageAndCallsFinalMessageOnce) {
  for (const bool fromHandler : {false, true}) {
    CTestWindow w;
    const HWND hwnd = w.Create(nullptr);
    ASSERT_NE(hwnd, nullptr);
    if (fromHandler) {
      // Still attached, and not yet final, until the handler's message returns.
      EXPECT_EQ(w.SendMessage(kDestroyInside), 5);
      EXPECT_EQ(w.handleAfterDestroy, hwnd);
      EXPECT_EQ(w.finalMessagesAfterDestroy, 0);
    } else {
      ASSERT_TRUE(::DestroyWindow(hwnd));
    }
    EXPECT_EQ(w.m_hWnd, nullptr) << fromHandler;
    EXPECT_EQ(w.finalMessages, 1) << fromHandler;
    EXPECT_FALSE(::IsWindow(hwnd)) << fromHandler;
  }
}

TEST(WindowImpl, AThrowingHandlerLeavesTheMessageToTheDefaultProcedure) {
  CTestWindow w;
  const HWND hwnd = w.Create(nullptr);
  ASSERT_NE(hwnd, nullptr);
  EXPECT_TRUE(::SetWindowTextW(hwnd, L"set anyway"));  // DefWindowProcW stores it
  EXPECT_NE(std::find(w.seen.begin(), w.seen.end(), static_cast<UINT>(WM_SETTEXT)), w.seen.end());
  wchar_t text[32] = L"";
  ::GetWindowTextW(hwnd, text, 32);
  EXPECT_STREQ(text, L"set anyway");
  EXPECT_TRUE(::IsWindow(hwnd));
  EXPECT_EQ(w.m_hWnd, hwnd);
  EXPECT_EQ(w.SendMessage(kMixinOnly), 7);  // the map still works
}

TEST(WindowImpl, AThrowWhileCreatingFailsTheCreation) {
  CTestWindow w;
  w.failCreate = true;
  EXPECT_EQ(w.Create(nullptr), nullptr);
  EXPECT_EQ(w.m_hWnd, nullptr);
  EXPECT_EQ(w.finalMessages, 1);  // detached as any window that goes
}

TEST(WindowImpl, ObjectDestroyedFirstTakesItsWindowAlong) {
  HWND hwnd = nullptr;
  {
    CTestWindow w;
    hwnd = w.Create(nullptr);
    ASSERT_NE(hwnd, nullptr);
  }
  EXPECT_FALSE(::IsWindow(hwnd));
}

}  // namespace
