// The framework's dialog, page and sheet wrappers, run modally on the
// program's own templates.
#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "framework/dialog.h"
#include "framework/property_sheet.h"
#include "res/resource.h"
#include "support/center_property_sheet.h"
#include "tests/settings/modal_script.h"

namespace {

using vl::test::CModalScript;
using vl::test::DoubleCentre;
using vl::test::FindDialog;

constexpr UINT kRun = WM_APP + 1, kAnswer = WM_APP + 2, kPassOn = WM_APP + 3, kThrow = WM_APP + 4;

// Sends itself messages of every kind of result from inside its own loop.
class CProbeDialog : public fw::CDialogImpl<CProbeDialog> {
 public:
  static constexpr UINT IDD = IDD_ABOUT;
  HWND attachedAtInit = nullptr;
  LRESULT answer = -1, passedOn = -1, thrown = -1, colour = -1;
  int finalMessages = 0;

  bool ProcessWindowMessage(HWND, UINT msg, WPARAM, LPARAM, LRESULT& result) override {
    fw::CMessageMap map(m_bMsgHandled, result);
    switch (msg) {
      case WM_INITDIALOG:
        return map.Handle([&] {
          attachedAtInit = m_hWnd;
          PostMessage(kRun);
          return TRUE;
        });
      case kRun:
        return map.Handle([&] {
          answer = SendMessage(kAnswer);
          passedOn = SendMessage(kPassOn);
          thrown = SendMessage(kThrow);
          colour = SendMessage(WM_CTLCOLORSTATIC, 0, reinterpret_cast<LPARAM>(GetDlgItem(IDOK)));
          EndDialog(77);
          return 0;
        });
      case kAnswer: return map.Handle([] { return 1234; });
      case kPassOn:
        return map.Handle([&] {
          SetMsgHandled(false);
          return 99;
        });
      case kThrow:
        return map.Handle([]() -> LRESULT { throw std::runtime_error("handler failed"); });
      case WM_CTLCOLORSTATIC:
        return map.Handle([] { return reinterpret_cast<LRESULT>(::GetStockObject(GRAY_BRUSH)); });
      default: return false;
    }
  }
  void OnFinalMessage(HWND) noexcept override { ++finalMessages; }

 protected:
  FW_HANDLED_FLAG
};

TEST(CDialogImpl, AnswersEachMessageTheWayTheDialogManagerExpects) {
  CProbeDialog dialog;
  EXPECT_EQ(dialog.DoModal(nullptr), 77);
  EXPECT_NE(dialog.attachedAtInit, nullptr);
  EXPECT_EQ(dialog.answer, 1234);  // through DWLP_MSGRESULT
  EXPECT_EQ(dialog.passedOn, 0);   // the default processing's answer, not the handler's
  EXPECT_EQ(dialog.thrown, 0);     // a failed handler counts as unhandled
  EXPECT_EQ(dialog.colour, reinterpret_cast<LRESULT>(::GetStockObject(GRAY_BRUSH)));  // direct
  EXPECT_EQ(dialog.m_hWnd, nullptr);
  EXPECT_EQ(dialog.finalMessages, 1);
}

// A page that counts its notifications and, through the page callback, the
// releases of its handle.
class CProbePage : public fw::CPropertyPageImpl<CProbePage> {
 public:
  static constexpr UINT IDD = IDD_SETTING_PAGE1;
  inline static int s_releases = 0;
  int applies = 0, resets = 0;

  CProbePage() : CPropertyPageImpl(L"Probe") {
    m_psp.dwFlags |= PSP_USECALLBACK;
    m_psp.pfnCallback = [](HWND, UINT msg, PROPSHEETPAGEW*) -> UINT {
      if (msg == PSPCB_RELEASE) ++s_releases;
      return 1;
    };
  }
  int OnApply() {
    ++applies;
    return PSNRET_NOERROR;
  }
  void OnReset() { ++resets; }
};

class CProbeSheet : public fw::CPropertySheetImpl<CProbeSheet>,
                    public CCenterPropertySheet<CProbeSheet> {
 public:
  std::vector<WPARAM> shows;  // WM_SHOWWINDOW as the sheet class saw it
  int finalMessages = 0;

  CProbeSheet() : CPropertySheetImpl(L"Probe sheet") {}
  bool ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                            LRESULT& result) override {
    fw::CMessageMap map(m_bMsgHandled, result);
    if (msg == WM_SHOWWINDOW) shows.push_back(wParam);
    return map.Chain<CCenterPropertySheet<CProbeSheet>>(*this, hwnd, msg, wParam, lParam);
  }
  void OnFinalMessage(HWND) noexcept override { ++finalMessages; }

 protected:
  FW_HANDLED_FLAG
};

// A visible plain window to own the sheets, away from the screen's centre.
class OwnedSheetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CProbePage::s_releases = 0;
    m_owner = ::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 300, 200, 400, 300,
                                nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(m_owner, nullptr);
  }
  void TearDown() override { ::DestroyWindow(m_owner); }

  void Press(HWND sheet, int button) {
    ::SendMessageW(::GetDlgItem(sheet, button), BM_CLICK, 0, 0);
  }

  HWND m_owner = nullptr;
};

TEST_F(OwnedSheetTest, OkAppliesThePageAndTheSheetSeesItsOwnMessages) {
  {
    CProbePage page;
    CProbeSheet sheet;
    ASSERT_TRUE(sheet.AddPage(page.Create()));
    HWND seen = nullptr, attached = nullptr;
    POINT centre{}, ownerCentre = DoubleCentre(m_owner);
    {
      CModalScript script({[&] {
        seen = FindDialog(m_owner);
        if (!seen) return false;
        attached = sheet.m_hWnd;
        centre = DoubleCentre(seen);
        Press(seen, IDOK);
        return true;
      }});
      sheet.DoModal(m_owner);
      EXPECT_TRUE(script.Finished());
    }
    // The system has released the page it was given; it is no longer ours.
    EXPECT_EQ(CProbePage::s_releases, 1);
    EXPECT_EQ(attached, seen);
    ASSERT_FALSE(sheet.shows.empty());
    EXPECT_EQ(sheet.shows.front(), WPARAM{TRUE});
    EXPECT_TRUE(sheet.m_bCentered);
    EXPECT_NEAR(centre.x, ownerCentre.x, 2);
    EXPECT_NEAR(centre.y, ownerCentre.y, 2);
    EXPECT_EQ(page.applies, 1);
    EXPECT_EQ(page.resets, 0);
    EXPECT_EQ(sheet.m_hWnd, nullptr);
    EXPECT_EQ(sheet.finalMessages, 1);
  }
  EXPECT_EQ(CProbePage::s_releases, 1);  // and the wrapper did not release it again
}

TEST_F(OwnedSheetTest, CancelResetsThePageAndALaterShowingKeepsThePlace) {
  CProbePage page;
  CProbeSheet sheet;
  ASSERT_TRUE(sheet.AddPage(page.Create()));
  RECT moved{};
  CModalScript script({[&] {
                         HWND found = FindDialog(m_owner);
                         if (!found) return false;
                         ::ShowWindow(found, SW_HIDE);
                         ::SetWindowPos(found, nullptr, 20, 30, 0, 0,
                                        SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
                         ::ShowWindow(found, SW_SHOW);
                         return true;
                       },
                       [&] {
                         HWND found = FindDialog(m_owner);
                         ::GetWindowRect(found, &moved);
                         Press(found, IDCANCEL);
                         return true;
                       }});
  sheet.DoModal(m_owner);
  EXPECT_TRUE(script.Finished());
  EXPECT_EQ(moved.left, 20);
  EXPECT_EQ(moved.top, 30);
  EXPECT_EQ(page.applies, 0);
  EXPECT_EQ(page.resets, 1);
}

TEST(CPropertySheetImpl, PagesOfASheetThatNeverRanAreDestroyedWithIt) {
  CProbePage::s_releases = 0;
  CProbePage first, second;
  {
    CProbeSheet sheet;
    ASSERT_TRUE(sheet.AddPage(first.Create()));
    ASSERT_TRUE(sheet.AddPage(second.Create()));
    EXPECT_FALSE(sheet.AddPage(nullptr));
  }
  EXPECT_EQ(CProbePage::s_releases, 2);
}

}  // namespace
