// Fixed-point text, both ways, for any text and any 32-bit value.
//
// Parsing, with the two decimal counts the settings page uses (0 and 2) and a
// third drawn from the input: the text is accepted exactly when it is an
// optional sign, ASCII digits and an optional point with optional digits
// after it, and then gives the value an independent reading of the digits
// gives; a rejected text leaves the output alone. The readings with 0 and 2
// decimals agree. A typed entry reads the same with its ASCII digits, point,
// signs and spaces typed full-width and with blanks around it, and a plain
// ASCII one as the parser reads it. Formatting: the text has the allowed form, and parsing it
// gives the value back.
#include <cstdint>
#include <string>

#include "fuzz/fuzz_support.h"
#include "settings/fixed_point.h"

namespace vl::fuzz {
namespace {

constexpr std::int32_t kUntouched = 0x5A5A5A5A;

bool IsDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

// The digits read as a decimal number, or -1 when it exceeds `cap`.
std::int64_t DecimalUpTo(const std::wstring& digits, std::int64_t cap) {
  std::size_t i = digits.find_first_not_of(L'0');
  if (i == std::wstring::npos) return 0;
  if (digits.size() - i > 10) return -1;
  const std::int64_t v = std::stoll(digits.substr(i));
  return v > cap ? -1 : v;
}

struct Reading {
  bool accepted = false;
  std::int32_t value = 0;
};

// The number form and its value, read without a regular expression and with
// the scaling done on the digit string.
Reading Reference(const std::wstring& text, int decimals) {
  if (decimals < 0) return {};
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == L'+' || text[i] == L'-')) negative = text[i++] == L'-';
  const std::size_t intStart = i;
  while (i < text.size() && IsDigit(text[i])) ++i;
  if (i == intStart) return {};
  const std::wstring integer = text.substr(intStart, i - intStart);
  std::wstring fraction;
  if (i < text.size() && text[i] == L'.') {
    const std::size_t fracStart = ++i;
    while (i < text.size() && IsDigit(text[i])) ++i;
    fraction = text.substr(fracStart, i - fracStart);
  }
  if (i != text.size()) return {};

  const std::int64_t limit = negative ? -kMin32 : kMax32;
  const std::size_t k = static_cast<std::size_t>(decimals);
  // Beyond the range before or after scaling: the end of the range.
  const Reading saturated{true, static_cast<std::int32_t>(negative ? kMin32 : kMax32)};
  if (DecimalUpTo(integer, limit) < 0) return saturated;
  fraction.resize(k, L'0');
  const std::int64_t scaled = DecimalUpTo(integer + fraction, limit);
  if (scaled < 0) return saturated;
  return {true, static_cast<std::int32_t>(negative ? -scaled : scaled)};
}

struct Input {
  std::wstring text;
  int decimals = 0;
  std::int32_t value = 0;
} g_input;

Reading Parse(const std::wstring& text, int decimals) {
  std::int32_t out = kUntouched;
  const bool ok = ParseFixedPoint(text, decimals, out);
  if (!ok) FUZZ_REQUIRE(out == kUntouched);
  return {ok, out};
}

Reading CheckParse(const std::wstring& text, int decimals) {
  g_input = {text, decimals, 0};
  const Reading got = Parse(text, decimals);
  const Reading want = Reference(text, decimals);
  FUZZ_REQUIRE(got.accepted == want.accepted);
  if (got.accepted) FUZZ_REQUIRE(got.value == want.value);
  return got;
}

// The text as a Japanese input method would type it.
std::wstring Widen(const std::wstring& text) {
  std::wstring wide;
  for (wchar_t c : text) {
    if (IsDigit(c))
      c = static_cast<wchar_t>(0xFF10 + (c - L'0'));
    else if (c == L'.' || c == L'+' || c == L'-')
      c = static_cast<wchar_t>(0xFEE0 + c);
    else if (c == L' ')
      c = 0x3000;
    wide.push_back(c);
  }
  return wide;
}

Reading Entry(const std::wstring& text, int decimals) {
  std::int32_t out = kUntouched;
  const bool ok = ReadFixedPointEntry(text, decimals, out);
  if (!ok) FUZZ_REQUIRE(out == kUntouched);
  return {ok, out};
}

void CheckEntry(const std::wstring& text, int decimals) {
  g_input = {text, decimals, 0};
  const Reading got = Entry(text, decimals);
  for (const std::wstring& same : {Widen(text), L"\x3000 " + text + L"\r\n\x3000"}) {
    const Reading again = Entry(same, decimals);
    FUZZ_REQUIRE(again.accepted == got.accepted);
    if (got.accepted) FUZZ_REQUIRE(again.value == got.value);
  }
  bool plain = !text.empty() && text.front() > L' ' && text.back() > L' ';
  for (wchar_t c : text) plain = plain && c < 0x7F;
  if (plain) {
    const Reading want = Reference(text, decimals);
    FUZZ_REQUIRE(got.accepted == want.accepted);
    if (got.accepted) FUZZ_REQUIRE(got.value == want.value);
  }
}

// The form FormatFixedPoint promises: "-" only for a negative value, digits,
// and with decimals either exactly that many fraction digits (kept zeros) or
// no trailing zero at all.
void CheckFormat(std::int32_t value, int decimals, bool keep) {
  g_input = {L"", decimals, value};
  const std::wstring text = FormatFixedPoint(value, decimals, keep);
  FUZZ_REQUIRE(!text.empty());
  FUZZ_REQUIRE((text[0] == L'-') == (value < 0));
  const std::size_t point = text.find(L'.');
  const std::size_t digitsFrom = value < 0 ? 1 : 0;
  const std::size_t intEnd = point == std::wstring::npos ? text.size() : point;
  FUZZ_REQUIRE(intEnd > digitsFrom);
  for (std::size_t i = digitsFrom; i < text.size(); ++i)
    FUZZ_REQUIRE(IsDigit(text[i]) || i == point);
  const int k = decimals < 0 ? 0 : decimals;
  if (point != std::wstring::npos) {
    const std::size_t fractionDigits = text.size() - point - 1;
    FUZZ_REQUIRE(fractionDigits > 0 && fractionDigits <= static_cast<std::size_t>(k));
    if (keep) FUZZ_REQUIRE(fractionDigits == static_cast<std::size_t>(k));
    if (!keep) FUZZ_REQUIRE(text.back() != L'0');
  } else {
    FUZZ_REQUIRE(k == 0 || !keep);
  }
  if (decimals >= 0) {
    const Reading back = Parse(text, decimals);
    FUZZ_REQUIRE(back.accepted && back.value == value);
  }
}

// Bytes below 0xF0 are characters of their own; 0xF0 and above take the next
// two bytes as one UTF-16 unit, for digits of other scripts and the like.
std::wstring Decode(const std::uint8_t* data, std::size_t size) {
  std::wstring text;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] >= 0xF0 && i + 2 < size) {
      text.push_back(static_cast<wchar_t>((data[i + 1] << 8) | data[i + 2]));
      i += 2;
    } else {
      text.push_back(static_cast<wchar_t>(data[i]));
    }
  }
  return text;
}

}  // namespace

void DescribeInput() {
  std::fprintf(stderr, "  decimals %d value %d text:", g_input.decimals, g_input.value);
  for (wchar_t c : g_input.text) std::fprintf(stderr, " %04X", static_cast<unsigned>(c));
  std::fprintf(stderr, "\n");
}

}  // namespace vl::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace vl;
  using namespace vl::fuzz;
  if (size == 0) return 0;
  // The first byte picks a third decimal count (with the sign bit: negative)
  // and the formatting check's value; the rest is the text.
  const int third = static_cast<std::int8_t>(data[0]) % 24;
  const std::wstring text = Decode(data + 1, size - 1);

  const Reading units = CheckParse(text, 0), hundredths = CheckParse(text, 2);
  CheckParse(text, third);
  CheckEntry(text, 2);
  if (hundredths.accepted) {
    // Alike, unless the hundredths ran into the end of the range.
    const bool saturated = hundredths.value == kMax32 || hundredths.value == kMin32;
    FUZZ_REQUIRE(units.accepted && (saturated || units.value == hundredths.value / 100));
    for (bool keep : {false, true}) CheckFormat(hundredths.value, 2, keep);
  }
  if (units.accepted)
    for (bool keep : {false, true}) CheckFormat(units.value, 0, keep);

  // Any 32-bit value, any decimal count, through text and back.
  if (size >= 5) {
    std::uint32_t bits = 0;
    for (int i = 1; i <= 4; ++i) bits = bits << 8 | data[i];
    for (bool keep : {false, true}) CheckFormat(static_cast<std::int32_t>(bits), third, keep);
  }
  return 0;
}
