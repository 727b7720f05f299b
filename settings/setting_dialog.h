// The settings sheet: one page, "General", with an editable drop-down list for
// each of the six numeric settings. OK stores the entries, each clamped to
// its field's bounds, when all of them read as numbers; otherwise the sheet
// stays open on the first that does not, with a tip saying what it takes.
// Cancel stores nothing.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "framework/property_sheet.h"
#include "res/resource.h"
#include "support/center_property_sheet.h"

namespace vl {

class CSettingPage1 : public fw::CPropertyPageImpl<CSettingPage1> {
 public:
  static constexpr UINT IDD = IDD_SETTING_PAGE1;

  CSettingPage1();

  bool ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                            LRESULT& result) override;

  // Reads the six entries into the settings record and lets the sheet close;
  // stores nothing and keeps it open when an entry is not a number.
  int OnApply();

  // Adds first, first + step, ... up to and including last to the combo's
  // list, each with `decimals` fraction digits. Nothing when the step leads
  // away from last (a zero step leads nowhere unless first is last).
  static void AddNumberRange(HWND combo, std::int32_t first, std::int32_t last, std::int32_t step,
                             int decimals);
  // Shows `value` in the combo's edit field; selects no list item.
  static void ShowValue(HWND combo, std::int32_t value, int decimals);
  // The combo's entry as a number with `decimals` fraction digits: the text
  // its field shows, as ReadFixedPointEntry reads it (an empty entry is 0).
  // False (out unchanged) when it is not a number.
  static bool ReadValue(HWND combo, int decimals, std::int32_t& out);

 protected:
  FW_HANDLED_FLAG

 private:
  BOOL OnInitDialog();
  // Puts the focus on the combo's text, selected, and a balloon tip on it.
  void ShowNotANumber(HWND combo);

  // A balloon tip of our own beside an entry, where the edit field cannot
  // show one itself (Wine's cannot). Gone when the user types, leaves the
  // field, or the page goes.
  class CEntryTip {
   public:
    CEntryTip() = default;
    CEntryTip(const CEntryTip&) = delete;
    CEntryTip& operator=(const CEntryTip&) = delete;
    ~CEntryTip() { Hide(); }
    void Show(HWND edit, const std::wstring& title, const std::wstring& text);
    void Hide() noexcept;

   private:
    HWND m_hWnd = nullptr;
  };
  CEntryTip m_tip;
};

class CSettingDlg : public fw::CPropertySheetImpl<CSettingDlg>,
                    public CCenterPropertySheet<CSettingDlg> {
 public:
  // A modal sheet, owned by `parent` or, when that is null, by the window
  // active when it runs.
  explicit CSettingDlg(HWND parent = nullptr);

  bool ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                            LRESULT& result) override;

  CSettingPage1 m_page1;

 protected:
  FW_HANDLED_FLAG
};

}  // namespace vl
