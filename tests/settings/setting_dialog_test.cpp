// The settings page's combo helpers on a real combo box, and the real sheet
// driven through its controls while its own modal loop runs.
#include "settings/setting_dialog.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <string>
#include <vector>

#include "settings/setting.h"
#include "tests/settings/modal_script.h"

namespace vl {
namespace {

using test::CModalScript;
using test::FindDialog;
using test::TextOf;

std::vector<std::wstring> ListItems(HWND combo) {
  std::vector<std::wstring> items;
  const auto count = ::SendMessageW(combo, CB_GETCOUNT, 0, 0);
  for (WPARAM i = 0; i < static_cast<WPARAM>(count); ++i) {
    std::wstring text(static_cast<std::size_t>(::SendMessageW(combo, CB_GETLBTEXTLEN, i, 0)) + 1,
                      L'\0');
    text.resize(static_cast<std::size_t>(
        ::SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()))));
    items.push_back(text);
  }
  return items;
}

// Whether a balloon tip of this thread is showing (the edit field's own, or
// the page's where the field cannot show one).
bool TipShowing() {
  bool found = false;
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND hwnd, LPARAM param) -> BOOL {
        wchar_t name[32] = L"";
        ::GetClassNameW(hwnd, name, 32);
        if (std::wstring(name) == TOOLTIPS_CLASSW && ::IsWindowVisible(hwnd))
          *reinterpret_cast<bool*>(param) = true;
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

class ComboTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_parent = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr,
                                 nullptr, nullptr);
    m_combo = ::CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | CBS_DROPDOWN | WS_VSCROLL, 0, 0,
                                100, 150, m_parent, nullptr, nullptr, nullptr);
    ASSERT_NE(m_combo, nullptr);
  }
  void TearDown() override { ::DestroyWindow(m_parent); }

  HWND m_parent = nullptr, m_combo = nullptr;
};

TEST_F(ComboTest, AddNumberRangeCountsTowardTheEndAndNoFurther) {
  using Items = std::vector<std::wstring>;
  const struct {
    std::int32_t first, last, step;
    int decimals;
    Items items;
  } cases[] = {
      {0, 3, 1, 0, {L"0", L"1", L"2", L"3"}},
      {10, 35, 10, 0, {L"10", L"20", L"30"}},  // the last step would pass the end
      {100, 250, 50, 2, {L"1", L"1.5", L"2", L"2.5"}},
      {5, 1, -2, 0, {L"5", L"3", L"1"}},
      {1, 5, -1, 0, {}},  // leads away
      {5, 1, 1, 0, {}},
      {1, 5, 0, 0, {}},  // leads nowhere
      {7, 7, 0, 0, {L"7"}},
      {INT_MAX - 1, INT_MAX, 5, 0, {L"2147483646"}},  // no wrap past the limit
      {INT_MIN + 1, INT_MIN, -1, 0, {L"-2147483647", L"-2147483648"}},
  };
  for (const auto& c : cases) {
    ::SendMessageW(m_combo, CB_RESETCONTENT, 0, 0);
    CSettingPage1::AddNumberRange(m_combo, c.first, c.last, c.step, c.decimals);
    EXPECT_EQ(ListItems(m_combo), c.items) << c.first << ".." << c.last << " by " << c.step;
  }
}

// The combos in the order the page fills and reads them, with their fields.
constexpr struct {
  int id;
  std::int32_t CSetting::*field;
} kCombos[] = {
    {IDC_REFRESH_RATE, &CSetting::RefreshRate},
    {IDC_ENTIRE_REFRESH_RATE, &CSetting::EntireRefreshRate},
    {IDC_AROUND_CURSOR_DISTANCE, &CSetting::AroundCursorDistance},
    {IDC_THIN_EDGE, &CSetting::ThinEdge},
    {IDC_EDGE, &CSetting::Edge},
    {IDC_TRANSPARENT_EDGE, &CSetting::TransparentEdge},
};

class SettingSheetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_saved = g_setting;
    m_owner = ::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 500, 300, 300, 200,
                                nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(m_owner, nullptr);
  }
  void TearDown() override {
    ::DestroyWindow(m_owner);
    g_setting = m_saved;
  }

  // Opens the sheet, lets each step act on the sheet and its page, one tick
  // after the other while the sheet is open, and runs until it has closed.
  using Step = std::function<void(HWND sheet, HWND page)>;
  void RunSheet(const std::vector<Step>& steps) {
    CSettingDlg sheet(m_owner);
    std::vector<CModalScript::Step> script;
    for (const Step& step : steps)
      script.push_back([&] {
        const HWND found = FindDialog(m_owner);
        if (!found) return false;
        step(found, reinterpret_cast<HWND>(::SendMessageW(found, PSM_GETCURRENTPAGEHWND, 0, 0)));
        return true;
      });
    CModalScript running(script);
    sheet.DoModal();
    EXPECT_TRUE(running.Finished());
  }
  void RunSheet(const Step& work) { RunSheet(std::vector<Step>{work}); }

  static void Press(HWND sheet, int button) {
    ::SendMessageW(::GetDlgItem(sheet, button), BM_CLICK, 0, 0);
  }

  CSetting m_saved;
  HWND m_owner = nullptr;
};

TEST_F(SettingSheetTest, OpensShowingTheRecordAndTheSuggestions) {
  g_setting = CSetting{};
  std::vector<std::wstring> shown, firstItems, lastItems;
  std::vector<std::size_t> counts;
  std::wstring caption, tab;
  bool applyShown = true, helpButton = true;
  RunSheet([&](HWND sheet, HWND page) {
    for (const auto& c : kCombos) {
      const HWND combo = ::GetDlgItem(page, c.id);
      shown.push_back(TextOf(combo));
      const auto items = ListItems(combo);
      counts.push_back(items.size());
      firstItems.push_back(items.empty() ? L"" : items.front());
      lastItems.push_back(items.empty() ? L"" : items.back());
    }
    caption = TextOf(sheet);
    wchar_t title[32] = L"";
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = title;
    item.cchTextMax = 32;
    ::SendMessageW(reinterpret_cast<HWND>(::SendMessageW(sheet, PSM_GETTABCONTROL, 0, 0)),
                   TCM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    tab = title;
    const HWND apply = ::GetDlgItem(sheet, 0x3021);  // the sheet's own Apply button
    applyShown = apply && ::IsWindowVisible(apply);
    helpButton = (::GetWindowLongW(sheet, GWL_EXSTYLE) & WS_EX_CONTEXTHELP) != 0;
    Press(sheet, IDCANCEL);
  });
  using Texts = std::vector<std::wstring>;
  EXPECT_EQ(shown, (Texts{L"10", L"10", L"50", L"0", L"4", L"50"}));
  EXPECT_EQ(counts, (std::vector<std::size_t>{10, 20, 20, 17, 17, 11}));
  EXPECT_EQ(firstItems, (Texts{L"1", L"0", L"0", L"0", L"0", L"0"}));
  EXPECT_EQ(lastItems, (Texts{L"30", L"100", L"100", L"16", L"16", L"100"}));
  EXPECT_EQ(caption, L"Setting");
  EXPECT_EQ(tab, L"General");
  EXPECT_FALSE(applyShown);
  EXPECT_FALSE(helpButton) << "a \"?\" in the caption with no help behind it";
}

TEST_F(SettingSheetTest, OkStoresTheEntriesClampedOrNoneWhileOneIsNotANumber) {
  // The record before each run; a rejected entry keeps all of it.
  CSetting start;
  start.RefreshRate = 1234;
  start.EntireRefreshRate = 11;
  start.AroundCursorDistance = 22;
  start.ThinEdge = 3;
  start.Edge = 5;
  start.TransparentEdge = 44;
  constexpr int kNone = -1;
  const std::wstring manyNines(5000, L'9'), manyLetters(20000, L'a');
  const struct {
    std::wstring entries[6];  // in kCombos order
    int rejected;             // the first entry that is not a number
    std::int32_t stored[6];
  } cases[] = {
      {{L"  29.97  ", L"12345", L"70000", L"17", L"-1", L"250"},
       kNone,
       {2997, 9999, 65535, 16, 0, 100}},
      {{L"-3", L"-5", L"0.5", L"12.9", L"7.", L"+3"}, kNone, {1, 0, 0, 12, 7, 3}},
      {{L"60", L"", manyNines, L" \r\n", L"\x3000", L"0"}, kNone, {5000, 0, 65535, 0, 0, 0}},
      // Full-width, as a Japanese input method types: 29.97, 12, 3 with blanks, -1.
      {{L"\xFF12\xFF19\xFF0E\xFF19\xFF17", L"\xFF11\xFF12", L"\x3000\xFF13\x3000", L"\xFF0D\xFF11",
        L"\xFF18", L"\xFF11\xFF10\xFF10"},
       kNone,
       {2997, 12, 3, 0, 8, 100}},
      {{L"", L"0", L"0", L"0", L"0", L"0"}, kNone, {1, 0, 0, 0, 0, 0}},
      // Beyond the 32-bit range, or beyond it once scaled: brought into range.
      {{L"0.001", L"99999999999", L"0", L"0", L"0", L"0"}, kNone, {1, 9999, 0, 0, 0, 0}},
      {{L"99999999", L"0", L"0", L"0", L"0", L"0"}, kNone, {5000, 0, 0, 0, 0, 0}},
      {{L"-99999999", L"0", L"0", L"0", L"0", L"0"}, kNone, {1, 0, 0, 0, 0, 0}},
      {{L"0", L"9", L"abc", L"", L"+3", L"1e3"}, 2, {}},
      {{L"1,5", L"1", L"1", L"1", L"1", L"1"}, 0, {}},  // a decimal comma
      {{L"5", L"10/s", L"1", L"1", L"1", L"1"}, 1, {}},
      {{L"5", L"1", L"1", L"1", L"1", L"\x0661\x0662"}, 5, {}},
      {{L"5", L"1", L"1", L"1", L"--1", L"1,000"}, 4, {}},
      {{L"1", L"+-1", L".5", L"12a", manyLetters, L"100"}, 1, {}},
      {{L"1", L"1", L"1", L"1", manyLetters, L"100"}, 4, {}},
      {{L"99999999999", L"9", L"8", L"7", L"6", L"5"}, kNone, {5000, 9, 8, 7, 6, 5}},
  };
  for (const auto& c : cases) {
    g_setting = start;
    HWND focus = nullptr, rejectedEdit = nullptr;
    DWORD selStart = 1, selEnd = 0;
    bool tipShown = false;
    std::wstring keptText;
    std::vector<Step> steps = {[&](HWND sheet, HWND page) {
      for (std::size_t i = 0; i < 6; ++i)
        ::SetWindowTextW(::GetDlgItem(page, kCombos[i].id), c.entries[i].c_str());
      Press(sheet, IDOK);
    }};
    if (c.rejected != kNone)
      steps.push_back([&](HWND sheet, HWND page) {  // still open a tick later
        const HWND combo = ::GetDlgItem(page, kCombos[c.rejected].id);
        rejectedEdit = ::FindWindowExW(combo, nullptr, L"Edit", nullptr);
        focus = ::GetFocus();
        ::SendMessageW(rejectedEdit, EM_GETSEL, reinterpret_cast<WPARAM>(&selStart),
                       reinterpret_cast<LPARAM>(&selEnd));
        keptText = TextOf(::GetDlgItem(page, kCombos[5].id));
        tipShown = TipShowing();
        Press(sheet, IDCANCEL);
      });
    RunSheet(steps);
    for (std::size_t i = 0; i < 6; ++i) {
      const std::int32_t expected = c.rejected == kNone ? c.stored[i] : start.*kCombos[i].field;
      EXPECT_EQ(g_setting.*kCombos[i].field, expected)
          << "combo " << kCombos[i].id << " length " << c.entries[i].size();
    }
    if (c.rejected != kNone) {
      // The entry to mend has the keyboard, its text selected; what the user
      // typed elsewhere is still there.
      EXPECT_EQ(focus, rejectedEdit) << c.rejected;
      EXPECT_EQ(selStart, 0u);
      EXPECT_EQ(selEnd, c.entries[c.rejected].size());
      EXPECT_EQ(keptText, c.entries[5]);
      EXPECT_TRUE(tipShown);
      EXPECT_FALSE(TipShowing()) << "the tip goes with the sheet";
    }
  }
}

// Selects the combo's text and types over it, key by key, as a user does.
void TypeInto(HWND combo, const std::wstring& text) {
  const HWND edit = ::FindWindowExW(combo, nullptr, L"Edit", nullptr);
  ::SendMessageW(edit, EM_SETSEL, 0, -1);
  for (wchar_t c : text) ::SendMessageW(edit, WM_CHAR, c, 1);
}

TEST_F(SettingSheetTest, TypedAndPickedEntriesAreStored) {
  RunSheet([&](HWND sheet, HWND page) {
    // Typed, blanks included: the whole text, however narrow the field.
    TypeInto(::GetDlgItem(page, IDC_REFRESH_RATE), L" 29.97 ");
    TypeInto(::GetDlgItem(page, IDC_AROUND_CURSOR_DISTANCE), L"  12345  ");
    // Typed while the list is open: what the field shows ("1"), not the
    // item the typing selected in the list ("10", the first that starts so).
    const HWND band = ::GetDlgItem(page, IDC_TRANSPARENT_EDGE);
    ::SendMessageW(band, CB_SHOWDROPDOWN, TRUE, 0);
    TypeInto(band, L"1");
    ::SendMessageW(band, CB_SHOWDROPDOWN, FALSE, 0);
    // Picked from the lists.
    ::SendMessageW(::GetDlgItem(page, IDC_THIN_EDGE), CB_SETCURSEL, 12, 0);  // "12"
    ::SendMessageW(::GetDlgItem(page, IDC_EDGE), CB_SETCURSEL, 6, 0);        // "6"
    Press(sheet, IDOK);
  });
  EXPECT_EQ(g_setting.RefreshRate, 2997);
  EXPECT_EQ(g_setting.AroundCursorDistance, 12345);
  EXPECT_EQ(g_setting.TransparentEdge, 1);
  EXPECT_EQ(g_setting.ThinEdge, 12);
  EXPECT_EQ(g_setting.Edge, 6);
}

TEST_F(SettingSheetTest, CancelEscapeAndTheCloseBoxStoreNothing) {
  const std::function<void(HWND)> closers[] = {
      [](HWND sheet) { Press(sheet, IDCANCEL); },
      [](HWND) { test::PressKey(VK_ESCAPE); },
      [](HWND sheet) { ::PostMessageW(sheet, WM_SYSCOMMAND, SC_CLOSE, 0); },
  };
  for (const auto& close : closers) {
    g_setting = CSetting{};
    RunSheet([&](HWND sheet, HWND page) {
      for (const auto& c : kCombos) ::SetWindowTextW(::GetDlgItem(page, c.id), L"7");
      close(sheet);
    });
    const CSetting defaults;
    for (const auto& c : kCombos) EXPECT_EQ(g_setting.*c.field, defaults.*c.field) << c.id;
  }
}

}  // namespace
}  // namespace vl
