// Functions of Windows DLLs that are not KnownDLLs (dwmapi, wtsapi32). Imported
// at load time, such a DLL would first be looked for beside the exe, before
// any code of ours runs; so they are loaded at run time, from the system
// folder only.
#pragma once

#include <windows.h>

#include <dwmapi.h>
#include <wtsapi32.h>

#include <utility>

namespace my {

// Owns a module loaded with LoadLibraryExW; frees it when going away.
class CLibrary {
 public:
  CLibrary() noexcept = default;
  // `name` from the system folder only; null when it is not there.
  explicit CLibrary(const wchar_t* name) noexcept
      : m_hModule(::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {}
  CLibrary(CLibrary&& other) noexcept : m_hModule(std::exchange(other.m_hModule, nullptr)) {}
  CLibrary& operator=(CLibrary&& other) noexcept {
    if (this != &other) {
      Free();
      m_hModule = std::exchange(other.m_hModule, nullptr);
    }
    return *this;
  }
  CLibrary(const CLibrary&) = delete;
  CLibrary& operator=(const CLibrary&) = delete;
  ~CLibrary() { Free(); }

  HMODULE Get() const noexcept { return m_hModule; }

  // The function `name` as type F; null when the module or the function is missing.
  template <class F>
  F Function(const char* name) const noexcept {
    return m_hModule
               ? reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(m_hModule, name)))
               : nullptr;
  }

 private:
  void Free() noexcept {
    if (m_hModule) ::FreeLibrary(m_hModule);
    m_hModule = nullptr;
  }
  HMODULE m_hModule = nullptr;
};

// The functions the mirror window uses from those DLLs. A null one turns its
// feature off: no cloak query (the window counts as shown), no session
// notifications (the session counts as unlocked).
struct SystemFunctions {
  decltype(&::DwmGetWindowAttribute) GetWindowAttribute = nullptr;
  decltype(&::WTSRegisterSessionNotification) RegisterSessionNotification = nullptr;
  decltype(&::WTSUnRegisterSessionNotification) UnRegisterSessionNotification = nullptr;

  // Loaded on first use and kept until the process ends.
  static const SystemFunctions& Get();
};

}  // namespace my
