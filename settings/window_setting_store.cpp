// The Win32 side of CWindowSetting: capture from and restore to a window, and
// the placement's registry values.
#include <windows.h>

#include <cstdint>

#include "render/win_rect.h"
#include "settings/reg_key.h"
#include "settings/window_setting.h"

namespace {

// The rectangle's value names, in the order they are read and written.
constexpr const wchar_t* kRectNames[4] = {L"Left", L"Top", L"Right", L"Bottom"};
constexpr const wchar_t kFullScreenName[] = L"FullScreen";

}  // namespace

bool CWindowSetting::Capture(HWND hwnd, const vl::Rect& lastNormal) {
  // A window that is gone tells nothing; keep what we have rather than
  // reading "not maximised" from it.
  if (!::IsWindow(hwnd)) return false;
  FullScreen = ::IsZoomed(hwnd) != FALSE;
  // Only a normal window shows the rectangle worth restoring; closed while
  // minimised or maximised, it reopens where the user last had it.
  if (FullScreen || ::IsIconic(hwnd)) {
    if (!vl::IsRectEmpty(lastNormal)) Rectangle = lastNormal;
    return true;
  }
  RECT rc;
  if (!::GetWindowRect(hwnd, &rc)) return false;
  Rectangle = vl::FromRECT(rc);
  return true;
}

bool CWindowSetting::Restore(HWND hwnd, unsigned flags) const {
  const int vx = ::GetSystemMetrics(SM_XVIRTUALSCREEN);
  const int vy = ::GetSystemMetrics(SM_YVIRTUALSCREEN);
  const vl::Rect screen{vx, vy, vx + ::GetSystemMetrics(SM_CXVIRTUALSCREEN),
                        vy + ::GetSystemMetrics(SM_CYVIRTUALSCREEN)};
  // A placement without a usable rectangle is no placement: not maximised
  // either. Maximised there, the window would be moved to its default place
  // while maximised, could not be sized, and would be stored so again.
  const auto r = RestoreTarget(screen, flags);
  if (!r) return false;
  UINT swp = SWP_NOZORDER | SWP_NOACTIVATE;
  if (flags & kRestoreKeepPosition) swp |= SWP_NOMOVE;
  if (flags & kRestoreKeepSize) swp |= SWP_NOSIZE;
  const bool applied = ::SetWindowPos(hwnd, nullptr, r->left, r->top, r->right - r->left,
                                      r->bottom - r->top, swp) != FALSE;
  // ShowWindow's result is the old visibility, not success: nothing to check.
  if (FullScreen) ::ShowWindow(hwnd, SW_SHOWMAXIMIZED);
  return applied;
}

bool CWindowSetting::Load(const std::wstring& path, const std::wstring& prefix, HKEY root) {
  try {
    const std::wstring fullScreenName = prefix + kFullScreenName;
    vl::CRegKey key;
    if (key.Open(root, path, KEY_READ) != ERROR_SUCCESS) return false;
    std::int32_t flag = 0;
    const bool flagRead = key.QueryInt32(fullScreenName.c_str(), flag) == ERROR_SUCCESS;
    ReadRect(key.Get(), prefix);
    // Set last, so a failure above leaves the whole record as it was.
    if (flagRead) FullScreen = flag != 0;
    return true;
  } catch (...) {
    // Only building a value name can throw (out of memory); report it as a
    // failed read, like any other registry failure.
    return false;
  }
}

bool CWindowSetting::Save(const std::wstring& path, const std::wstring& prefix, HKEY root) const {
  try {
    const std::wstring fullScreenName = prefix + kFullScreenName;
    vl::CRegKey key;
    if (key.Create(root, path) != ERROR_SUCCESS) return false;
    // Always 1 or 0, whatever nonzero value was read.
    const bool flagWritten =
        key.SetInt32(fullScreenName.c_str(), FullScreen ? 1 : 0) == ERROR_SUCCESS;
    const bool rectWritten = WriteRect(key.Get(), prefix);
    return flagWritten && rectWritten;
  } catch (...) {
    return false;  // see Load
  }
}

bool CWindowSetting::ReadRect(HKEY key, const std::wstring& prefix) {
  // All names first: nothing below can throw once reading has begun.
  std::wstring names[4];
  for (int i = 0; i < 4; ++i) names[i] = prefix + kRectNames[i];
  std::int32_t v[4] = {};
  for (int i = 0; i < 4; ++i)
    if (vl::QueryRegInt32(key, names[i].c_str(), v[i]) != ERROR_SUCCESS) return false;
  // Four values or none: a rectangle mixed from two placements is worse than
  // the old one.
  Rectangle = {v[0], v[1], v[2], v[3]};
  return true;
}

bool CWindowSetting::WriteRect(HKEY key, const std::wstring& prefix) const {
  std::wstring names[4];
  for (int i = 0; i < 4; ++i) names[i] = prefix + kRectNames[i];
  const std::int32_t v[4] = {Rectangle.left, Rectangle.top, Rectangle.right, Rectangle.bottom};
  bool ok = true;
  // All four are written even after a failure, so the others stay current.
  for (int i = 0; i < 4; ++i)
    ok = vl::SetRegInt32(key, names[i].c_str(), v[i]) == ERROR_SUCCESS && ok;
  return ok;
}
