// Registry helpers for tests: a private key under HKCU that is removed before
// and after each test, and raw reads and writes that bypass the code under
// test, so damaged values can be planted and stored bytes inspected.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "tests/common/raw_registry.h"

namespace vl::test {

inline RawValue Bytes(DWORD type, std::size_t size, BYTE fill = 0x07) {
  return {type, std::vector<BYTE>(size, fill)};
}

inline RawValue String(const std::wstring& s) {
  RawValue r{REG_SZ, std::vector<BYTE>((s.size() + 1) * sizeof(wchar_t))};
  std::memcpy(r.data.data(), s.c_str(), r.data.size());
  return r;
}

inline void WriteRaw(const std::wstring& path, const wchar_t* name, const RawValue& v) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                              &key, nullptr),
            ERROR_SUCCESS);
  const LSTATUS status =
      ::RegSetValueExW(key, name, 0, v.type, v.data.data(), static_cast<DWORD>(v.data.size()));
  ::RegCloseKey(key);
  ASSERT_EQ(status, ERROR_SUCCESS) << "writing " << std::string(name, name + wcslen(name));
}

inline void DeleteRaw(const std::wstring& path, const wchar_t* name) {
  ::RegDeleteKeyValueW(HKEY_CURRENT_USER, path.c_str(), name);
}

inline bool KeyExists(const std::wstring& path) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return false;
  ::RegCloseKey(key);
  return true;
}

// Every value under `path` and its subkeys, keyed by "subkey\name".
inline std::map<std::wstring, RawValue> Snapshot(const std::wstring& path) {
  std::map<std::wstring, RawValue> all;
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
    return all;
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLen = 256, type = 0;
    BYTE data[512];
    DWORD size = sizeof(data);
    if (::RegEnumValueW(key, i, name, &nameLen, nullptr, &type, data, &size) != ERROR_SUCCESS)
      break;
    all[std::wstring(name, nameLen)] = {type, std::vector<BYTE>(data, data + size)};
  }
  for (DWORD i = 0;; ++i) {
    wchar_t name[256];
    DWORD nameLen = 256;
    if (::RegEnumKeyExW(key, i, name, &nameLen, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    const std::wstring sub(name, nameLen);
    for (auto& [n, v] : Snapshot(path + L"\\" + sub)) all[sub + L"\\" + n] = v;
    all[sub + L"\\"] = {};  // an empty subkey counts too
  }
  ::RegCloseKey(key);
  return all;
}

// A key of the test's own under HKCU\Software\VelloraTests, gone before and
// after the test.
class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string name = std::string(info->test_suite_name()) + "." + info->name();
    m_path = kRoot + L"\\" + std::wstring(name.begin(), name.end());
    ::RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str());
  }
  void TearDown() override {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, m_path.c_str());
    // Fails while other tests' keys remain, which is what we want.
    ::RegDeleteKeyW(HKEY_CURRENT_USER, kRoot.c_str());
  }

  const std::wstring& Path() const { return m_path; }

  inline static const std::wstring kRoot = L"Software\\VelloraTests";

 private:
  std::wstring m_path;
};

}  // namespace vl::test
