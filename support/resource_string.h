// String resources of the program's module: the one way to read them at run
// time, and printf-style messages whose format is a string resource.
#pragma once

#include <windows.h>

#include <string>
#include <type_traits>

namespace my {

// The module whose resources the program reads (the executable).
HINSTANCE ResourceInstance() noexcept;

// Reads string resource `id` into `out`, however long it is. On failure `out`
// is empty and, with raiseOnFailure, my::CException 53632 (the system's reason
// and the id) or 53633 (the id; the text would not fit) is raised; otherwise
// the result is false.
bool LoadResourceString(std::wstring& out, UINT id, bool raiseOnFailure);

namespace detail {
// Bounded wide printf with the C runtime's own conversions ("%ls" is a wide
// string): writes at most capacity - 1 characters and a terminator; negative
// when the output was cut.
int PrintTruncated(wchar_t* buffer, std::size_t capacity, const wchar_t* format, ...) noexcept;
}  // namespace detail

// Prints the texts into `out` by `format`, cut to the format's length plus
// 1023 characters when longer. Formats take their texts with "%ls".
template <class... Args>
void FormatText(std::wstring& out, const std::wstring& format, const Args*... texts) {
  static_assert((std::is_same_v<Args, wchar_t> && ...), "arguments are wide texts");
  out.assign(format.size() + 1024, L'\0');
  const int length = detail::PrintTruncated(out.data(), out.size(), format.c_str(), texts...);
  out.resize(length < 0 ? out.size() - 1 : static_cast<std::size_t>(length));
}

// The message whose format is string resource `number`, printed with the
// texts; raises my::CException when the format cannot be loaded.
template <class... Args>
void FormatResourceString(std::wstring& out, UINT number, const Args*... texts) {
  std::wstring format;
  LoadResourceString(format, number, true);
  FormatText(out, format, texts...);
}

}  // namespace my
