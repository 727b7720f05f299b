// The About dialog: the program's icon, name, version and maker, and a link to
// the home page that opens in the user's browser.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "framework/dialog.h"
#include "render/gdi.h"
#include "res/resource.h"
#include "support/window_utils.h"

class CAboutDlg : public fw::CDialogImpl<CAboutDlg, CWindowW> {
 public:
  static constexpr UINT IDD = IDD_ABOUT;
  static constexpr int kLinkId = IDC_ABOUT_LINK;

  // Opens an address in the user's browser; false when it could not.
  using LinkOpener = std::function<bool(const std::wstring& address)>;
  static bool OpenInBrowser(const std::wstring& address);

  // How a click on the link opens it; tests put their own here.
  LinkOpener m_openLink = &OpenInBrowser;

  bool ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                            LRESULT& result) override;

 protected:
  FW_HANDLED_FLAG

 private:
  BOOL OnInitDialog();
  // Gives the link the dialog's font, underlined.
  void UnderlineLink();
  LRESULT OnCtlColorStatic(HDC dc, HWND control) const;
  void OpenLink() const;

  vl::gdi::CGdiObject<HFONT> m_linkFont;  // the dialog's font, underlined; kept until we go
};
