// The support library's error model: a numbered message with an optional
// HRESULT and a finished text, thrown as my::CException.
#pragma once

#include <windows.h>

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <string>

#include "support/resource_string.h"

namespace my {

// The platform's HRESULT_FROM_WIN32 mapping: codes of 0 or below stay as they
// are, others keep their low 16 bits under facility 7 with the failure bit.
// A function of its own name because HRESULT_FROM_WIN32 is a macro of the
// platform headers and would swallow any declaration spelt that way.
constexpr HRESULT HResultFromWin32(DWORD code) noexcept {
  const auto value = static_cast<HRESULT>(code);
  if (value <= 0) return value;
  return static_cast<HRESULT>((code & 0x0000FFFFu) | 0x80070000u);
}

// The system's description of `hr`, as the system gives it (line break
// included); "Unknown HRESULT: <hex>" when it has none. A wrapped system
// error code (facility 7) is looked up by its low 16 bits.
std::wstring GetSystemErrorText(HRESULT hr);

class CSimpleErr {
 public:
  std::int32_t no = 0;  // string resource id of the message format; 0: no message
  HRESULT hr = 0;       // the failure the message concerns; 0: none
  std::wstring msg;     // the finished text

  // The message `number` with the texts as its arguments. Number 0 clears the
  // text and loads nothing. A format that cannot be loaded does not raise:
  // the text then names the number and lists the arguments.
  template <class... Texts>
  void Set(std::int32_t number, const Texts&... texts) {
    no = number;
    hr = 0;
    BuildText(TextArg(texts)...);
  }

  // As Set, with the trimmed system text of `code` as the first argument.
  template <class... Texts>
  void SetHr(std::int32_t number, HRESULT code, const Texts&... texts) {
    no = number;
    hr = code;
    const std::wstring system = TrimmedSystemText(code);
    BuildText(system.c_str(), TextArg(texts)...);
  }

 private:
  static const wchar_t* TextArg(const std::wstring& text) noexcept { return text.c_str(); }
  static const wchar_t* TextArg(const wchar_t* text) noexcept { return text ? text : L""; }
  static std::wstring TrimmedSystemText(HRESULT code);
  static std::wstring FallbackText(std::int32_t number, std::initializer_list<const wchar_t*> args);

  template <class... Args>
  void BuildText(const Args*... args) {
    msg.clear();
    if (no == 0) return;
    std::wstring format;
    if (LoadResourceString(format, static_cast<UINT>(no), false)) {
      FormatText(msg, format, args...);
    } else {
      msg = FallbackText(no, {args...});
    }
  }
};

// The exception the support library raises, thrown by value. Its text is in
// `msg`. Building one never raises another: a missing format gives the
// fallback text of CSimpleErr::Set, and running out of memory on the way only
// leaves the text shorter.
class CException : public std::exception, public CSimpleErr {
 public:
  CException() noexcept = default;
  CException(std::int32_t number, const std::wstring& text) noexcept;
  CException(std::int32_t number, HRESULT code, const std::wstring& text) noexcept;

  // The same fixed text on every C++ runtime; the message is in msg.
  const char* what() const noexcept override { return "Unknown exception"; }
};

}  // namespace my
