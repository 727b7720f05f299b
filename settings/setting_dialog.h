// The settings sheet: one page, "General", with an editable drop-down list for
// each of the six numeric settings. OK stores every entry that reads as a
// number, clamped to its field's bounds; an entry that does not is left out
// silently. Cancel stores nothing.
#pragma once

#include <windows.h>

#include <cstdint>

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

  // Reads the six entries into the settings record; always lets the sheet close.
  int OnApply();

  // Adds first, first + step, ... up to and including last to the combo's
  // list, each with `decimals` fraction digits. Nothing when the step leads
  // away from last (a zero step leads nowhere unless first is last).
  static void AddNumberRange(HWND combo, std::int32_t first, std::int32_t last, std::int32_t step,
                             int decimals);
  // Shows `value` in the combo's edit field; selects no list item.
  static void ShowValue(HWND combo, std::int32_t value, int decimals);
  // The combo's entry as a number with `decimals` fraction digits: the text
  // its field shows, trimmed. An empty entry is 0. False (out unchanged)
  // when it is not a number.
  static bool ReadValue(HWND combo, int decimals, std::int32_t& out);

 protected:
  FW_HANDLED_FLAG

 private:
  BOOL OnInitDialog();
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
