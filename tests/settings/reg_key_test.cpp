#include "settings/reg_key.h"

#include <gtest/gtest.h>

#include <climits>
#include <type_traits>

#include "reg_test_util.h"

namespace vl {
namespace {

using test::Bytes;
using test::Dword;
using test::RawValue;
using test::ReadRaw;
using test::String;
using test::WriteRaw;

using RegKeyTest = test::RegistryTest;

static_assert(!std::is_copy_constructible_v<CRegKey> && !std::is_copy_assignable_v<CRegKey>);
static_assert(std::is_nothrow_move_constructible_v<CRegKey>);

bool IsOpenHandle(HKEY key) {
  return ::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

TEST_F(RegKeyTest, QueryInt32AcceptsOnlyFourByteDwords) {
  const struct {
    const char* what;
    std::optional<RawValue> stored;  // nullopt: no such value
    std::optional<std::int32_t> read;
  } cases[] = {
      {"zero", Dword(0), 0},
      {"all bits set reads as -1", Dword(0xFFFFFFFF), -1},
      {"sign bit", Dword(0x80000000), INT_MIN},
      {"largest", Dword(0x7FFFFFFF), INT_MAX},
      {"missing", std::nullopt, std::nullopt},
      {"string", String(L"12"), std::nullopt},
      {"one-character string fits four bytes", String(L"1"), std::nullopt},
      {"qword", Bytes(REG_QWORD, 8, 0), std::nullopt},
      {"binary of four bytes", Bytes(REG_BINARY, 4, 0), std::nullopt},
      {"big-endian dword", Bytes(REG_DWORD_BIG_ENDIAN, 4, 0), std::nullopt},
      {"dword too long", Bytes(REG_DWORD, 8, 0), std::nullopt},
      {"dword of two bytes", Bytes(REG_DWORD, 2, 0), std::nullopt},
      {"dword of no bytes", Bytes(REG_DWORD, 0), std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::DeleteRaw(Path(), L"V");
    if (c.stored) WriteRaw(Path(), L"V", *c.stored);
    CRegKey key;
    ASSERT_EQ(key.Create(HKEY_CURRENT_USER, Path()), ERROR_SUCCESS);
    std::int32_t value = 0x5A5A5A5A;
    const LSTATUS status = key.QueryInt32(L"V", value);
    if (c.read) {
      EXPECT_EQ(status, ERROR_SUCCESS);
      EXPECT_EQ(value, *c.read);
    } else {
      EXPECT_NE(status, ERROR_SUCCESS);
      EXPECT_EQ(value, 0x5A5A5A5A) << "a failed read must not touch the value";
    }
  }
}

TEST_F(RegKeyTest, WriteThroughReadOnlyKeyFailsAndKeepsStoredValue) {
  WriteRaw(Path(), L"V", Dword(42));
  CRegKey key;
  ASSERT_EQ(key.Open(HKEY_CURRENT_USER, Path(), KEY_READ), ERROR_SUCCESS);
  EXPECT_NE(key.SetInt32(L"V", 7), ERROR_SUCCESS);
  EXPECT_EQ(ReadRaw(Path(), L"V"), Dword(42));
}

TEST_F(RegKeyTest, OpenDoesNotCreateAndFailureKeepsHeldKey) {
  CRegKey key;
  ASSERT_EQ(key.Create(HKEY_CURRENT_USER, Path()), ERROR_SUCCESS);
  const HKEY held = key.Get();
  const std::wstring missing = Path() + L"\\Missing";
  EXPECT_NE(key.Open(HKEY_CURRENT_USER, missing), ERROR_SUCCESS);
  EXPECT_FALSE(test::KeyExists(missing));
  EXPECT_EQ(key.Get(), held);
  EXPECT_TRUE(IsOpenHandle(held));

  // Create makes missing parents too.
  const std::wstring deep = Path() + L"\\A\\B\\C";
  EXPECT_EQ(key.Create(HKEY_CURRENT_USER, deep), ERROR_SUCCESS);
  EXPECT_TRUE(test::KeyExists(deep));
}

TEST_F(RegKeyTest, EachHandleIsClosedExactlyOnceByItsOwner) {
  CRegKey a;
  ASSERT_EQ(a.Create(HKEY_CURRENT_USER, Path()), ERROR_SUCCESS);
  const HKEY first = a.Get();

  CRegKey b(std::move(a));  // moves ownership, does not close
  EXPECT_FALSE(a);
  EXPECT_EQ(b.Get(), first);
  EXPECT_TRUE(IsOpenHandle(first));

  ASSERT_EQ(b.Create(HKEY_CURRENT_USER, Path() + L"\\Sub"), ERROR_SUCCESS);
  EXPECT_FALSE(IsOpenHandle(first));  // replaced, so closed
  CRegKey c;
  c = std::move(b);
  const HKEY second = c.Get();
  EXPECT_TRUE(IsOpenHandle(second));
  EXPECT_FALSE(b);

  {
    CRegKey scoped(c.Detach());  // Detach hands over without closing
    EXPECT_TRUE(IsOpenHandle(second));
  }
  EXPECT_FALSE(IsOpenHandle(second));  // closed by the scope's end
}

}  // namespace
}  // namespace vl
