// CRegKey: owns one open registry key and closes it when it is replaced,
// closed or destroyed. Move-only, so a key has exactly one owner.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace vl {

// Reads a REG_DWORD of exactly four bytes from `key` as a signed value.
// Anything else (missing, another type, longer or shorter data) fails, and
// then `value` is not changed.
LSTATUS QueryRegInt32(HKEY key, const wchar_t* name, std::int32_t& value) noexcept;
// Writes `value` to `key` as a four-byte REG_DWORD (-1 becomes 0xFFFFFFFF).
LSTATUS SetRegInt32(HKEY key, const wchar_t* name, std::int32_t value) noexcept;

class CRegKey {
 public:
  CRegKey() noexcept = default;
  // Takes over `key` (may be null).
  explicit CRegKey(HKEY key) noexcept : m_hKey(key) {}
  ~CRegKey() { Close(); }

  CRegKey(const CRegKey&) = delete;
  CRegKey& operator=(const CRegKey&) = delete;
  CRegKey(CRegKey&& other) noexcept : m_hKey(other.Detach()) {}
  CRegKey& operator=(CRegKey&& other) noexcept {
    if (this != &other) Attach(other.Detach());
    return *this;
  }

  HKEY Get() const noexcept { return m_hKey; }
  explicit operator bool() const noexcept { return m_hKey != nullptr; }

  // Closes the key held so far and takes over `key`.
  void Attach(HKEY key) noexcept;
  // Gives up ownership without closing.
  HKEY Detach() noexcept;
  void Close() noexcept;

  // Opens `path` under `root`, creating it and any missing parent.
  // If the call fails, the key held so far is kept.
  LSTATUS Create(HKEY root, const std::wstring& path,
                 REGSAM access = KEY_READ | KEY_WRITE) noexcept;
  // Opens an existing `path` under `root`; a missing key is not created.
  // If the call fails, the key held so far is kept.
  LSTATUS Open(HKEY root, const std::wstring& path, REGSAM access = KEY_READ) noexcept;

  // QueryRegInt32 and SetRegInt32 on this key.
  LSTATUS QueryInt32(const wchar_t* name, std::int32_t& value) const noexcept {
    return QueryRegInt32(m_hKey, name, value);
  }
  LSTATUS SetInt32(const wchar_t* name, std::int32_t value) const noexcept {
    return SetRegInt32(m_hKey, name, value);
  }

 private:
  HKEY m_hKey = nullptr;
};

}  // namespace vl
