#include "support/resource_string.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "res/resource.h"
#include "support/error.h"
#include "support/text.h"
#include "tests/support/test_resource.h"

using LoadStringFn = int(WINAPI*)(HINSTANCE, UINT, LPWSTR, int);
// The import slot through which the library calls LoadStringW.
extern "C" LoadStringFn __imp_LoadStringW;

namespace {

// "0123...xyz" repeated, cut to `length`: the text of the IDS_TEST_LEN_* strings.
std::wstring Pattern(std::size_t length) {
  static const wchar_t digits[] = L"0123456789abcdefghijklmnopqrstuvwxyz";
  std::wstring text;
  for (std::size_t i = 0; i < length; ++i) text += digits[i % 36];
  return text;
}

// Puts a recording stand-in into the LoadStringW import slot for its lifetime,
// so a test sees the capacities that the loader asks for string `watched`. In
// "never fits" mode the stand-in fills the whole buffer for that string each
// time, like a string longer than any capacity. Other strings load as usual.
class CLoadStringSpy {
 public:
  explicit CLoadStringSpy(UINT watched, bool neverFits = false) {
    s_capacities.clear();
    s_watched = watched;
    s_neverFits = neverFits;
    s_real = Swap(&Record);
  }
  ~CLoadStringSpy() { Swap(s_real); }
  CLoadStringSpy(const CLoadStringSpy&) = delete;
  CLoadStringSpy& operator=(const CLoadStringSpy&) = delete;

  static const std::vector<int>& Capacities() { return s_capacities; }

 private:
  static LoadStringFn Swap(LoadStringFn fn) {
    DWORD old = 0;
    ::VirtualProtect(&__imp_LoadStringW, sizeof fn, PAGE_READWRITE, &old);
    const LoadStringFn previous = __imp_LoadStringW;
    __imp_LoadStringW = fn;
    ::VirtualProtect(&__imp_LoadStringW, sizeof fn, old, &old);
    return previous;
  }
  static int WINAPI Record(HINSTANCE module, UINT id, LPWSTR buffer, int capacity) {
    if (id != s_watched) return s_real(module, id, buffer, capacity);
    s_capacities.push_back(capacity);
    if (!s_neverFits) return s_real(module, id, buffer, capacity);
    std::fill(buffer, buffer + capacity - 1, L'x');
    buffer[capacity - 1] = L'\0';
    return capacity - 1;
  }

  static inline LoadStringFn s_real = nullptr;
  static inline UINT s_watched = 0;
  static inline bool s_neverFits = false;
  static inline std::vector<int> s_capacities;
};

TEST(LoadResourceString, ReadsEachLengthWithTheCapacityThatHoldsIt) {
  // A text fits a capacity when its length stays below capacity - 1; a text
  // that reaches it may have been cut, so the next capacity is tried.
  const struct {
    UINT id;
    std::size_t length;
    std::vector<int> capacities;
  } cases[] = {
      {IDS_TEST_LEN_0254, 254, {256}},
      {IDS_TEST_LEN_0255, 255, {256, 2560}},
      {IDS_TEST_LEN_0256, 256, {256, 2560}},
      {IDS_TEST_LEN_2559, 2559, {256, 2560, 25600}},
      {IDS_TEST_LEN_2560, 2560, {256, 2560, 25600}},
  };
  for (const auto& c : cases) {
    std::wstring out;
    {
      CLoadStringSpy spy(c.id);
      EXPECT_TRUE(my::LoadResourceString(out, c.id, true));
      EXPECT_EQ(CLoadStringSpy::Capacities(), c.capacities) << c.length;
    }
    EXPECT_EQ(out, Pattern(c.length));
  }
}

TEST(LoadResourceString, TextLongerThanEveryCapacityRaises53633) {
  const std::vector<int> tried = {256, 2560, 25600, 256000};
  std::wstring out = L"stale";
  {
    CLoadStringSpy spy(IDS_TEST_LEN_0254, true);
    EXPECT_FALSE(my::LoadResourceString(out, IDS_TEST_LEN_0254, false));
    EXPECT_EQ(CLoadStringSpy::Capacities(), tried);
  }
  EXPECT_TRUE(out.empty());

  out = L"stale";
  {
    CLoadStringSpy spy(IDS_TEST_LEN_0254, true);
    try {
      my::LoadResourceString(out, IDS_TEST_LEN_0254, true);
      ADD_FAILURE() << "no exception";
    } catch (const my::CException& e) {
      EXPECT_EQ(e.no, IDS_ERR_STRING_TOO_LONG);
      EXPECT_EQ(e.hr, 0);
      EXPECT_NE(e.msg.find(std::to_wstring(IDS_TEST_LEN_0254)), std::wstring::npos) << e.msg;
    }
    EXPECT_EQ(CLoadStringSpy::Capacities(), tried);
  }
  EXPECT_TRUE(out.empty());
}

TEST(LoadResourceString, MissingIdRaises53632WithTheSystemReason) {
  // What the system reports for this id, read directly.
  wchar_t probe[8];
  ::SetLastError(ERROR_SUCCESS);
  ASSERT_EQ(::LoadStringW(my::ResourceInstance(), IDS_TEST_NO_BLOCK, probe, 8), 0);
  const HRESULT expected = my::HResultFromWin32(::GetLastError());
  ASSERT_NE(expected, 0);
  std::wstring system;
  my::TrimText(system, my::GetSystemErrorText(expected), my::IsBlankOrReturn);

  std::wstring out = L"stale";
  try {
    my::LoadResourceString(out, IDS_TEST_NO_BLOCK, true);
    ADD_FAILURE() << "no exception";
  } catch (const my::CException& e) {
    EXPECT_EQ(e.no, IDS_ERR_LOAD_STRING);
    EXPECT_EQ(e.hr, expected);
    EXPECT_NE(e.msg.find(system), std::wstring::npos) << e.msg;
    EXPECT_NE(e.msg.find(std::to_wstring(IDS_TEST_NO_BLOCK)), std::wstring::npos) << e.msg;
    // The system text comes before the id, as the format's arguments do.
    EXPECT_LT(e.msg.find(system), e.msg.rfind(std::to_wstring(IDS_TEST_NO_BLOCK))) << e.msg;
  }
  EXPECT_TRUE(out.empty());

  out = L"stale";
  EXPECT_FALSE(my::LoadResourceString(out, IDS_TEST_NO_BLOCK, false));
  EXPECT_TRUE(out.empty());
}

TEST(LoadResourceString, MissingIdDoesNotReportAnOlderError) {
  // The system sets no error for a string missing from a block that exists;
  // an error left over from earlier work must not be reported as the reason.
  const HRESULT stale = my::HResultFromWin32(ERROR_ACCESS_DENIED);
  ::SetLastError(ERROR_ACCESS_DENIED);
  std::wstring out;
  try {
    my::LoadResourceString(out, IDS_TEST_ABSENT, true);
    ADD_FAILURE() << "no exception";
  } catch (const my::CException& e) {
    EXPECT_EQ(e.no, IDS_ERR_LOAD_STRING);
    EXPECT_NE(e.hr, stale);
  }
}

TEST(FormatResourceString, PrintsWideTextsAndCutsAtFormatLengthPlus1023) {
  // "<%ls>" has length 5: at most 5 + 1023 = 1028 characters come out.
  const struct {
    std::size_t argLength;
    std::size_t outLength;
    bool cut;
  } cases[] = {
      {0, 2, false},
      {1026, 1028, false},  // exactly the limit
      {1027, 1028, true},
      {5000, 1028, true},
  };
  for (const auto& c : cases) {
    const std::wstring arg = Pattern(c.argLength);
    std::wstring out;
    my::FormatResourceString(out, IDS_TEST_ANGLE, arg.c_str());
    ASSERT_EQ(out.size(), c.outLength) << c.argLength;
    EXPECT_EQ(out, c.cut ? (L"<" + arg).substr(0, c.outLength) : L"<" + arg + L">");
  }
}

TEST(FormatResourceString, WideConversionKeepsEveryCharacter) {
  // Non-ASCII in both the format and the argument, with a surrogate pair.
  const std::wstring arg = L"\x30f4\x30a7\x30ed\x30fc\x30e9 \xd83d\xde00 \xe9";
  std::wstring format;
  ASSERT_TRUE(my::LoadResourceString(format, IDS_TEST_WIDE, true));
  const std::size_t at = format.find(L"%ls");
  ASSERT_NE(at, std::wstring::npos);
  ASSERT_NE(format.find_first_not_of(L"\x20-\x7e"), std::wstring::npos);  // really non-ASCII

  std::wstring out;
  my::FormatResourceString(out, IDS_TEST_WIDE, arg.c_str());
  EXPECT_EQ(out, format.substr(0, at) + arg + format.substr(at + 3));

  my::FormatResourceString(out, IDS_TEST_PAIR, L"\x93e1", L"");
  EXPECT_EQ(out, L"\x93e1|");
}

TEST(FormatResourceString, MissingFormatRaises) {
  std::wstring out;
  EXPECT_THROW(my::FormatResourceString(out, IDS_TEST_NO_BLOCK, L"x"), my::CException);
}

}  // namespace
