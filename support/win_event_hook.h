// CWinEventHook: owns a WinEvent hook and removes it when replaced or going away.
#pragma once

#include <windows.h>

#include <utility>

namespace my {

class CWinEventHook {
 public:
  CWinEventHook() noexcept = default;
  explicit CWinEventHook(HWINEVENTHOOK hook) noexcept : m_hHook(hook) {}
  CWinEventHook(CWinEventHook&& other) noexcept : m_hHook(std::exchange(other.m_hHook, nullptr)) {}
  CWinEventHook& operator=(CWinEventHook&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.m_hHook, nullptr));
    return *this;
  }
  CWinEventHook(const CWinEventHook&) = delete;
  CWinEventHook& operator=(const CWinEventHook&) = delete;
  ~CWinEventHook() { Reset(); }

  explicit operator bool() const noexcept { return m_hHook != nullptr; }

  // Removes the held hook, then holds `hook` (may be null).
  void Reset(HWINEVENTHOOK hook = nullptr) noexcept {
    if (m_hHook && m_hHook != hook) ::UnhookWinEvent(m_hHook);
    m_hHook = hook;
  }

 private:
  HWINEVENTHOOK m_hHook = nullptr;
};

}  // namespace my
