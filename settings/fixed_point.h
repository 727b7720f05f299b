// Numbers with a fraction are kept as integers scaled by 10^decimals (the
// refresh rate 29.97 is stored as 2997). These turn them into text and back.
// Platform-free.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vl {

// "29.97" for (2997, 2); trailing fraction zeros are dropped unless kept
// ("10" for (1000, 2), or "10.00" when keepTrailingZeros).
std::wstring FormatFixedPoint(std::int32_t value, int decimals, bool keepTrailingZeros);

// Parses an optional sign, decimal digits and an optional fraction; fraction
// digits beyond `decimals` are dropped, and a number beyond the signed 32-bit
// range, before or after scaling, saturates to the range's end. Fails
// (leaving `out` alone) on any other text.
bool ParseFixedPoint(std::wstring_view text, int decimals, std::int32_t& out);

// Reads an entry as a user typed it: full-width digits, full stop, plus, minus
// and space (what a Japanese input method types) count as ASCII, blanks
// and returns at both ends are cut, and an empty entry is 0; the rest is
// ParseFixedPoint's. May throw std::bad_alloc.
bool ReadFixedPointEntry(std::wstring_view text, int decimals, std::int32_t& out);

}  // namespace vl
