// The program's string tables: which languages carry them and what their
// formats expect.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "res/resource.h"
#include "support/resource_string.h"

namespace {

constexpr WORD kEnglish = MAKELANGID(LANG_ENGLISH, SUBLANG_NEUTRAL);
constexpr WORD kJapanese = MAKELANGID(LANG_JAPANESE, SUBLANG_JAPANESE_JAPAN);
static_assert(kEnglish == MAKELANGID(VL_LANG_ENGLISH, VL_SUBLANG_ENGLISH));
static_assert(kJapanese == MAKELANGID(VL_LANG_JAPANESE, VL_SUBLANG_JAPANESE));

// String `id` as stored under `language` (or the system's nearest fallback);
// nothing when there is no block for it. Strings are kept 16 to a block, each behind its length.
std::optional<std::wstring> ReadString(UINT id, WORD language) {
  const HMODULE module = my::ResourceInstance();
  const HRSRC found = ::FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(id / 16 + 1), language);
  if (!found) return std::nullopt;
  auto p = static_cast<const wchar_t*>(::LockResource(::LoadResource(module, found)));
  if (!p) return std::nullopt;
  for (UINT i = 0; i < id % 16; ++i) p += 1 + *p;
  return std::wstring(p + 1, *p);
}

// How many "%ls" the format holds, or -1 when it holds any other conversion.
int CountTextArgs(const std::wstring& format) {
  int count = 0;
  for (std::size_t at = format.find(L'%'); at != std::wstring::npos;
       at = format.find(L'%', at + 3)) {
    if (format.compare(at, 3, L"%ls") != 0) return -1;
    ++count;
  }
  return count;
}

const UINT kStrings[] = {IDS_MAKER, IDS_PRODUCT, IDS_ERR_LOAD_STRING, IDS_ERR_STRING_TOO_LONG};

// The languages under which string `id`'s block is stored, in order.
std::vector<WORD> BlockLanguages(UINT id) {
  std::vector<WORD> languages;
  ::EnumResourceLanguagesW(
      my::ResourceInstance(), RT_STRING, MAKEINTRESOURCEW(id / 16 + 1),
      [](HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR list) -> BOOL {
        reinterpret_cast<std::vector<WORD>*>(list)->push_back(language);
        return TRUE;
      },
      reinterpret_cast<LONG_PTR>(&languages));
  std::sort(languages.begin(), languages.end());
  return languages;
}

TEST(Resources, StringsExistInNeutralEnglishAndJapaneseOnly) {
  // Nothing under US English: it would hide the neutral English texts from
  // US-English users and show them those texts instead.
  const std::vector<WORD> expected = {kEnglish, kJapanese};
  for (UINT id : kStrings) {
    EXPECT_EQ(BlockLanguages(id), expected) << id;
    for (WORD language : expected) {
      const auto text = ReadString(id, language);
      ASSERT_TRUE(text.has_value()) << id << " in language " << language;
      EXPECT_FALSE(text->empty()) << id << " in language " << language;
    }
  }
}

TEST(Resources, NamesAreTheSameInEveryLanguage) {
  // The maker and product names also form the settings' registry key, which
  // must not move with the user's language.
  for (UINT id : {UINT{IDS_MAKER}, UINT{IDS_PRODUCT}})
    EXPECT_EQ(ReadString(id, kJapanese), ReadString(id, kEnglish));
  std::wstring maker, product;
  my::LoadResourceString(maker, IDS_MAKER, true);
  my::LoadResourceString(product, IDS_PRODUCT, true);
  EXPECT_EQ(maker, L"Korvane");
  EXPECT_EQ(product, L"Vellora");
}

TEST(Resources, MessageFormatsTakeTheirArgumentsAsWideTexts) {
  const struct {
    UINT id;
    int texts;
  } cases[] = {{IDS_ERR_LOAD_STRING, 2}, {IDS_ERR_STRING_TOO_LONG, 1}};
  for (const auto& c : cases) {
    for (WORD language : {kEnglish, kJapanese}) {
      const auto format = ReadString(c.id, language);
      ASSERT_TRUE(format.has_value());
      EXPECT_EQ(CountTextArgs(*format), c.texts) << c.id << " in language " << language;
    }
  }
}

TEST(Resources, JapaneseTextsAreDecodedAsUtf8) {
  const auto text = ReadString(IDS_ERR_LOAD_STRING, kJapanese);
  ASSERT_TRUE(text.has_value());
  bool kana = false;
  for (wchar_t c : *text) {
    EXPECT_NE(c, L'\xfffd');
    EXPECT_FALSE(c >= 0x80 && c < 0x100) << "UTF-8 bytes read as single characters";
    kana = kana || (c >= 0x3040 && c <= 0x30ff);
  }
  EXPECT_TRUE(kana);
}

}  // namespace
