// The two commands that open modal dialogs. Both run a nested loop on this
// thread, in which the mirror keeps getting its ticks.
#include "app/ui_window.h"
#include "settings/about_dialog.h"
#include "settings/setting_dialog.h"
#include "support/resource_string.h"

namespace vl {

void CUIWindow::OnSetting() {
  CSettingDlg sheet;
  sheet.DoModal(::GetActiveWindow());  // OK or not, the record is saved and carried over below
  ApplySettings();
}

void CUIWindow::OnAbout() {
  CAboutDlg dialog;
  dialog.DoModal(::GetActiveWindow(), my::ResourceInstance());
}

}  // namespace vl
