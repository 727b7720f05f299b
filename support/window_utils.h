// CWindowW: the program's window wrapper. It is the framework's thin handle
// wrapper plus the text and centring operations, which need this library's
// string resources, trimming and monitors.
#pragma once

#include <windows.h>

#include <string>

#include "framework/window.h"

namespace my {

class CWindowW : public fw::CWindowHandle {
 public:
  using fw::CWindowHandle::CWindowHandle;

  // The window text; trimmed of blanks and line breaks at both ends on request.
  // Always true: an unreadable text reads as empty.
  bool GetText(std::wstring& out, bool trim) const;
  // Sets the text; with onlyIfChanged an equal text is left untouched (true).
  bool SetText(const std::wstring& text, bool onlyIfChanged) const;
  // Sets the text from a string resource; raises my::CException if it is missing.
  bool SetTextFromResource(UINT id, bool onlyIfChanged) const;
  // Centres on `centreOn` (default: parent of a child, else owner), kept inside
  // the work area (or the parent's client area for a child).
  bool CenterWindow(HWND centreOn = nullptr) const;
};

}  // namespace my

// The name the rest of the program uses.
using my::CWindowW;
