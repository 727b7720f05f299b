// The mirror window's last placement: whether it was maximised and its last
// normal rectangle. The record and its arithmetic are platform-free; the
// members that talk to windows and the registry live in
// window_setting_store.cpp (Windows only).
#pragma once

#include <optional>
#include <string>

#include "render/geometry.h"

// The platform's own handle types, declared as windows.h declares them, so
// this header needs no windows.h.
struct HWND__;
struct HKEY__;

// Flags of CWindowSetting::Restore.
inline constexpr unsigned kRestoreKeepPosition = 1;
inline constexpr unsigned kRestoreKeepSize = 2;
inline constexpr unsigned kRestoreIntoScreen = 4;

class CWindowSetting {
 public:
  bool FullScreen = false;
  vl::Rect Rectangle;  // outer rectangle in the normal state; empty: unknown

  // Shifts `r` into `screen` without changing its size: bottom, top, right,
  // left in this order, so an oversized rectangle ends at the top-left corner.
  static vl::Rect ShiftIntoScreen(const vl::Rect& r, const vl::Rect& screen) noexcept;

  // The rectangle Restore applies, shifted into `virtualScreen` when `flags`
  // hold kRestoreIntoScreen. Empty when no placement is known, or when the
  // stored width or height does not fit a window size (a damaged value).
  std::optional<vl::Rect> RestoreTarget(const vl::Rect& virtualScreen,
                                        unsigned flags) const noexcept;

  // Takes FullScreen from the window, and the rectangle from a window in its
  // normal state. A minimised or maximised window takes `lastNormal`, the
  // normal rectangle the user last gave it, and keeps the record's own when
  // that is empty (a window never moved since it was placed).
  bool Capture(HWND__* hwnd, const vl::Rect& lastNormal = {});
  // Applies the rectangle (see RestoreTarget) and then maximises when
  // FullScreen; without a usable rectangle it does neither. True when a
  // rectangle was applied; false tells the caller to choose a default
  // placement.
  bool Restore(HWND__* hwnd, unsigned flags) const;

  // Reads prefix + "FullScreen", "Left", "Top", "Right", "Bottom" from `path`
  // under `root`. True when the key could be opened. A missing or ill-typed
  // "FullScreen" keeps the flag; the rectangle changes only when all four of
  // its values were read.
  bool Load(const std::wstring& path, const std::wstring& prefix, HKEY__* root);
  // Writes the five values to `path` under `root`, creating the key. True
  // when the key could be created and every value was written.
  bool Save(const std::wstring& path, const std::wstring& prefix, HKEY__* root) const;

  // The rectangle's four values in an open key. ReadRect changes the
  // rectangle only when all four are present REG_DWORDs, and says whether it
  // did; WriteRect writes all four and says whether every write succeeded.
  bool ReadRect(HKEY__* key, const std::wstring& prefix);
  bool WriteRect(HKEY__* key, const std::wstring& prefix) const;
};
