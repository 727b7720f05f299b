#include "support/error.h"

#include <cwchar>
#include <memory>

#include "support/text.h"

namespace my {

namespace {

// Memory the system allocated for us with LocalAlloc.
struct LocalFreeDeleter {
  void operator()(wchar_t* p) const noexcept { ::LocalFree(p); }
};

}  // namespace

std::wstring GetSystemErrorText(HRESULT hr) {
  // A system error code wrapped as an HRESULT (facility 7, FACILITY_WIN32)
  // is looked up by the code in its low word. No other facility wraps one:
  // facility 8 (FACILITY_WINDOWS) holds COM's own failures.
  const auto bits = static_cast<DWORD>(hr);
  const DWORD id = (bits & 0x1FFF0000u) == 0x00070000u ? (bits & 0xFFFFu) : bits;
  // Inserts are left as they stand: some system texts hold "%1", and without
  // arguments to fill it the call would fail or read arguments that are not there.
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, id, LANG_USER_DEFAULT, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  // The system's buffer is ours from here, on every way out (copying it may throw).
  const std::unique_ptr<wchar_t, LocalFreeDeleter> owned(buffer);
  if (length != 0 && owned) return std::wstring(owned.get(), length);
  wchar_t hex[9];
  std::swprintf(hex, 9, L"%lx", static_cast<unsigned long>(bits));
  return L"Unknown HRESULT: " + std::wstring(hex);
}

std::wstring CSimpleErr::TrimmedSystemText(HRESULT code) {
  std::wstring text;
  TrimText(text, GetSystemErrorText(code), IsBlankOrReturn);
  return text;
}

std::wstring CSimpleErr::FallbackText(std::int32_t number,
                                      std::initializer_list<const wchar_t*> args) {
  std::wstring text = L"Error " + std::to_wstring(number);
  const wchar_t* separator = L": ";
  for (const wchar_t* arg : args) {
    text += separator;
    text += arg;
    separator = L"; ";
  }
  return text;
}

CException::CException(std::int32_t number, const std::wstring& text) noexcept {
  try {
    Set(number, text);
  } catch (...) {
    // Out of memory: keep the number, with whatever text was built.
  }
}

CException::CException(std::int32_t number, HRESULT code, const std::wstring& text) noexcept {
  try {
    SetHr(number, code, text);
  } catch (...) {
    // Out of memory: keep the number and code, with whatever text was built.
  }
}

}  // namespace my
