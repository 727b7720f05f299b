// CWinEventHook: owns a WinEvent hook and removes it when reset or going away.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace my {

struct WinEventUnhook {
  void operator()(HWINEVENTHOOK hook) const noexcept { ::UnhookWinEvent(hook); }
};

using CWinEventHook = std::unique_ptr<std::remove_pointer_t<HWINEVENTHOOK>, WinEventUnhook>;

}  // namespace my
