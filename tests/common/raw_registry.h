// Raw registry values under HKCU, read and made without the code under test,
// so that tools and tests can plant damaged values and inspect stored bytes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace vl::test {

struct RawValue {
  DWORD type = REG_NONE;
  std::vector<BYTE> data;

  friend bool operator==(const RawValue&, const RawValue&) = default;
};

inline RawValue Dword(std::uint32_t v) {
  RawValue r{REG_DWORD, std::vector<BYTE>(4)};
  std::memcpy(r.data.data(), &v, 4);
  return r;
}

inline std::optional<RawValue> ReadRaw(const std::wstring& path, const wchar_t* name) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return std::nullopt;
  RawValue v;
  DWORD size = 0;
  LSTATUS status = ::RegQueryValueExW(key, name, nullptr, &v.type, nullptr, &size);
  if (status == ERROR_SUCCESS) {
    v.data.resize(size);
    status = ::RegQueryValueExW(key, name, nullptr, &v.type, v.data.data(), &size);
    v.data.resize(size);
  }
  ::RegCloseKey(key);
  if (status != ERROR_SUCCESS) return std::nullopt;
  return v;
}

}  // namespace vl::test
