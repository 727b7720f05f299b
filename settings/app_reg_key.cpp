#include "settings/app_reg_key.h"

#include <sstream>
#include <utility>

#include "support/resource_string.h"

namespace vl {

LSTATUS CAppRegKey::Open(HKEY root, UINT makerStringId, UINT productStringId) {
  std::wstring maker, product;
  my::LoadResourceString(maker, makerStringId, true);
  my::LoadResourceString(product, productStringId, true);
  CRegKey key;
  const LSTATUS status = key.Create(root, MakeKeyPath(maker, product));
  if (status != ERROR_SUCCESS) return status;
  m_key = std::move(key);
  m_hRoot = root;
  m_strMaker = std::move(maker);
  m_strProduct = std::move(product);
  return ERROR_SUCCESS;
}

std::wstring CAppRegKey::MakeKeyPath(const std::wstring& maker, const std::wstring& product) {
  std::wostringstream path;
  // "32" follows the product name directly; the stored key has always been named so.
  path << L"Software\\" << maker << L'\\' << product << L"32";
  return path.str();
}

std::wstring CAppRegKey::KeyPath() const { return MakeKeyPath(m_strMaker, m_strProduct); }

std::wstring CAppRegKey::SubKeyPath(const std::wstring& name) const {
  return KeyPath() + L'\\' + name;
}

void CAppRegKey::Close() noexcept {
  m_key.Close();
  m_hRoot = nullptr;
  m_strMaker.clear();
  m_strProduct.clear();
}

}  // namespace vl
