#include "settings/reg_key.h"

#include <cstring>

namespace vl {

void CRegKey::Attach(HKEY key) noexcept {
  Close();
  m_hKey = key;
}

HKEY CRegKey::Detach() noexcept {
  HKEY key = m_hKey;
  m_hKey = nullptr;
  return key;
}

void CRegKey::Close() noexcept {
  // Nothing useful can be done if closing fails; the handle is gone either way.
  if (m_hKey) ::RegCloseKey(m_hKey);
  m_hKey = nullptr;
}

LSTATUS CRegKey::Create(HKEY root, const std::wstring& path, REGSAM access) noexcept {
  HKEY key = nullptr;
  const LSTATUS status = ::RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                           access, nullptr, &key, nullptr);
  if (status == ERROR_SUCCESS) Attach(key);
  return status;
}

LSTATUS CRegKey::Open(HKEY root, const std::wstring& path, REGSAM access) noexcept {
  HKEY key = nullptr;
  const LSTATUS status = ::RegOpenKeyExW(root, path.c_str(), 0, access, &key);
  if (status == ERROR_SUCCESS) Attach(key);
  return status;
}

LSTATUS QueryRegInt32(HKEY key, const wchar_t* name, std::int32_t& value) noexcept {
  DWORD type = REG_NONE;
  DWORD data = 0;
  DWORD size = sizeof(data);
  const LSTATUS status =
      ::RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
  if (status != ERROR_SUCCESS) return status;
  // A REG_DWORD shorter than four bytes would leave part of `data` unread.
  if (type != REG_DWORD || size != sizeof(data)) return ERROR_INVALID_DATA;
  std::memcpy(&value, &data, sizeof(value));
  return ERROR_SUCCESS;
}

LSTATUS SetRegInt32(HKEY key, const wchar_t* name, std::int32_t value) noexcept {
  DWORD data = 0;
  std::memcpy(&data, &value, sizeof(data));
  return ::RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                          sizeof(data));
}

}  // namespace vl
