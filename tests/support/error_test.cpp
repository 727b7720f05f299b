#include "support/error.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/text.h"
#include "tests/support/test_resource.h"

namespace {

TEST(HResultFromWin32, AgreesWithThePlatformMacro) {
  const DWORD codes[] = {0,          5,          ERROR_RESOURCE_NAME_NOT_FOUND,
                         0x12345,    0xFFFF,     0x7FFFFFFF,
                         0x80000000, 0x80070005, 0xFFFFFFFF};
  for (DWORD code : codes) EXPECT_EQ(my::HResultFromWin32(code), HRESULT_FROM_WIN32(code)) << code;
  static_assert(my::HResultFromWin32(0) == 0);
  static_assert(my::HResultFromWin32(5) == static_cast<HRESULT>(0x80070005));
}

TEST(GetSystemErrorText, KnownCodesGiveTheSystemText) {
  const std::wstring accessDenied = my::GetSystemErrorText(5);
  ASSERT_FALSE(accessDenied.empty());
  EXPECT_EQ(accessDenied.rfind(L"Unknown HRESULT", 0), std::wstring::npos) << accessDenied;
  // A system error code wrapped as an HRESULT (facility 7) has its text.
  EXPECT_EQ(my::GetSystemErrorText(static_cast<HRESULT>(0x80070005)), accessDenied);
  // Facility 8 is not a wrapped system code: 0x80080005 is a COM server
  // failure, and is not reported as a denied access.
  EXPECT_NE(my::GetSystemErrorText(static_cast<HRESULT>(0x80080005)), accessDenied);
}

TEST(GetSystemErrorText, TextWithAnInsertIsKeptNotRefused) {
  // "%1 is not a valid Win32 application.": a system text with an insert
  // and no arguments to fill it.
  const std::wstring text = my::GetSystemErrorText(my::HResultFromWin32(ERROR_BAD_EXE_FORMAT));
  EXPECT_EQ(text.rfind(L"Unknown HRESULT", 0), std::wstring::npos) << text;
  EXPECT_NE(text.find(L"%1"), std::wstring::npos) << text;
}

TEST(GetSystemErrorText, UnknownCodesGiveLowerCaseHexWithoutLeadingZeros) {
  const struct {
    DWORD hr;
    const wchar_t* expected;
  } cases[] = {
      {0xDEADBEEF, L"Unknown HRESULT: deadbeef"},
      {0x0000ABCD, L"Unknown HRESULT: abcd"},
      {0x8008ABCD, L"Unknown HRESULT: 8008abcd"},  // facility 8: the whole value is shown
  };
  for (const auto& c : cases)
    EXPECT_EQ(my::GetSystemErrorText(static_cast<HRESULT>(c.hr)), c.expected);
}

TEST(TrimText, CutsBlanksAndReturnsAtBothEndsOnly) {
  const struct {
    const wchar_t* in;
    const wchar_t* out;
  } cases[] = {
      {L"", L""},         {L" \t\r\n ", L""},
      {L"abc", L"abc"},   {L"\r\n  a b\tc \r\n", L"a b\tc"},
      {L"\r\r\nx", L"x"}, {L"\x93e1\r\n", L"\x93e1"},
  };
  for (const auto& c : cases) {
    std::wstring out = L"stale";
    my::TrimText(out, c.in, my::IsBlankOrReturn);
    EXPECT_EQ(out, c.out) << c.in;
  }
  std::wstring digitsCut;
  my::TrimText(digitsCut, L"12ab34", [](wchar_t ch) { return ch >= L'0' && ch <= L'9'; });
  EXPECT_EQ(digitsCut, L"ab");
}

TEST(CSimpleErr, NumberZeroClearsTheText) {
  my::CSimpleErr err;
  err.Set(IDS_TEST_PAIR, L"a", L"b");
  ASSERT_FALSE(err.msg.empty());
  err.SetHr(0, E_FAIL, L"a");
  EXPECT_EQ(err.no, 0);
  EXPECT_EQ(err.hr, E_FAIL);
  EXPECT_TRUE(err.msg.empty());
  err.Set(0, L"a");
  EXPECT_EQ(err.hr, 0);
  EXPECT_TRUE(err.msg.empty());
}

TEST(CSimpleErr, SetFormatsTheTextsInOrder) {
  my::CSimpleErr err;
  err.hr = E_FAIL;
  err.Set(IDS_TEST_PAIR, std::wstring(L"first"), L"second");
  EXPECT_EQ(err.no, IDS_TEST_PAIR);
  EXPECT_EQ(err.hr, 0);
  EXPECT_EQ(err.msg, L"first|second");
}

TEST(CSimpleErr, SetHrPutsTheTrimmedSystemTextFirst) {
  const HRESULT hr = my::HResultFromWin32(ERROR_ACCESS_DENIED);
  std::wstring system = my::GetSystemErrorText(hr);
  system.erase(system.find_last_not_of(L" \t\r\n") + 1);
  ASSERT_FALSE(system.empty());

  my::CSimpleErr err;
  err.SetHr(IDS_TEST_PAIR, hr, L"7");
  EXPECT_EQ(err.hr, hr);
  EXPECT_EQ(err.msg, system + L"|7");
}

TEST(CException, MissingFormatGivesAFallbackInsteadOfRaising) {
  // Building an exception whose own format is missing must not raise again.
  my::CException e(IDS_TEST_NO_BLOCK, my::HResultFromWin32(ERROR_ACCESS_DENIED), L"42");
  EXPECT_EQ(e.no, IDS_TEST_NO_BLOCK);
  EXPECT_EQ(e.hr, my::HResultFromWin32(ERROR_ACCESS_DENIED));
  EXPECT_NE(e.msg.find(std::to_wstring(IDS_TEST_NO_BLOCK)), std::wstring::npos) << e.msg;
  EXPECT_NE(e.msg.find(L"42"), std::wstring::npos) << e.msg;
  std::wstring system;
  my::TrimText(system, my::GetSystemErrorText(e.hr), my::IsBlankOrReturn);
  EXPECT_NE(e.msg.find(system), std::wstring::npos) << e.msg;
}

TEST(CException, IsCaughtAsEachBaseWithItsData) {
  const my::CException thrown(IDS_TEST_ANGLE, L"x");
  ASSERT_EQ(thrown.msg, L"<x>");
  try {
    throw thrown;
  } catch (const my::CSimpleErr& e) {
    EXPECT_EQ(e.no, IDS_TEST_ANGLE);
    EXPECT_EQ(e.hr, 0);
    EXPECT_EQ(e.msg, L"<x>");
  }
  try {
    throw thrown;
  } catch (const std::exception& e) {
    EXPECT_STREQ(e.what(), "Unknown exception");
  }
  try {
    throw thrown;
  } catch (const my::CException& e) {
    const my::CException copy = e;
    EXPECT_EQ(copy.no, IDS_TEST_ANGLE);
    EXPECT_EQ(copy.msg, L"<x>");
  }
}

}  // namespace
