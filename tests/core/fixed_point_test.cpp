#include "settings/fixed_point.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace vl {
namespace {

TEST(FixedPoint, Format) {
  const struct {
    std::int32_t value;
    int decimals;
    bool keep;
    const wchar_t* text;
  } cases[] = {
      {1000, 2, false, L"10"},
      {2997, 2, false, L"29.97"},
      {1050, 2, false, L"10.5"},
      {1005, 2, false, L"10.05"},
      {1, 2, false, L"0.01"},
      {-150, 2, false, L"-1.5"},
      {-5, 2, false, L"-0.05"},
      {0, 2, false, L"0"},
      {1000, 2, true, L"10.00"},
      {1050, 2, true, L"10.50"},
      {42, 0, false, L"42"},
      {-42, 0, true, L"-42"},
      {INT_MIN, 0, false, L"-2147483648"},
      {INT_MIN, 2, false, L"-21474836.48"},
      {INT_MAX, 3, false, L"2147483.647"},
      {7, 12, false, L"0.000000000007"},
      {-7, 30, true, L"-0.000000000000000000000000000007"},
      {5, -1, false, L"5"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FormatFixedPoint(c.value, c.decimals, c.keep), c.text)
        << c.value << "/" << c.decimals;
}

TEST(FixedPoint, ParseAccepted) {
  const struct {
    const wchar_t* text;
    int decimals;
    std::int32_t value;
  } cases[] = {
      {L"12", 0, 12},
      {L"+12", 0, 12},
      {L"-12", 0, -12},
      {L"12.", 0, 12},
      {L"29.97", 2, 2997},
      {L"0.5", 2, 50},
      {L"29.979", 2, 2997},
      {L"12.9", 0, 12},
      {L"-0.5", 2, -50},
      {L"-0", 2, 0},
      {L"0.001", 2, 0},
      {L"10", 2, 1000},
      {L"007", 0, 7},
      {L"60", 2, 6000},
      {L"99999999999", 0, INT_MAX},  // saturates
      {L"-99999999999", 0, INT_MIN},
      {L"21474836.47", 2, INT_MAX},
      {L"-21474836.48", 2, INT_MIN},
      {L"0.000", 40, 0},             // a long scale of zero is zero
      {L"99999999999", 2, INT_MAX},  // too large once scaled: saturates as well
      {L"21474836.48", 2, INT_MAX},
      {L"-21474836.49", 2, INT_MIN},
      {L"0.00000000000000000000000000001", 40, INT_MAX},  // 10^11 once scaled
  };
  for (const auto& c : cases) {
    std::int32_t out = 12345;
    EXPECT_TRUE(ParseFixedPoint(c.text, c.decimals, out)) << c.text;
    EXPECT_EQ(out, c.value) << c.text;
  }
}

TEST(FixedPoint, ParseRejectedLeavesTheValueAlone) {
  const std::wstring many(5000, L'9');
  const struct {
    std::wstring text;
    int decimals;
  } cases[] = {
      {L".5", 2},
      {L"1e3", 0},
      {L"1,000", 0},
      {L"12a", 0},
      {L"abc", 0},
      {L"--1", 0},
      {L"+-1", 0},
      {L"", 0},
      {L" 12", 0},
      {L"12 ", 0},
      {L"+", 0},
      {L"-", 0},
      {L".", 0},
      {L"1.2.3", 2},
      {L"12\n", 0},
      {L"abc\n12", 0},
      {L"12\nabc", 0},
      {L"\x0661\x0662", 0},  // Arabic-Indic digits
      {L"\xFF11\xFF12", 0},  // full-width digits: only an entry's reading narrows them
      {L"5", -1},
      {many + L"x", 2},
      {std::wstring(L"1.") + many + L".", 20},
  };
  for (const auto& c : cases) {
    std::int32_t out = 777;
    EXPECT_FALSE(ParseFixedPoint(c.text, c.decimals, out)) << "len " << c.text.size();
    EXPECT_EQ(out, 777);
  }
}

// Entries as typed: full-width forms read as ASCII, blanks around are cut.
TEST(FixedPoint, ReadEntryTakesFullWidthFormsAndBlanks) {
  constexpr std::int32_t kRejected = 777;
  const struct {
    const wchar_t* text;
    int decimals;
    std::int32_t value;
  } cases[] = {
      {L"\xFF12\xFF10", 2, 2000},                    // full-width 20
      {L"\xFF12\xFF19\xFF0E\xFF19\xFF17", 2, 2997},  // 29.97
      {L"\x3000\xFF13\xFF10\x3000", 0, 30},          // full-width blanks around
      {L" \t\xFF0D\xFF11\r\n", 0, -1},               // full-width minus
      {L"\xFF0B\xFF17", 0, 7},                       // full-width plus
      {L"1\xFF12.\xFF15", 1, 125},                   // mixed widths
      {L"", 2, 0},
      {L"\x3000 \r\n", 2, 0},                 // blanks only: empty
      {L"1\x3000 2", 0, kRejected},           // a blank inside
      {L"\xFF11\xFF0C\xFF15", 2, kRejected},  // full-width comma
      {L"\x0661", 0, kRejected},              // other scripts' digits
      {L"\xFF1A", 0, kRejected},              // the character after ９
  };
  for (const auto& c : cases) {
    std::int32_t out = kRejected;
    EXPECT_EQ(ReadFixedPointEntry(c.text, c.decimals, out), c.value != kRejected) << c.value;
    EXPECT_EQ(out, c.value);
  }
}

TEST(FixedPoint, ThousandsOfDigitsAreHandledWithoutOverflow) {
  std::int32_t out = 0;
  EXPECT_TRUE(ParseFixedPoint(std::wstring(10000, L'9'), 0, out));
  EXPECT_EQ(out, INT_MAX);
  EXPECT_TRUE(ParseFixedPoint(L"1." + std::wstring(10000, L'0'), 2, out));
  EXPECT_EQ(out, 100);
  EXPECT_TRUE(ParseFixedPoint(L"0", INT_MAX, out));  // huge scale of zero is zero
  EXPECT_EQ(out, 0);
}

TEST(FixedPoint, FormatThenParseRoundTrips) {
  for (std::int32_t v : {0, 1, -1, 5, 99, 100, 2997, -2997, 5000, INT_MAX, INT_MIN}) {
    for (int k : {0, 1, 2, 5}) {
      for (bool keep : {false, true}) {
        std::int32_t back = 0;
        ASSERT_TRUE(ParseFixedPoint(FormatFixedPoint(v, k, keep), k, back)) << v << "/" << k;
        EXPECT_EQ(back, v);
      }
    }
  }
}

}  // namespace
}  // namespace vl
