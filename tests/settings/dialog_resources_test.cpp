// The dialog templates in both languages: each language's template is made
// into a real dialog and its controls are read back.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>

#include "render/gdi.h"

#include "res/resource.h"
#include "support/resource_string.h"
#include "tests/settings/modal_script.h"

namespace {

constexpr WORD kEnglish = MAKELANGID(VL_LANG_ENGLISH, VL_SUBLANG_ENGLISH);
constexpr WORD kJapanese = MAKELANGID(VL_LANG_JAPANESE, VL_SUBLANG_JAPANESE);

// UTF-8, for the failure messages.
std::string Narrow(const std::wstring& text) {
  std::string out(
      static_cast<std::size_t>(::WideCharToMultiByte(
          CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr)),
      '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(),
                        static_cast<int>(out.size()), nullptr, nullptr);
  return out;
}

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

// Makes dialog `id` as stored under `language` into a real, hidden dialog and
// shows it to `look`; false when there is no such template.
template <class Look>
bool WithDialog(UINT id, WORD language, Look&& look) {
  const HMODULE module = my::ResourceInstance();
  const HRSRC found = ::FindResourceExW(module, RT_DIALOG, MAKEINTRESOURCEW(id), language);
  if (!found) return false;
  const auto* data = static_cast<const DLGTEMPLATE*>(::LockResource(::LoadResource(module, found)));
  const HWND parent = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                        nullptr, nullptr);
  const HWND dialog = ::CreateDialogIndirectParamW(
      module, data, parent, [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
  if (dialog) look(dialog);
  ::DestroyWindow(parent);  // takes the page (a child) with it
  if (::IsWindow(dialog)) ::DestroyWindow(dialog);
  return dialog != nullptr;
}

Template ReadTemplate(UINT id, WORD language) {
  Template result;
  result.found = WithDialog(id, language, [&](HWND dialog) {
    for (HWND c = ::GetWindow(dialog, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
      ++result.count;
      const int controlId = ::GetDlgCtrlID(c);
      if (controlId != IDC_STATIC && controlId != 0xFFFF)
        result.named[controlId] = {vl::test::TextOf(c), ::GetWindowLongW(c, GWL_STYLE)};
    }
  });
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

// Every static text fits its control, drawn with the control's font as the
// control draws it (word-wrapped), with room to spare in width for the
// system's own fonts, which may be a little wider than Wine's.
TEST(DialogResources, EveryStaticTextFitsItsControlInBothLanguages) {
  // ctest runs this again for a Japanese user, whose system puts other fonts
  // in for the templates' "MS Shell Dlg": that run must really be Japanese.
  if (const char* locale = std::getenv("LC_ALL"); locale && std::string(locale).starts_with("ja")) {
    ASSERT_EQ(PRIMARYLANGID(::GetUserDefaultUILanguage()), LANG_JAPANESE)
        << "no Japanese user interface: is the host's ja_JP.UTF-8 locale there?";
  }
  for (UINT id : {UINT{IDD_SETTING_PAGE1}, UINT{IDD_ABOUT}}) {
    for (WORD language : {kEnglish, kJapanese}) {
      const bool found = WithDialog(id, language, [&](HWND dialog) {
        for (HWND c = ::GetWindow(dialog, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
          wchar_t name[16] = L"";
          ::GetClassNameW(c, name, 16);
          const LONG style = ::GetWindowLongW(c, GWL_STYLE);
          const std::wstring text = vl::test::TextOf(c);
          if (_wcsicmp(name, L"Static") != 0 || (style & SS_TYPEMASK) > SS_RIGHT || text.empty())
            continue;
          RECT client{};
          ::GetClientRect(c, &client);
          const auto dc = vl::gdi::CWindowDC::Client(c);
          const vl::gdi::CSelectObject font(
              dc.Get(), reinterpret_cast<HGDIOBJ>(::SendMessageW(c, WM_GETFONT, 0, 0)));
          const LONG width = client.right * 95 / 100 - 2;
          RECT drawn{0, 0, width, 0};
          ::DrawTextW(
              dc.Get(), text.c_str(), -1, &drawn,
              DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | (style & SS_NOPREFIX ? DT_NOPREFIX : 0));
          EXPECT_TRUE(drawn.right <= width && drawn.bottom <= client.bottom)
              << "dialog " << id << " language " << std::hex << language << std::dec << ": \""
              << Narrow(text) << "\" needs " << drawn.right << " x " << drawn.bottom << ", has "
              << client.right << " x " << client.bottom;
        }
      });
      EXPECT_TRUE(found) << id << " " << language;
    }
  }
}

}  // namespace
