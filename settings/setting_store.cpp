// The settings record's registry store: seven REG_DWORD values in the
// settings key, the placement in its "Window" subkey.
#include <windows.h>

#include <cstdint>

#include "res/resource.h"
#include "settings/app_reg_key.h"
#include "settings/reg_key.h"
#include "settings/setting.h"

namespace vl {

namespace {

struct StoredValue {
  const wchar_t* name;
  std::int32_t CSetting::*field;
};

// In the order they are read and written.
constexpr StoredValue kStoredValues[] = {
    {L"Direction", &CSetting::Direction},
    {L"Edge", &CSetting::Edge},
    {L"ThinEdge", &CSetting::ThinEdge},
    {L"TransparentEdge", &CSetting::TransparentEdge},
    {L"RefreshRate", &CSetting::RefreshRate},
    {L"EntireRefreshRate", &CSetting::EntireRefreshRate},
    {L"AroundCursorDistance", &CSetting::AroundCursorDistance},
};

constexpr const wchar_t kSettingKey[] = L"Setting";
constexpr const wchar_t kWindowSubKey[] = L"\\Window";

bool IsKnownDirection(std::int32_t d) noexcept { return d >= Left && d <= Bottom; }

}  // namespace

bool CSetting::Load() {
  CAppRegKey app;
  // Creates the application key on a first run, though nothing is written.
  if (app.Open(HKEY_CURRENT_USER, IDS_MAKER, IDS_PRODUCT) != ERROR_SUCCESS) return false;
  const bool result = LoadFrom(app.SubKeyPath(kSettingKey), HKEY_CURRENT_USER);
  app.Close();
  return result;
}

bool CSetting::Save() const {
  CAppRegKey app;
  if (app.Open(HKEY_CURRENT_USER, IDS_MAKER, IDS_PRODUCT) != ERROR_SUCCESS) return false;
  const bool result = SaveTo(app.SubKeyPath(kSettingKey), HKEY_CURRENT_USER);
  app.Close();
  return result;
}

bool CSetting::LoadFrom(const std::wstring& path, HKEY root) {
  try {
    // Built first: once fields start changing nothing may throw, or the
    // record would be left half-loaded and unclamped.
    const std::wstring windowPath = path + kWindowSubKey;

    CRegKey key;
    // A missing key is a first run: keep everything, clamp nothing.
    if (key.Open(root, path, KEY_READ) != ERROR_SUCCESS) return false;

    bool result = true;
    for (const StoredValue& v : kStoredValues) {
      std::int32_t value = 0;
      bool ok = key.QueryInt32(v.name, value) == ERROR_SUCCESS;
      // No side but these four exists; any other number would leave the
      // mirror without a reflected side.
      if (ok && v.field == &CSetting::Direction) ok = IsKnownDirection(value);
      if (ok) this->*v.field = value;
      result = result && ok;
    }

    // The placement counts as read when its key opens: a missing or damaged
    // value of it only leaves that part as it was.
    if (!Window.Load(windowPath, std::wstring(), root)) result = false;

    ClampAll();
    return result;
  } catch (...) {
    // Only building the subkey path can throw (out of memory), and that
    // happens before anything changed.
    return false;
  }
}

bool CSetting::SaveTo(const std::wstring& path, HKEY root) const {
  try {
    const std::wstring windowPath = path + kWindowSubKey;
    CRegKey key;
    if (key.Create(root, path) != ERROR_SUCCESS) return false;

    bool result = true;
    // Every value is written even after a failure, so the others stay current.
    for (const StoredValue& v : kStoredValues)
      result = key.SetInt32(v.name, this->*v.field) == ERROR_SUCCESS && result;
    return Window.Save(windowPath, std::wstring(), root) && result;
  } catch (...) {
    return false;  // out of memory building the subkey path
  }
}

}  // namespace vl
