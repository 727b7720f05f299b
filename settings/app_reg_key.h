// CAppRegKey: the application's own registry key, "Software\<maker>\<product>32",
// with the names read from the string table. Short-lived: each load and save
// opens one and lets it go.
#pragma once

#include <windows.h>

#include <string>

#include "settings/reg_key.h"

namespace vl {

class CAppRegKey {
 public:
  // Reads the maker and product names from string resources `makerStringId`
  // and `productStringId`, then creates or opens the application key under
  // `root` for reading and writing. Returns the Win32 status (0 on success).
  // On success the holder keeps the new key, closing the one it held before;
  // if the call fails, the holder is not changed. Raises my::CException when
  // a name cannot be read.
  LSTATUS Open(HKEY root, UINT makerStringId, UINT productStringId);

  // "Software\<maker>\<product>32".
  std::wstring KeyPath() const;
  // KeyPath() + "\" + name.
  std::wstring SubKeyPath(const std::wstring& name) const;

  // Closes the key and forgets the names.
  void Close() noexcept;

  HKEY Key() const noexcept { return m_key.Get(); }
  HKEY Root() const noexcept { return m_hRoot; }

 private:
  static std::wstring MakeKeyPath(const std::wstring& maker, const std::wstring& product);

  CRegKey m_key;
  HKEY m_hRoot = nullptr;
  std::wstring m_strMaker;
  std::wstring m_strProduct;
};

}  // namespace vl
