#include <windows.h>

#include <cstddef>

#include "framework/update_ui.h"

namespace fw {

UINT MenuItemInfoSize() {
  static const UINT size = [] {
    OSVERSIONINFOEXW vi{};
    vi.dwOSVersionInfoSize = sizeof vi;
    vi.dwMajorVersion = 4;
    vi.dwMinorVersion = 90;
    vi.wServicePackMajor = 0;
    ULONGLONG mask = 0;
    mask = ::VerSetConditionMask(mask, VER_MAJORVERSION, VER_GREATER_EQUAL);
    mask = ::VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
    mask = ::VerSetConditionMask(mask, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    const bool modern =
        ::VerifyVersionInfoW(&vi, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, mask);
    // Before 4.90 the record ends before hbmpItem.
    return static_cast<UINT>(modern ? sizeof(MENUITEMINFOW) : offsetof(MENUITEMINFOW, hbmpItem));
  }();
  return size;
}

}  // namespace fw
