// Load and Save on the application's own key. They change the current user's
// real settings, so they only run under Wine, where the test prefix is private.
#include <windows.h>

#include <gtest/gtest.h>

#include "reg_test_util.h"
#include "res/resource.h"
#include "settings/app_reg_key.h"
#include "settings/setting.h"
#include "support/error.h"

namespace vl {
namespace {

const std::wstring kMakerKey = L"Software\\Korvane";
const std::wstring kAppKey = L"Software\\Korvane\\Vellora32";
const std::wstring kSettingKey = kAppKey + L"\\Setting";

bool RunsUnderWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll && ::GetProcAddress(ntdll, "wine_get_version");
}

class AppStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!RunsUnderWine()) GTEST_SKIP() << "would replace this user's own settings";
    RemoveAppKey();
  }
  void TearDown() override {
    if (RunsUnderWine()) RemoveAppKey();
  }
  static void RemoveAppKey() {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kAppKey.c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, kMakerKey.c_str());  // only if nothing else is in it
  }
};

TEST_F(AppStoreTest, FirstRunKeepsDefaultsAndFirstSaveCreatesTheKeys) {
  CSetting s;
  EXPECT_FALSE(s.Load());
  const CSetting defaults;
  EXPECT_EQ(s.Direction, defaults.Direction);
  EXPECT_EQ(s.Edge, defaults.Edge);
  EXPECT_EQ(s.RefreshRate, defaults.RefreshRate);
  EXPECT_EQ(s.AroundCursorDistance, defaults.AroundCursorDistance);
  EXPECT_FALSE(s.Window.FullScreen);
  EXPECT_EQ(s.Window.Rectangle, Rect{});
  EXPECT_TRUE(test::KeyExists(kAppKey));
  EXPECT_FALSE(test::KeyExists(kSettingKey));

  EXPECT_TRUE(s.Save());
  EXPECT_TRUE(test::KeyExists(kSettingKey));
  EXPECT_TRUE(test::KeyExists(kSettingKey + L"\\Window"));
  EXPECT_EQ(test::ReadRaw(kSettingKey, L"RefreshRate"), test::Dword(1000));

  // What the user set survives a restart.
  s.Direction = Bottom;
  s.TransparentEdge = 12;
  s.RefreshRate = 2997;
  s.Window.FullScreen = true;
  s.Window.Rectangle = {-1200, 30, -200, 630};
  EXPECT_TRUE(s.Save());
  CSetting next;
  EXPECT_TRUE(next.Load());
  EXPECT_EQ(next.Direction, Bottom);
  EXPECT_EQ(next.TransparentEdge, 12);
  EXPECT_EQ(next.RefreshRate, 2997);
  EXPECT_EQ(next.Edge, defaults.Edge);
  EXPECT_TRUE(next.Window.FullScreen);
  EXPECT_EQ(next.Window.Rectangle, (Rect{-1200, 30, -200, 630}));
}

TEST_F(AppStoreTest, KeyPathComesFromTheStringTable) {
  CAppRegKey app;
  ASSERT_EQ(app.Open(HKEY_CURRENT_USER, IDS_MAKER, IDS_PRODUCT), ERROR_SUCCESS);
  EXPECT_EQ(app.KeyPath(), kAppKey);
  EXPECT_EQ(app.SubKeyPath(L"Setting"), kSettingKey);
  EXPECT_EQ(app.Root(), HKEY_CURRENT_USER);
  ASSERT_NE(app.Key(), nullptr);
  // The held key is the application key itself.
  ASSERT_EQ(SetRegInt32(app.Key(), L"Probe", 5), ERROR_SUCCESS);
  EXPECT_EQ(test::ReadRaw(kAppKey, L"Probe"), test::Dword(5));

  app.Close();
  EXPECT_EQ(app.Key(), nullptr);
}

TEST_F(AppStoreTest, MissingNameRaisesAndLeavesTheHolderAsItWas) {
  CAppRegKey app;
  ASSERT_EQ(app.Open(HKEY_CURRENT_USER, IDS_MAKER, IDS_PRODUCT), ERROR_SUCCESS);
  const HKEY held = app.Key();
  constexpr UINT kNoSuchString = 4321;
  EXPECT_THROW(app.Open(HKEY_CURRENT_USER, IDS_MAKER, kNoSuchString), my::CException);
  EXPECT_EQ(app.Key(), held);
  EXPECT_EQ(app.KeyPath(), kAppKey);
}

}  // namespace
}  // namespace vl
