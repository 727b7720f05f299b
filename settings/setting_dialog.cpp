#include "settings/setting_dialog.h"

#include <commctrl.h>

#include <cstdint>
#include <iterator>
#include <span>
#include <string>

#include "settings/fixed_point.h"
#include "settings/setting.h"
#include "support/resource_string.h"
#include "support/window_utils.h"

namespace vl {

namespace {

struct NumberRange {
  std::int32_t first, last, step;
};

// One combo of the page and the field it edits.
struct ComboField {
  int id;
  std::int32_t CSetting::*field;
  int decimals;  // fraction digits the field carries
  CSetting::Bounds bounds;
  std::span<const wchar_t* const> fixedSuggestions;
  std::span<const NumberRange> rangeSuggestions;
};

constexpr const wchar_t* kRefreshRates[] = {L"1",  L"2",  L"3",  L"4",     L"5",
                                            L"10", L"15", L"20", L"29.97", L"30"};
constexpr NumberRange kUpToHundred[] = {{0, 9, 1}, {10, 100, 10}};
constexpr NumberRange kEdgeWidths[] = {{0, 16, 1}};
constexpr NumberRange kBandWidths[] = {{0, 100, 10}};

// In the order the combos are filled and read.
using S = CSetting;
constexpr ComboField kFields[] = {
    {IDC_REFRESH_RATE, &S::RefreshRate, 2, S::kRefreshRate, kRefreshRates, {}},
    {IDC_ENTIRE_REFRESH_RATE, &S::EntireRefreshRate, 0, S::kEntireRefreshRate, {}, kUpToHundred},
    {IDC_AROUND_CURSOR_DISTANCE,
     &S::AroundCursorDistance,
     0,
     S::kAroundCursorDistance,
     {},
     kUpToHundred},
    {IDC_THIN_EDGE, &S::ThinEdge, 0, S::kThinEdge, {}, kEdgeWidths},
    {IDC_EDGE, &S::Edge, 0, S::kEdge, {}, kEdgeWidths},
    {IDC_TRANSPARENT_EDGE, &S::TransparentEdge, 0, S::kTransparentEdge, {}, kBandWidths},
};

std::wstring ResourceText(UINT id) {
  std::wstring text;
  my::LoadResourceString(text, id, false);  // a missing title only leaves it blank
  return text;
}

void AddItem(HWND combo, const wchar_t* text) {
  ::SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
}

}  // namespace

CSettingPage1::CSettingPage1()
    : CPropertyPageImpl(ResourceText(IDS_SETTING_PAGE1_TITLE), my::ResourceInstance()) {}

bool CSettingPage1::ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                         LRESULT& result) {
  fw::CMessageMap map(m_bMsgHandled, result);
  if (msg == WM_INITDIALOG && map.Handle([&] { return OnInitDialog(); })) return true;
  // The tip of a rejected entry goes once the user acts on any entry.
  if ((msg == WM_COMMAND && (HIWORD(wParam) == CBN_EDITCHANGE || HIWORD(wParam) == CBN_SELCHANGE ||
                             HIWORD(wParam) == CBN_KILLFOCUS)) ||
      msg == WM_DESTROY)
    map.PassOn([&] { m_tip.Hide(); });
  // CPropertyPageImpl: WM_NOTIFY from the sheet, PSN_APPLY (OnApply) and
  // PSN_RESET (OnReset), handled.
  if (map.Chain<CPropertyPageImpl>(*this, hwnd, msg, wParam, lParam)) return true;
  return false;
}

BOOL CSettingPage1::OnInitDialog() {
  for (const ComboField& f : kFields) {
    const HWND combo = GetDlgItem(f.id);
    for (const wchar_t* text : f.fixedSuggestions) AddItem(combo, text);
    for (const NumberRange& r : f.rangeSuggestions)
      AddNumberRange(combo, r.first, r.last, r.step, f.decimals);
    ShowValue(combo, g_setting.*f.field, f.decimals);
  }
  return TRUE;  // the dialog manager puts the focus on the first control
}

int CSettingPage1::OnApply() {
  // All six read, or none is stored: the sheet stays open with every entry
  // as typed, so fixing one loses none of the others.
  std::int32_t values[std::size(kFields)] = {};
  for (std::size_t i = 0; i < std::size(kFields); ++i) {
    const HWND combo = GetDlgItem(kFields[i].id);
    if (!ReadValue(combo, kFields[i].decimals, values[i])) {
      ShowNotANumber(combo);
      return PSNRET_INVALID_NOCHANGEPAGE;
    }
  }
  for (std::size_t i = 0; i < std::size(kFields); ++i)
    g_setting.*kFields[i].field = CSetting::Clamp(values[i], kFields[i].bounds);
  return PSNRET_NOERROR;
}

void CSettingPage1::ShowNotANumber(HWND combo) {
  COMBOBOXINFO info{};
  info.cbSize = sizeof info;
  const HWND edit = ::GetComboBoxInfo(combo, &info) ? info.hwndItem : combo;
  ::SetFocus(edit);
  ::SendMessageW(edit, EM_SETSEL, 0, -1);
  const std::wstring title = ResourceText(IDS_NOT_A_NUMBER_TITLE),
                     text = ResourceText(IDS_NOT_A_NUMBER_TEXT);
  EDITBALLOONTIP tip{};
  tip.cbStruct = sizeof tip;
  tip.pszTitle = title.c_str();
  tip.pszText = text.c_str();
  tip.ttiIcon = TTI_WARNING;
  if (!::SendMessageW(edit, EM_SHOWBALLOONTIP, 0, reinterpret_cast<LPARAM>(&tip)))
    m_tip.Show(edit, title, text);
}

void CSettingPage1::CEntryTip::Show(HWND edit, const std::wstring& title,
                                    const std::wstring& text) {
  Hide();
  m_hWnd = ::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                             WS_POPUP | TTS_BALLOON | TTS_NOPREFIX | TTS_ALWAYSTIP, 0, 0, 0, 0,
                             edit, nullptr, nullptr, nullptr);
  if (!m_hWnd) return;  // the focus on the entry still tells where to look
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_TRACK | TTF_ABSOLUTE | TTF_IDISHWND;
  tool.hwnd = edit;
  tool.uId = reinterpret_cast<UINT_PTR>(edit);
  tool.lpszText = const_cast<wchar_t*>(text.c_str());  // copied by the tip
  ::SendMessageW(m_hWnd, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  ::SendMessageW(m_hWnd, TTM_SETMAXTIPWIDTH, 0, 300);
  ::SendMessageW(m_hWnd, TTM_SETTITLEW, TTI_WARNING, reinterpret_cast<LPARAM>(title.c_str()));
  RECT r{};
  ::GetWindowRect(edit, &r);
  // The stem points at the entry's lower edge, a little way in.
  ::SendMessageW(m_hWnd, TTM_TRACKPOSITION, 0, MAKELPARAM(r.left + 10, r.bottom));
  ::SendMessageW(m_hWnd, TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
}

void CSettingPage1::CEntryTip::Hide() noexcept {
  // The sheet may have taken it with it already: it is owned by the sheet.
  if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
  m_hWnd = nullptr;
}

void CSettingPage1::AddNumberRange(HWND combo, std::int32_t first, std::int32_t last,
                                   std::int32_t step, int decimals) {
  if (first != last && (step == 0 || (step > 0) != (first < last))) return;
  // 64 bits, so a range ending near the 32-bit limits stops instead of wrapping.
  for (std::int64_t n = first; step >= 0 ? n <= last : n >= last; n += step) {
    AddItem(combo, FormatFixedPoint(static_cast<std::int32_t>(n), decimals, false).c_str());
    if (step == 0) break;
  }
}

void CSettingPage1::ShowValue(HWND combo, std::int32_t value, int decimals) {
  CWindowW(combo).SetText(FormatFixedPoint(value, decimals, false), true);
}

bool CSettingPage1::ReadValue(HWND combo, int decimals, std::int32_t& out) {
  try {
    // What the field shows, and only that. A selected list item is not read
    // on its own: while the list is dropped down, typing moves the selection
    // to the item nearest the typed text, which then differs from the text
    // the field shows. Picking an item puts its text into the field.
    std::wstring text;
    CWindowW(combo).GetText(text, false);
    return ReadFixedPointEntry(text, decimals, out);
  } catch (...) {
    return false;  // out of memory for the text: treated as an entry that does not read
  }
}

CSettingDlg::CSettingDlg(HWND parent)
    : CPropertySheetImpl(ResourceText(IDS_SETTING_CAPTION), 0, parent, my::ResourceInstance()) {
  // OK and Cancel only, and no "?" in the caption: there is no help to show.
  m_psh.dwFlags |= PSH_NOAPPLYNOW | PSH_NOCONTEXTHELP;
  AddPage(m_page1.Create());
}

bool CSettingDlg::ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                       LRESULT& result) {
  fw::CMessageMap map(m_bMsgHandled, result);
  // CCenterPropertySheet: the first WM_SHOWWINDOW (centres the sheet, passes on).
  if (map.Chain<CCenterPropertySheet<CSettingDlg>>(*this, hwnd, msg, wParam, lParam)) return true;
  return false;
}

}  // namespace vl
