// CSubMenuImpl: a mixin that gives T's window a right-click menu. It owns a
// loaded menu and, on WM_CONTEXTMENU, shows submenu `subMenuIndex` of it at
// the mouse position; the chosen command reaches T as WM_COMMAND. Chain it
// from T's message map.
#pragma once

#include <windows.h>

#include "framework/message_map.h"
#include "support/menu_handle.h"
#include "support/monitor.h"
#include "support/resource_string.h"

namespace my {

template <class T>
class CSubMenuImpl {
 public:
  int subMenuIndex = 0;  // position of the submenu to show, inside `menu`
  CMenuHandle menu;      // the loaded menu bar; empty when none is loaded

  // Destroys any held menu and holds menu resource `resourceId` instead,
  // showing its submenu `index`. False when the resource cannot be loaded;
  // the old menu is gone either way.
  bool LoadMenu(int index, UINT resourceId) {
    subMenuIndex = index;
    menu.Reset();
    menu.Reset(::LoadMenuW(ResourceInstance(), MAKEINTRESOURCEW(resourceId)));
    return static_cast<bool>(menu);
  }

  // As LoadMenu, for a menu built in code; the mixin takes ownership.
  void AdoptMenu(int index, HMENU owned) {
    subMenuIndex = index;
    menu.Reset(owned);
  }

  bool ProcessWindowMessage(HWND, UINT msg, WPARAM, LPARAM, LRESULT& result) {
    fw::CMessageMap map(m_bMsgHandled, result);
    // Handled with result 0 even without a menu, so the request ends here.
    if (msg == WM_CONTEXTMENU && map.Handle([&] {
          OnContextMenu();
          return 0;
        }))
      return true;
    return false;
  }

 protected:
  FW_HANDLED_FLAG

 private:
  void OnContextMenu() {
    if (!menu) return;
    // The mouse position when the message was posted, also for a request
    // from the keyboard (whose own parameters say -1, -1).
    POINT pt = fw::GetPointParam(static_cast<LPARAM>(::GetMessagePos()));
    pt.x = KeepMenuXOnScreen(pt);
    const HMENU popup = ::GetSubMenu(menu.Get(), subMenuIndex);
    // Failures show no menu and change nothing; there is no one to tell.
    ::TrackPopupMenu(popup, TPM_RIGHTBUTTON, pt.x, pt.y, 0, static_cast<T*>(this)->m_hWnd, nullptr);
  }
};

}  // namespace my

// The name the rest of the program uses.
using my::CSubMenuImpl;
