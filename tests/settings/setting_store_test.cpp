#include <windows.h>

#include <gtest/gtest.h>

#include <array>

#include "reg_test_util.h"
#include "settings/setting.h"

namespace vl {
namespace {

using test::Bytes;
using test::Dword;
using test::RawValue;
using test::ReadRaw;
using test::Snapshot;
using test::String;
using test::WriteRaw;

using SettingStoreTest = test::RegistryTest;

constexpr const wchar_t* kNames[7] = {L"Direction",           L"Edge",        L"ThinEdge",
                                      L"TransparentEdge",     L"RefreshRate", L"EntireRefreshRate",
                                      L"AroundCursorDistance"};

std::array<std::int32_t, 7> Fields(const CSetting& s) {
  return {s.Direction,           s.Edge,        s.ThinEdge,
          s.TransparentEdge,     s.RefreshRate, s.EntireRefreshRate,
          s.AroundCursorDistance};
}

CSetting WithFields(const std::array<std::int32_t, 7>& f) {
  CSetting s;
  s.Direction = f[0];
  s.Edge = f[1];
  s.ThinEdge = f[2];
  s.TransparentEdge = f[3];
  s.RefreshRate = f[4];
  s.EntireRefreshRate = f[5];
  s.AroundCursorDistance = f[6];
  return s;
}

// In range, and different from the defaults and from each other's values.
constexpr std::array<std::int32_t, 7> kStored = {2, 9, 3, 77, 2997, 25, 333};
constexpr std::array<std::int32_t, 7> kBefore = {1, 5, 2, 40, 1500, 7, 120};
constexpr Rect kStoredRect{-1280, 10, -80, 710};
constexpr Rect kBeforeRect{1, 2, 3, 4};

std::wstring WindowPath(const std::wstring& path) { return path + L"\\Window"; }

void WriteValues(const std::wstring& path, const std::array<std::int32_t, 7>& values) {
  for (std::size_t i = 0; i < 7; ++i)
    WriteRaw(path, kNames[i], Dword(static_cast<std::uint32_t>(values[i])));
}

void WriteWindow(const std::wstring& path, bool full, Rect r) {
  CWindowSetting w;
  w.FullScreen = full;
  w.Rectangle = r;
  ASSERT_TRUE(w.Save(WindowPath(path), L"", HKEY_CURRENT_USER));
}

CSetting Before() {
  CSetting s = WithFields(kBefore);
  s.Window.Rectangle = kBeforeRect;
  return s;
}

TEST_F(SettingStoreTest, SaveWritesEveryValueWholeAndLoadReadsItBack) {
  CSetting saved = WithFields(kStored);
  saved.Window.FullScreen = true;
  saved.Window.Rectangle = kStoredRect;
  ASSERT_TRUE(saved.SaveTo(Path(), HKEY_CURRENT_USER));

  // Each value a REG_DWORD of exactly four bytes: nothing half-written.
  for (std::size_t i = 0; i < 7; ++i)
    EXPECT_EQ(ReadRaw(Path(), kNames[i]), Dword(static_cast<std::uint32_t>(kStored[i]))) << i;
  EXPECT_EQ(ReadRaw(WindowPath(Path()), L"FullScreen"), Dword(1));
  EXPECT_EQ(ReadRaw(WindowPath(Path()), L"Left"), Dword(static_cast<std::uint32_t>(-1280)));

  CSetting loaded = Before();
  EXPECT_TRUE(loaded.LoadFrom(Path(), HKEY_CURRENT_USER));
  EXPECT_EQ(Fields(loaded), kStored);
  EXPECT_TRUE(loaded.Window.FullScreen);
  EXPECT_EQ(loaded.Window.Rectangle, kStoredRect);

  // A second save over the first replaces every value.
  ASSERT_TRUE(Before().SaveTo(Path(), HKEY_CURRENT_USER));
  CSetting again;
  EXPECT_TRUE(again.LoadFrom(Path(), HKEY_CURRENT_USER));
  EXPECT_EQ(Fields(again), kBefore);
  EXPECT_FALSE(again.Window.FullScreen);
  EXPECT_EQ(again.Window.Rectangle, kBeforeRect);
}

TEST_F(SettingStoreTest, MissingKeyChangesNothingAndClampsNothing) {
  CSetting s = Before();
  s.Edge = 99;  // out of range: would change if clamping ran
  s.RefreshRate = 0;
  EXPECT_FALSE(s.LoadFrom(Path(), HKEY_CURRENT_USER));
  EXPECT_EQ(s.Edge, 99);
  EXPECT_EQ(s.RefreshRate, 0);
  EXPECT_EQ(s.Direction, kBefore[0]);
  EXPECT_EQ(s.Window.Rectangle, kBeforeRect);
  EXPECT_FALSE(test::KeyExists(Path()));
}

// Each damaged value keeps its own field; the other six and the placement
// still load, and the load reports false.
TEST_F(SettingStoreTest, DamagedValueKeepsOnlyItsOwnField) {
  const struct {
    const char* what;
    std::optional<RawValue> stored;
  } damage[] = {
      {"missing", std::nullopt},
      {"string", String(L"12")},
      {"qword", Bytes(REG_QWORD, 8, 0)},
      {"binary", Bytes(REG_BINARY, 4, 0)},
      {"dword too long", Bytes(REG_DWORD, 8, 0)},
      {"dword too short", Bytes(REG_DWORD, 2, 0)},
  };
  for (std::size_t i = 0; i < 7; ++i) {
    for (const auto& d : damage) {
      SCOPED_TRACE(testing::Message() << "value " << i << ", " << d.what);
      ::RegDeleteTreeW(HKEY_CURRENT_USER, Path().c_str());
      WriteValues(Path(), kStored);
      WriteWindow(Path(), true, kStoredRect);
      test::DeleteRaw(Path(), kNames[i]);
      if (d.stored) WriteRaw(Path(), kNames[i], *d.stored);

      CSetting s = Before();
      EXPECT_FALSE(s.LoadFrom(Path(), HKEY_CURRENT_USER));
      std::array<std::int32_t, 7> expected = kStored;
      expected[i] = kBefore[i];
      EXPECT_EQ(Fields(s), expected);
      EXPECT_TRUE(s.Window.FullScreen);
      EXPECT_EQ(s.Window.Rectangle, kStoredRect);
    }
  }
}

TEST_F(SettingStoreTest, OutOfRangeValuesAreClamped) {
  const struct {
    std::array<std::uint32_t, 7> stored;
    std::array<std::int32_t, 7> loaded;
  } cases[] = {
      {{0, 0xFFFFFFFF, 0, 50, 1000, 10, 50}, {0, 0, 0, 50, 1000, 10, 50}},  // Edge -1
      {{0, 4, 0, 50, 0, 10, 50}, {0, 4, 0, 50, 1, 10, 50}},                 // RefreshRate 0
      {{3, static_cast<std::uint32_t>(-5), 17, 101, 0, 10000, 70000},
       {3, 0, 16, 100, 1, 9999, 65535}},
      {{1, 0x80000000, 0x7FFFFFFF, 0x80000000, 0x80000000, 0x80000000, 0x7FFFFFFF},
       {1, 0, 16, 0, 1, 0, 65535}},
  };
  for (const auto& c : cases) {
    for (std::size_t i = 0; i < 7; ++i) WriteRaw(Path(), kNames[i], Dword(c.stored[i]));
    WriteWindow(Path(), false, kStoredRect);
    CSetting s;
    // Well-formed values that need clamping are no failure.
    EXPECT_TRUE(s.LoadFrom(Path(), HKEY_CURRENT_USER));
    EXPECT_EQ(Fields(s), c.loaded);
  }
}

TEST_F(SettingStoreTest, UnknownDirectionKeepsTheCurrentSide) {
  for (std::uint32_t stored : {4u, 0xFFFFFFFFu, 0x7FFFFFFFu}) {
    WriteValues(Path(), kStored);
    WriteRaw(Path(), L"Direction", Dword(stored));
    WriteWindow(Path(), false, kStoredRect);
    CSetting s = Before();
    EXPECT_FALSE(s.LoadFrom(Path(), HKEY_CURRENT_USER)) << stored;
    EXPECT_EQ(s.Direction, kBefore[0]);
    EXPECT_EQ(s.Edge, kStored[1]);
  }
}

TEST_F(SettingStoreTest, MissingWindowKeyStillLoadsAndClampsTheValues) {
  WriteValues(Path(), {1, -5, 17, 101, 0, 10000, 70000});
  CSetting s = Before();
  s.Window.FullScreen = true;
  EXPECT_FALSE(s.LoadFrom(Path(), HKEY_CURRENT_USER));
  EXPECT_EQ(Fields(s), (std::array<std::int32_t, 7>{1, 0, 16, 100, 1, 9999, 65535}));
  EXPECT_TRUE(s.Window.FullScreen);
  EXPECT_EQ(s.Window.Rectangle, kBeforeRect);
  EXPECT_FALSE(test::KeyExists(WindowPath(Path())));  // a load creates nothing
}

TEST_F(SettingStoreTest, DamagedPlacementValueKeepsTheRectangleAndTheLoadSucceeds) {
  WriteValues(Path(), kStored);
  WriteWindow(Path(), true, kStoredRect);
  test::DeleteRaw(WindowPath(Path()), L"Bottom");
  CSetting s = Before();
  EXPECT_TRUE(s.LoadFrom(Path(), HKEY_CURRENT_USER));
  EXPECT_EQ(Fields(s), kStored);
  EXPECT_TRUE(s.Window.FullScreen);
  EXPECT_EQ(s.Window.Rectangle, kBeforeRect);
}

// Whatever a load finds, it only reads: a damaged store is exactly as the
// user left it afterwards.
TEST_F(SettingStoreTest, LoadNeverChangesTheStore) {
  WriteValues(Path(), kStored);
  WriteRaw(Path(), L"Edge", String(L"twelve"));
  WriteRaw(Path(), L"RefreshRate", Bytes(REG_QWORD, 8, 1));
  WriteRaw(Path(), L"ThinEdge", Bytes(REG_DWORD, 2, 1));
  WriteRaw(Path(), L"TransparentEdge", Dword(0xFFFFFFFF));  // clamped in memory only
  WriteRaw(Path(), L"Direction", Dword(9));
  WriteRaw(Path(), L"Unrelated", String(L"kept"));
  WriteWindow(Path(), true, kStoredRect);
  WriteRaw(WindowPath(Path()), L"FullScreen", Dword(7));
  test::DeleteRaw(WindowPath(Path()), L"Top");

  const auto before = Snapshot(Path());
  ASSERT_FALSE(before.empty());
  CSetting s;
  EXPECT_FALSE(s.LoadFrom(Path(), HKEY_CURRENT_USER));
  EXPECT_EQ(Snapshot(Path()), before);
  EXPECT_EQ(s.TransparentEdge, 0);
}

void CreateVolatileKey(const std::wstring& path) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                              KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ::RegCloseKey(key);
}

// A volatile key cannot hold the stored (non-volatile) keys below it, which
// makes creating them fail the way a damaged or locked store would.
TEST_F(SettingStoreTest, SaveReportsAKeyThatCannotBeCreated) {
  CreateVolatileKey(Path());
  EXPECT_FALSE(WithFields(kStored).SaveTo(Path() + L"\\Setting", HKEY_CURRENT_USER));
  EXPECT_FALSE(test::KeyExists(Path() + L"\\Setting"));
}

TEST_F(SettingStoreTest, SaveReportsAPlacementThatCouldNotBeWritten) {
  CreateVolatileKey(Path());  // opens as the settings key; "Window" cannot go below it
  EXPECT_FALSE(WithFields(kStored).SaveTo(Path(), HKEY_CURRENT_USER));
  // The seven values were still written, each whole.
  for (std::size_t i = 0; i < 7; ++i)
    EXPECT_EQ(ReadRaw(Path(), kNames[i]), Dword(static_cast<std::uint32_t>(kStored[i]))) << i;
  EXPECT_FALSE(test::KeyExists(WindowPath(Path())));
}

}  // namespace
}  // namespace vl
