// Trimming of texts read from windows and from the system.
#pragma once

#include <cwctype>
#include <string>
#include <string_view>

namespace my {

// White space and carriage returns: what is cut from both ends of window
// texts and system error texts.
inline bool IsBlankOrReturn(wchar_t c) noexcept {
  return c == L'\r' || std::iswspace(static_cast<wint_t>(c)) != 0;
}

// `text` without the leading and trailing characters for which `pred` holds.
template <class Pred>
void TrimText(std::wstring& out, std::wstring_view text, Pred pred) {
  std::size_t begin = 0, end = text.size();
  while (begin < end && pred(text[begin])) ++begin;
  while (end > begin && pred(text[end - 1])) --end;
  out.assign(text.substr(begin, end - begin));
}

}  // namespace my
