#include "support/resource_string.h"

#include <cstdarg>
#include <cwchar>
#include <string>

#include "res/resource.h"
#include "support/error.h"

namespace my {

HINSTANCE ResourceInstance() noexcept { return ::GetModuleHandleW(nullptr); }

bool LoadResourceString(std::wstring& out, UINT id, bool raiseOnFailure) {
  // A string resource holds at most 65535 characters, so the last capacity
  // always fits it.
  int capacity = 256;
  for (;;) {
    out.assign(static_cast<std::size_t>(capacity), L'\0');
    // A string missing from a block that exists fails without setting an
    // error; clearing it first keeps an older, unrelated error out of the report.
    ::SetLastError(ERROR_SUCCESS);
    const int length = ::LoadStringW(ResourceInstance(), id, out.data(), capacity);
    if (length == 0) {
      const HRESULT hr = HResultFromWin32(::GetLastError());
      out.clear();
      if (raiseOnFailure) throw CException(IDS_ERR_LOAD_STRING, hr, std::to_wstring(id));
      return false;
    }
    if (length < capacity - 1) {
      out.resize(static_cast<std::size_t>(length));
      return true;
    }
    if (capacity > 0x10000) {
      out.clear();
      if (raiseOnFailure) throw CException(IDS_ERR_STRING_TOO_LONG, std::to_wstring(id));
      return false;
    }
    capacity *= 10;
  }
}

namespace detail {

int PrintTruncated(wchar_t* buffer, std::size_t capacity, const wchar_t* format, ...) noexcept {
  // The runtime's own bounded printf; _TRUNCATE cuts the output instead of
  // failing. Our formats write "%ls", a wide text under every C runtime (what
  // "%s" means in a wide printf differs between them).
  std::va_list args;
  va_start(args, format);
  const int length = ::_vsnwprintf_s(buffer, capacity, _TRUNCATE, format, args);
  va_end(args);
  return length;
}

}  // namespace detail
}  // namespace my
