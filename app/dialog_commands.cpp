// The two commands that open modal dialogs. Both run a nested loop on this
// thread, in which the mirror keeps getting its ticks.
#include "app/ui_window.h"

#include <cwchar>
#include <utility>

#include "settings/about_dialog.h"
#include "settings/setting_dialog.h"
#include "support/resource_string.h"

namespace vl {

void CUIWindow::OnSetting() {
  CSettingDlg sheet;
  RunModal([&] { sheet.DoModal(::GetActiveWindow()); });
  ApplySettings();  // OK or not, the record is saved and carried over
  CloseIfAsked();
}

void CUIWindow::OnAbout() {
  CAboutDlg dialog;
  RunModal([&] { dialog.DoModal(::GetActiveWindow(), my::ResourceInstance()); });
  CloseIfAsked();
}

void CUIWindow::CancelDialogs() {
  // Whichever dialog of this thread is open (the sheet's frame and the About
  // box are both dialogs) ends as its Cancel button ends it; posted, so that
  // it ends in its own loop, not inside the message that asked.
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND hwnd, LPARAM) -> BOOL {
        wchar_t name[8] = L"";
        if (::GetClassNameW(hwnd, name, 8) && std::wcscmp(name, L"#32770") == 0)
          ::PostMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
        return TRUE;
      },
      0);
}

void CUIWindow::CloseIfAsked() {
  if (m_nModal == 0 && std::exchange(m_bCloseAsked, false)) PostMessage(WM_CLOSE);
}

}  // namespace vl
