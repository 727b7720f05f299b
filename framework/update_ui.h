// CUpdateUI: keeps a state word per menu command of T and brings the items of
// a popup menu in line with it when the popup opens. T lists its commands in
//
//   static constexpr UINT kUpdateUIMap[] = {id, ...};
#pragma once

#include <windows.h>

#include <iterator>
#include <vector>

#include "framework/message_map.h"

namespace fw {

// Size of the MENUITEMINFOW record the running system understands: the full
// record from version 4.90 on, the one without the item bitmap before that.
UINT MenuItemInfoSize();

template <class T>
class CUpdateUI {
 public:
  enum State : WORD {
    kEnabled = 0x0000,
    kDisabled = 0x0100,
    kChecked = 0x0200,
    kRadio = 0x0400,
    kDefault = 0x0800,
  };

  struct Item {
    UINT id;
    WORD state;
    bool dirty;
  };

  CUpdateUI() {
    for (UINT id : T::kUpdateUIMap) m_items.push_back({id, kEnabled, false});
  }

  const std::vector<Item>& UIItems() const noexcept { return m_items; }

  // Gives or takes the radio mark of command `id`; false for an unknown id.
  bool UISetRadio(UINT id, bool on) {
    Item* item = Find(id);
    if (!item) return false;
    const WORD state =
        static_cast<WORD>(on ? (item->state | kRadio) : (item->state & ~WORD{kRadio}));
    if (state != item->state) {
      item->state = state;
      item->dirty = true;
    }
    return true;
  }

  bool UIHasRadio(UINT id) const {
    for (const Item& item : m_items)
      if (item.id == id) return (item.state & kRadio) != 0;
    return false;
  }

  // Writes every listed item's state into `menu`, found by command.
  void UIUpdateMenu(HMENU menu) {
    for (Item& item : m_items) {
      MENUITEMINFOW mii{};
      mii.cbSize = MenuItemInfoSize();
      mii.fMask = MIIM_STATE;
      mii.fState = MFS_ENABLED;
      if (item.state & kDisabled) mii.fState |= MFS_DISABLED | MFS_GRAYED;
      if (item.state & (kChecked | kRadio)) mii.fState |= MFS_CHECKED;
      if (item.state & kDefault) mii.fState |= MFS_DEFAULT;
      wchar_t text[260] = L"";
      if (item.state & kRadio) {
        // The type is written with the text, so the text is read back first.
        ::GetMenuStringW(menu, item.id, text, static_cast<int>(std::size(text)), MF_BYCOMMAND);
        mii.fMask |= MIIM_TYPE;
        mii.fType = MFT_STRING | MFT_RADIOCHECK;
        mii.dwTypeData = text;
      }
      ::SetMenuItemInfoW(menu, item.id, FALSE, &mii);
      item.dirty = false;
    }
  }

  bool ProcessWindowMessage(HWND, UINT msg, WPARAM wParam, LPARAM, LRESULT& result) {
    CMessageMap map(m_bMsgHandled, result);
    if (msg == WM_INITMENUPOPUP) map.PassOn([&] { UIUpdateMenu(reinterpret_cast<HMENU>(wParam)); });
    return false;
  }

 protected:
  FW_HANDLED_FLAG

 private:
  Item* Find(UINT id) {
    for (Item& item : m_items)
      if (item.id == id) return &item;
    return nullptr;
  }

  std::vector<Item> m_items;
};

}  // namespace fw
