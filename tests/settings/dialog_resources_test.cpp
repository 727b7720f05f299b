// The dialog templates in both languages: each language's template is made
// into a real dialog and its controls are read back.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "res/resource.h"
#include "support/resource_string.h"
#include "tests/settings/modal_script.h"

namespace {

constexpr WORD kEnglish = MAKELANGID(VL_LANG_ENGLISH, VL_SUBLANG_ENGLISH);
constexpr WORD kJapanese = MAKELANGID(VL_LANG_JAPANESE, VL_SUBLANG_JAPANESE);

struct Control {
  std::wstring text;
  LONG style;
};

// The controls of dialog `id` as stored under `language`, by id; unnamed
// statics are only counted.
struct Template {
  bool found = false;
  std::map<int, Control> named;
  int count = 0;
};

Template ReadTemplate(UINT id, WORD language) {
  Template result;
  const HMODULE module = my::ResourceInstance();
  const HRSRC found = ::FindResourceExW(module, RT_DIALOG, MAKEINTRESOURCEW(id), language);
  if (!found) return result;
  const auto* data = static_cast<const DLGTEMPLATE*>(::LockResource(::LoadResource(module, found)));
  const HWND parent = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                        nullptr, nullptr);
  const HWND dialog = ::CreateDialogIndirectParamW(
      module, data, parent, [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
  result.found = dialog != nullptr;
  for (HWND c = ::GetWindow(dialog, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
    ++result.count;
    const int controlId = ::GetDlgCtrlID(c);
    if (controlId != IDC_STATIC && controlId != 0xFFFF)
      result.named[controlId] = {vl::test::TextOf(c), ::GetWindowLongW(c, GWL_STYLE)};
  }
  ::DestroyWindow(parent);  // takes the page (a child) with it
  if (::IsWindow(dialog)) ::DestroyWindow(dialog);
  return result;
}

TEST(DialogResources, BothLanguagesCarryThePageWithItsSixCombos) {
  const struct {
    WORD language;
    int controls;
  } cases[] = {{kEnglish, 24}, {kJapanese, 23}};
  for (const auto& c : cases) {
    Template page = ReadTemplate(IDD_SETTING_PAGE1, c.language);
    ASSERT_TRUE(page.found) << c.language;
    EXPECT_EQ(page.count, c.controls) << c.language;
    EXPECT_EQ(page.named.size(), 6u) << c.language;
    for (int id : {IDC_EDGE, IDC_THIN_EDGE, IDC_TRANSPARENT_EDGE, IDC_REFRESH_RATE,
                   IDC_ENTIRE_REFRESH_RATE, IDC_AROUND_CURSOR_DISTANCE}) {
      // (The combo hands WS_VSCROLL on to its list, so it is not read back here.)
      const LONG wanted = CBS_DROPDOWN | WS_TABSTOP;
      EXPECT_EQ(page.named[id].style & (wanted | CBS_DROPDOWNLIST), wanted) << id;
    }
  }
}

TEST(DialogResources, BothLanguagesCarryTheAboutDialogWithTheirOwnHomePage) {
  const struct {
    WORD language;
    const wchar_t* address;
  } cases[] = {{kEnglish, L"https://vellora.korvane.net/"},
               {kJapanese, L"https://vellora.korvane.net/ja/"}};
  for (const auto& c : cases) {
    Template about = ReadTemplate(IDD_ABOUT, c.language);
    ASSERT_TRUE(about.found) << c.language;
    EXPECT_EQ(about.count, 6) << c.language;
    EXPECT_EQ(about.named[IDC_ABOUT_LINK].text, c.address);
    EXPECT_NE(about.named[IDC_ABOUT_LINK].style & SS_NOTIFY, 0) << "the link reports clicks";
    EXPECT_EQ(about.named[IDOK].style & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  }
}

}  // namespace
