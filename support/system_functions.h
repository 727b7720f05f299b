// Functions of Windows DLLs that are not KnownDLLs (dwmapi, wtsapi32). Imported
// at load time, such a DLL would first be looked for beside the exe, before
// any code of ours runs; so they are loaded at run time, from the system
// folder only.
#pragma once

#include <windows.h>

#include <dwmapi.h>
#include <wtsapi32.h>

#include <memory>
#include <type_traits>

namespace my {

// Owns a module loaded with LoadLibraryExW; frees it when going away.
struct LibraryFree {
  void operator()(HMODULE module) const noexcept { ::FreeLibrary(module); }
};
using CLibrary = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryFree>;

// `name` from the system folder only; null when it is not there.
inline CLibrary LoadSystemLibrary(const wchar_t* name) noexcept {
  return CLibrary(::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
}

// The function `name` of `library` as type F; null when either is missing.
template <class F>
F LibraryFunction(const CLibrary& library, const char* name) noexcept {
  return library
             ? reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(library.get(), name)))
             : nullptr;
}

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
