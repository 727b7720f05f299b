// The mirror window's two dialog commands on a real mirror window: the
// dialogs open over it, its ticks go on while they are open, and what each
// closing leaves behind.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cwchar>
#include <functional>
#include <string>

#include "app/ui_window.h"
#include "res/resource.h"
#include "settings/setting.h"
#include "tests/settings/modal_script.h"
#include "tests/settings/reg_test_util.h"

namespace vl {
namespace {

using test::CModalScript;
using test::DoubleCentre;
using test::FindDialog;

const std::wstring kSettingKey = L"Software\\Korvane\\Vellora32\\Setting";

constexpr struct {
  const wchar_t* name;
  std::int32_t CSetting::*field;
} kStored[] = {
    {L"Direction", &CSetting::Direction},
    {L"Edge", &CSetting::Edge},
    {L"ThinEdge", &CSetting::ThinEdge},
    {L"TransparentEdge", &CSetting::TransparentEdge},
    {L"RefreshRate", &CSetting::RefreshRate},
    {L"EntireRefreshRate", &CSetting::EntireRefreshRate},
    {L"AroundCursorDistance", &CSetting::AroundCursorDistance},
};

class DialogCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_saved = g_setting;
    g_setting = CSetting{};
    // Ticks are counted modulo this, so a large value lets them add up.
    g_setting.EntireRefreshRate = 9999;
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingKey.c_str());
    ASSERT_NE(m_window.Create(nullptr), nullptr);
    m_window.ShowWindow(SW_SHOW);
    m_window.MoveWindow(800, 400, 200, 150);
    ::SetForegroundWindow(m_window);
    ::SetActiveWindow(m_window);
    ASSERT_EQ(::GetActiveWindow(), m_window.m_hWnd);
  }
  void TearDown() override {
    m_window.DestroyWindow();
    MSG msg;
    ::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);  // posted by the window's end
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kSettingKey.c_str());
    g_setting = m_saved;
  }

  // Sends `command` to the mirror window; while the dialog it opens is up,
  // waits for three more ticks, lets `work` act on the dialog, and records
  // where the dialog was.
  void RunCommand(UINT command, const std::function<void(HWND dialog)>& work) {
    std::int32_t ticksAtOpen = -1;
    CModalScript script({[&] {
                           m_dialog = FindDialog(m_window);
                           if (!m_dialog) return false;
                           m_dialogCentre = DoubleCentre(m_dialog);
                           ticksAtOpen = m_window.m_nTickCount;
                           return true;
                         },
                         [&] {
                           if (m_window.m_nTickCount < ticksAtOpen + 3) return false;
                           work(m_dialog);
                           return true;
                         }});
    m_window.SendMessage(WM_COMMAND, command);
    EXPECT_TRUE(script.Finished());
  }

  void ExpectStored(const CSetting& expected) {
    for (const auto& v : kStored) {
      const auto raw = test::ReadRaw(kSettingKey, v.name);
      ASSERT_TRUE(raw.has_value()) << "no " << std::string(v.name, v.name + wcslen(v.name));
      EXPECT_EQ(*raw, test::Dword(static_cast<std::uint32_t>(expected.*v.field)));
    }
  }

  CSetting m_saved;
  CUIWindow m_window;
  HWND m_dialog = nullptr;
  POINT m_dialogCentre{};
};

TEST_F(DialogCommandTest, CancelledSettingsAreStillSavedAndTheTimerRestarts) {
  const CSetting before = g_setting;
  RunCommand(kCmdSetting, [](HWND sheet) {
    const auto page = reinterpret_cast<HWND>(::SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    ::SetWindowTextW(::GetDlgItem(page, IDC_REFRESH_RATE), L"5");
    ::SendMessageW(::GetDlgItem(sheet, IDCANCEL), BM_CLICK, 0, 0);
  });
  ASSERT_NE(m_dialog, nullptr);
  for (const auto& v : kStored) EXPECT_EQ(g_setting.*v.field, before.*v.field);
  ExpectStored(before);
  EXPECT_EQ(m_window.m_nTickCount, 0);
  EXPECT_EQ(m_window.m_nTimerId, kRefreshTimerId);
  EXPECT_EQ(m_window.m_nElapse, 100u);
}

TEST_F(DialogCommandTest, ConfirmedSettingsReachTheTimer) {
  RunCommand(kCmdSetting, [](HWND sheet) {
    const auto page = reinterpret_cast<HWND>(::SendMessageW(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    ::SetWindowTextW(::GetDlgItem(page, IDC_REFRESH_RATE), L"  29.97  ");
    ::SendMessageW(::GetDlgItem(sheet, IDOK), BM_CLICK, 0, 0);
  });
  EXPECT_EQ(g_setting.RefreshRate, 2997);
  ExpectStored(g_setting);
  EXPECT_EQ(m_window.m_nTickCount, 0);
  EXPECT_EQ(m_window.m_nTimerId, kRefreshTimerId);
  EXPECT_EQ(m_window.m_nElapse, 33u);
}

TEST_F(DialogCommandTest, AboutOpensOverTheMirrorAndChangesNothing) {
  const CSetting before = g_setting;
  RunCommand(kCmdAbout, [](HWND) { test::PressKey(VK_ESCAPE); });
  ASSERT_NE(m_dialog, nullptr);
  EXPECT_FALSE(::IsWindow(m_dialog));
  const POINT mirrorCentre = DoubleCentre(m_window);
  EXPECT_NEAR(m_dialogCentre.x, mirrorCentre.x, 2);
  EXPECT_NEAR(m_dialogCentre.y, mirrorCentre.y, 2);
  for (const auto& v : kStored) EXPECT_EQ(g_setting.*v.field, before.*v.field);
  EXPECT_FALSE(test::KeyExists(kSettingKey));  // nothing saved
  EXPECT_GE(m_window.m_nTickCount, 3);         // not restarted
  EXPECT_EQ(m_window.m_nTimerId, kRefreshTimerId);
}

}  // namespace
}  // namespace vl
