// CMenuHandle: owns a menu and destroys it when replaced or going away.
#pragma once

#include <windows.h>

#include <utility>

namespace my {

class CMenuHandle {
 public:
  CMenuHandle() noexcept = default;
  explicit CMenuHandle(HMENU menu) noexcept : m_hMenu(menu) {}
  CMenuHandle(CMenuHandle&& other) noexcept : m_hMenu(std::exchange(other.m_hMenu, nullptr)) {}
  CMenuHandle& operator=(CMenuHandle&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.m_hMenu, nullptr));
    return *this;
  }
  CMenuHandle(const CMenuHandle&) = delete;
  CMenuHandle& operator=(const CMenuHandle&) = delete;
  ~CMenuHandle() { Reset(); }

  HMENU Get() const noexcept { return m_hMenu; }
  explicit operator bool() const noexcept { return m_hMenu != nullptr; }

  // Destroys the held menu, then holds `menu` (may be null). A handle that
  // cannot be destroyed is no menu any more, so a failure is not kept.
  void Reset(HMENU menu = nullptr) noexcept {
    if (m_hMenu && m_hMenu != menu) ::DestroyMenu(m_hMenu);
    m_hMenu = menu;
  }

 private:
  HMENU m_hMenu = nullptr;
};

}  // namespace my
