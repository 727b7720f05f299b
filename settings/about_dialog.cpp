#include "settings/about_dialog.h"

#include <shellapi.h>

#include <utility>

namespace {

// Posted on a change of scale, to run after the dialog manager has made the
// dialog's font for the new scale.
constexpr UINT kRebuildLinkFont = WM_APP + 1;

// Blue, unless a high-contrast theme is on: pure blue may then be unreadable
// on the theme's background, and the theme has its own colour for links.
COLORREF LinkColour() {
  HIGHCONTRASTW contrast{};
  contrast.cbSize = sizeof contrast;
  const bool high = ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof contrast, &contrast, 0) &&
                    (contrast.dwFlags & HCF_HIGHCONTRASTON);
  return high ? ::GetSysColor(COLOR_HOTLIGHT) : RGB(0, 0, 255);
}

}  // namespace

bool CAboutDlg::OpenInBrowser(const std::wstring& address) {
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof info;
  info.lpFile = address.c_str();  // no verb: the default action, a browser for a web address
  info.nShow = SW_SHOWNORMAL;
  return ::ShellExecuteExW(&info) != FALSE;
}

bool CAboutDlg::ProcessWindowMessage(HWND, UINT msg, WPARAM wParam, LPARAM lParam,
                                     LRESULT& result) {
  fw::CMessageMap map(m_bMsgHandled, result);
  // A handled message ends here; one that passes on (the cursor over anything
  // but the link) goes on to the later entries and the dialog manager.
  switch (msg) {
    case WM_INITDIALOG:
      if (map.Handle([&] { return OnInitDialog(); })) return true;
      break;
    case WM_SETCURSOR:
      if (map.Handle([&] {
            if (reinterpret_cast<HWND>(wParam) != GetDlgItem(kLinkId)) {
              SetMsgHandled(false);
              return FALSE;
            }
            ::SetCursor(::LoadCursorW(nullptr, IDC_HAND));
            return TRUE;
          }))
        return true;
      break;
    case WM_CTLCOLORSTATIC:
      if (map.Handle([&] {
            return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
          }))
        return true;
      break;
    case WM_DPICHANGED:
      // The dialog manager gives every control the new dialog font, the link
      // included; the underlined copy is made again once that is done.
      map.PassOn([&] { PostMessage(kRebuildLinkFont); });
      break;
    case kRebuildLinkFont:
      if (map.Handle([&] {
            UnderlineLink();
            return 0;
          }))
        return true;
      break;
    case WM_COMMAND: {
      const WORD id = LOWORD(wParam);
      // A click only: a double click brings a click and then STN_DBLCLK, and
      // opens the page once.
      if (id == kLinkId && HIWORD(wParam) == STN_CLICKED && map.Handle([&] {
            OpenLink();
            return 0;
          }))
        return true;
      // IDCANCEL is also the Escape key and the close box.
      if ((id == IDOK || id == IDCANCEL) && map.Handle([&] {
            EndDialog(id);
            return 0;
          }))
        return true;
      break;
    }
    default: break;
  }
  return false;
}

BOOL CAboutDlg::OnInitDialog() {
  CenterWindow(GetParent());
  UnderlineLink();
  return TRUE;  // the dialog manager puts the focus on the first control
}

void CAboutDlg::UnderlineLink() {
  const auto font = reinterpret_cast<HFONT>(SendMessage(WM_GETFONT));
  LOGFONTW lf{};
  if (!font || ::GetObjectW(font, sizeof lf, &lf) != sizeof lf) return;
  lf.lfUnderline = TRUE;
  vl::gdi::CGdiObject<HFONT> linkFont(::CreateFontIndirectW(&lf));
  // Without it the link keeps the font it has.
  if (!linkFont) return;
  ::SendMessageW(GetDlgItem(kLinkId), WM_SETFONT, reinterpret_cast<WPARAM>(linkFont.Get()), TRUE);
  m_linkFont = std::move(linkFont);  // the one the link used before goes only now
}

LRESULT CAboutDlg::OnCtlColorStatic(HDC dc, HWND control) const {
  ::SetTextColor(dc, control == GetDlgItem(kLinkId) ? LinkColour() : ::GetSysColor(COLOR_BTNTEXT));
  ::SetBkColor(dc, ::GetSysColor(COLOR_BTNFACE));
  return reinterpret_cast<LRESULT>(::GetSysColorBrush(COLOR_BTNFACE));
}

void CAboutDlg::OpenLink() const {
  std::wstring address;
  CWindowW(GetDlgItem(kLinkId)).GetText(address, true);
  // The dialog stays open either way; a failure has only a beep to tell it.
  if (!m_openLink || !m_openLink(address)) ::MessageBeep(0);
}
