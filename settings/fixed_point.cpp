#include "settings/fixed_point.h"

#include <boost/regex.hpp>
#include <cstdlib>
#include <limits>

#include "support/text.h"

namespace vl {

std::wstring FormatFixedPoint(std::int32_t value, int decimals, bool keepTrailingZeros) {
  int k = decimals < 0 ? 0 : decimals;
  // Beyond 18 decimals 10^k leaves int64; every int32 is then all fraction.
  std::int64_t whole = value, frac = 0;
  if (k > 0) {
    if (k <= 18) {
      std::int64_t p = 1;
      for (int i = 0; i < k; ++i) p *= 10;
      whole = value / p;
      frac = std::llabs(value % p);
    } else {
      whole = 0;
      frac = std::llabs(std::int64_t{value});
    }
  }

  std::wstring text = value < 0 ? L"-" : L"";
  text += std::to_wstring(std::llabs(whole));
  if (k == 0) return text;
  if (!keepTrailingZeros) {
    if (frac == 0) return text;
    while (frac % 10 == 0) {
      frac /= 10;
      --k;
    }
  }
  std::wstring digits = std::to_wstring(frac);
  if (digits.size() < static_cast<std::size_t>(k))
    digits.insert(0, static_cast<std::size_t>(k) - digits.size(), L'0');
  return text + L"." + digits;
}

namespace {

// Optional sign and integer digits, then nothing, a bare point, or a point
// and fraction digits. Only ASCII digits count.
const boost::wregex& NumberPattern() {
  // no_mod_m: ^ and $ anchor the whole text, not one line of it, so text
  // pasted across lines cannot pass on the strength of one good line.
  static const boost::wregex pattern(
      LR"(^((?:\+?|-?)[0-9]+)(?:\.?|\.([0-9]+))$)",
      boost::regex_constants::perl | boost::regex_constants::no_mod_m);
  return pattern;
}

}  // namespace

bool ParseFixedPoint(std::wstring_view text, int decimals, std::int32_t& out) {
  if (decimals < 0) return false;

  boost::wcmatch match;
  try {
    if (!boost::regex_match(text.data(), text.data() + text.size(), match, NumberPattern()))
      return false;
  } catch (const std::exception&) {
    return false;  // the matcher gave up (complexity or memory): not a number
  }

  const auto integer = match[1];
  const auto fraction = match[2];
  auto it = integer.first;
  const bool negative = *it == L'-';
  if (*it == L'-' || *it == L'+') ++it;

  // Magnitude limit: 2^31 for a negative result, 2^31 - 1 otherwise.
  const std::int64_t limit = negative ? std::int64_t{1} << 31 : (std::int64_t{1} << 31) - 1;

  // The integer part saturates to the 32-bit range, as a huge entry means "as
  // much as possible" rather than garbage.
  std::int64_t magnitude = 0;
  for (; it != integer.second; ++it) {
    magnitude = magnitude * 10 + (*it - L'0');
    if (magnitude > limit) {
      magnitude = limit;
      break;
    }
  }

  // Scale by 10^decimals, taking fraction digits (dropped beyond `decimals`,
  // zeros after the last one). A result that cannot fit saturates as well:
  // it is a number all the same, only a very large one.
  const std::ptrdiff_t fractionLength = fraction.matched ? fraction.second - fraction.first : 0;
  for (int pos = 0; pos < decimals; ++pos) {
    if (pos >= fractionLength && magnitude == 0) break;  // only zeros follow
    const int digit = pos < fractionLength ? fraction.first[pos] - L'0' : 0;
    magnitude = magnitude * 10 + digit;
    if (magnitude > limit) {
      magnitude = limit;
      break;
    }
  }

  out = static_cast<std::int32_t>(negative ? -magnitude : magnitude);
  return true;
}

namespace {

wchar_t NarrowNumberChar(wchar_t c) noexcept {
  if (c >= L'\xFF10' && c <= L'\xFF19') return static_cast<wchar_t>(L'0' + (c - L'\xFF10'));
  switch (c) {
    case L'\xFF0E': return L'.';
    case L'\xFF0B': return L'+';
    case L'\xFF0D': return L'-';
    case L'\x3000': return L' ';
    default: return c;
  }
}

}  // namespace

bool ReadFixedPointEntry(std::wstring_view text, int decimals, std::int32_t& out) {
  std::wstring narrow(text);
  for (wchar_t& c : narrow) c = NarrowNumberChar(c);
  std::wstring trimmed;
  my::TrimText(trimmed, narrow, my::IsBlankOrReturn);
  if (trimmed.empty()) {
    out = 0;
    return true;
  }
  return ParseFixedPoint(trimmed, decimals, out);
}

}  // namespace vl
