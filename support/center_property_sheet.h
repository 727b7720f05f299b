// CCenterPropertySheet: a sheet mixin that centres the sheet on its owner the
// first time it is shown, and leaves it where the user puts it after that.
// Chain it from the sheet's message map.
#pragma once

#include <windows.h>

#include "framework/message_map.h"
#include "support/window_utils.h"

namespace my {

template <class T>
class CCenterPropertySheet {
 public:
  bool m_bCentered = false;

  bool ProcessWindowMessage(HWND, UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
    fw::CMessageMap map(m_bMsgHandled, result);
    if (msg == WM_SHOWWINDOW && wParam && !m_bCentered)
      map.PassOn([&] {
        m_bCentered = true;
        CWindowW(static_cast<T*>(this)->m_hWnd).CenterWindow();
      });
    return false;
  }

 protected:
  FW_HANDLED_FLAG
};

}  // namespace my

// The name the rest of the program uses.
using my::CCenterPropertySheet;
