// The text and centring operations of CWindowW.
#include "support/window_utils.h"

#include <string>
#include <utility>

#include "support/monitor.h"
#include "support/resource_string.h"
#include "support/text.h"

namespace my {

bool CWindowW::GetText(std::wstring& out, bool trim) const {
  const int length = ::GetWindowTextLengthW(m_hWnd);
  std::wstring text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, L'\0');
  const int read = ::GetWindowTextW(m_hWnd, text.data(), static_cast<int>(text.size()));
  text.resize(static_cast<std::size_t>(read > 0 ? read : 0));
  if (trim) {
    TrimText(out, text, IsBlankOrReturn);
  } else {
    out = std::move(text);
  }
  return true;
}

bool CWindowW::SetText(const std::wstring& text, bool onlyIfChanged) const {
  if (onlyIfChanged) {
    std::wstring current;
    if (GetText(current, false) && current == text) return true;
  }
  return ::SetWindowTextW(m_hWnd, text.c_str()) != FALSE;
}

bool CWindowW::SetTextFromResource(UINT id, bool onlyIfChanged) const {
  std::wstring text;
  LoadResourceString(text, id, true);
  return SetText(text, onlyIfChanged);
}

bool CWindowW::CenterWindow(HWND centreOn) const {
  const LONG style = GetStyle();
  const bool child = (style & WS_CHILD) != 0;
  if (!centreOn) centreOn = child ? GetParent() : GetOwner();

  RECT own{};
  ::GetWindowRect(m_hWnd, &own);
  const int w = own.right - own.left;
  const int h = own.bottom - own.top;

  RECT area{}, centre{};
  if (!child) {
    if (centreOn) {
      const LONG onStyle = ::GetWindowLongW(centreOn, GWL_STYLE);
      if (!(onStyle & WS_VISIBLE) || (onStyle & WS_MINIMIZE)) centreOn = nullptr;
    }
    const HMONITOR monitor =
        ::MonitorFromWindow(centreOn ? centreOn : m_hWnd, MONITOR_DEFAULTTONEAREST);
    if (!GetWorkArea(monitor, area)) return false;
    if (centreOn) {
      ::GetWindowRect(centreOn, &centre);
    } else {
      centre = area;
    }
  } else {
    const HWND parent = GetParent();
    if (!::GetClientRect(parent, &area) || !::GetClientRect(centreOn, &centre)) return false;
    ::MapWindowPoints(centreOn, parent, reinterpret_cast<POINT*>(&centre), 2);
  }

  const POINT pos = CalcCenteredPos(centre, area, w, h);
  return ::SetWindowPos(m_hWnd, nullptr, pos.x, pos.y, -1, -1,
                        SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE) != FALSE;
}

}  // namespace my
