// The store without a settings file: everything goes to the registry.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "base/run_state.h"
#include "settings/settings_store.h"
#include "support/test_registry.h"
#include "tests/settings/store_fixture.h"

namespace {

using RegistryStore = StoreTest;

const std::wstring Sub = std::wstring(TestKey) + L"\\Sub";
const std::wstring ProductSub = std::wstring(TestProductKey) + L"\\Sub";
const std::wstring AbsoluteSub = L"\\" + ProductSub;

}  // namespace

TEST(ResolveKeyPath, ProductRelativeAbsoluteAndClassPaths) {
  wchar_t resolved[ResolvedKeyChars];
  struct Case {
    HKEY root;
    const wchar_t* path;
    const wchar_t* expected;
  } cases[] = {
      {HKEY_CURRENT_USER, L"Setup\\MenuItems", L"Software\\Pelodra\\Setup\\MenuItems"},
      {HKEY_LOCAL_MACHINE, L"", L"Software\\Pelodra"},
      {HKEY_LOCAL_MACHINE, nullptr, L"Software\\Pelodra"},
      {HKEY_LOCAL_MACHINE,
       L"\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Pelodra.exe",
       L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Pelodra.exe"},
      {HKEY_CURRENT_USER, L"\\", L""},
      {HKEY_CLASSES_ROOT, L".kel", L".kel"},
      {HKEY_CLASSES_ROOT, L"\\odd", L"\\odd"},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(ResolveKeyPath(c.root, c.path, resolved));
    EXPECT_STREQ(resolved, c.expected);
  }

  // 511 characters fit; one more is cut, and said so.
  std::wstring path(511 - 17, L'k');
  EXPECT_TRUE(ResolveKeyPath(HKEY_CURRENT_USER, path.c_str(), resolved));
  EXPECT_EQ(wcslen(resolved), 511u);
  path += L"k";
  EXPECT_FALSE(ResolveKeyPath(HKEY_CURRENT_USER, path.c_str(), resolved));
  EXPECT_EQ(wcslen(resolved), 511u);
}

TEST(MakeEntryName, PrefixPathSeparatorAndValue) {
  wchar_t name[EntryNameChars];
  struct Case {
    HKEY root;
    const wchar_t* path;
    const wchar_t* value;
    const wchar_t* expected;
  } cases[] = {
      {HKEY_CURRENT_USER, L"Setup\\MenuItems", L"ExtrTo", L"HKCU\\Setup\\MenuItems\\ExtrTo"},
      {HKEY_LOCAL_MACHINE, L"", L"exe32", L"HKLM\\exe32"},
      {GlobalRoot, L"Global", L"Integration", L"Global\\Integration"},
      {HKEY_CURRENT_USER, L"Setup", L"", L"HKCU\\Setup\\"},
      {HKEY_CURRENT_USER, L"Setup\\", L"x", L"HKCU\\Setup\\x"},
      {GlobalRoot, L"", L"x", L"x"},
      {GlobalRoot, L"", L"", L""},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(MakeEntryName(c.root, c.path, c.value, name));
    EXPECT_STREQ(name, c.expected);
  }
  std::wstring path(1023 - 7, L'k');
  EXPECT_TRUE(MakeEntryName(HKEY_CURRENT_USER, path.c_str(), L"v", name));
  EXPECT_FALSE(MakeEntryName(HKEY_CURRENT_USER, path.c_str(), L"vw", name));
  EXPECT_EQ(wcslen(name), 1023u);
}

TEST_F(RegistryStore, WritesLandWhereTheRootAndPathSay) {
  EXPECT_EQ(SetString(HKEY_CURRENT_USER, Sub.c_str(), L"Text", L"user"), ERROR_SUCCESS);
  EXPECT_EQ(SetString(HKEY_LOCAL_MACHINE, Sub.c_str(), L"Text", L"machine"), ERROR_SUCCESS);
  EXPECT_EQ(SetString(HKEY_CURRENT_USER, AbsoluteSub.c_str(), L"Absolute", L"abs"), ERROR_SUCCESS);
  EXPECT_EQ(SetString(HKEY_CLASSES_ROOT, TestClassKey, L"", L"class"), ERROR_SUCCESS);
  EXPECT_FALSE(IsIniActive());
  EXPECT_TRUE(IsIntegrationEnabled());

  EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, ProductSub, L"Text"), L"user");
  EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, ProductSub, L"Text"), L"machine");
  EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, ProductSub, L"Absolute"), L"abs");
  EXPECT_EQ(RegistryString(HKEY_CLASSES_ROOT, TestClassKey, L""), L"class");

  std::optional<RegistryData> text = RegistryValue(HKEY_CURRENT_USER, ProductSub, L"Text");
  ASSERT_TRUE(text);
  EXPECT_EQ(text->type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(text->bytes, std::string("u\0s\0e\0r\0\0\0", 10));

  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, Sub.c_str()));
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, TestClassKey));
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, (Sub + L"\\Missing").c_str()));
}

TEST_F(RegistryStore, NumbersRoundTripAsDwords) {
  for (int32_t value : {0, 1, -1, 123456789, INT32_MIN}) {
    EXPECT_EQ(SetUserInt(Sub.c_str(), L"N", value), ERROR_SUCCESS);
    EXPECT_EQ(GetUserInt(Sub.c_str(), L"N", 77), value);
  }
  std::optional<RegistryData> number = RegistryValue(HKEY_CURRENT_USER, ProductSub, L"N");
  ASSERT_TRUE(number);
  EXPECT_EQ(number->type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(number->bytes, std::string("\0\0\0\x80", 4));

  // The default value of a key (empty name).
  EXPECT_EQ(SetInt(HKEY_CLASSES_ROOT, TestClassKey, L"", 5), ERROR_SUCCESS);
  EXPECT_EQ(GetInt(HKEY_CLASSES_ROOT, TestClassKey, nullptr, 0), 5);
  EXPECT_EQ(GetUserInt(Sub.c_str(), L"Missing", 77), 77);
  EXPECT_EQ(GetUserInt((Sub + L"\\Missing").c_str(), L"N", -3), -3);
}

TEST_F(RegistryStore, NumbersAreDwordsOrShortBinaryDataAndShortValuesCountWithZeros) {
  struct Case {
    std::string bytes;
    DWORD type;
    int32_t expected;
  } cases[] = {
      {std::string("\x34\x12\0\0", 4), REG_BINARY, 0x1234},
      {"\x7F", REG_BINARY, 0x7F},
      {std::string("\xFF\xFF\x01", 3), REG_BINARY, 0x01FFFF},
      {std::string("\x05\x01", 2), REG_DWORD, 0x0105},
      {"", REG_BINARY, 77},  // no bytes: the default
      {"", REG_DWORD, 77},
      {"12345", REG_BINARY, 77},  // more than four: the default
      {std::string(8, '\x01'), REG_QWORD, 77},
      // Text is no number: "0" read as bytes would be 0x30 and set a flag.
      {std::string("0\0\0\0", 4), REG_SZ, 77},
      {std::string("7\0\0\0", 4), REG_EXPAND_SZ, 77},
      {std::string("1\0\0\0", 4), REG_MULTI_SZ, 77},
      {std::string("\x01\0\0\0", 4), REG_NONE, 77},
      {std::string("\0\0\0\x01", 4), REG_DWORD_BIG_ENDIAN, 77},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, ProductSub, L"V", c.type, c.bytes.data(),
                                 static_cast<DWORD>(c.bytes.size())));
    EXPECT_EQ(GetUserInt(Sub.c_str(), L"V", 77), c.expected) << c.bytes.size();
  }
}

TEST_F(RegistryStore, StringsFitOrDeliverTheDefault) {
  wchar_t buffer[8];
  EXPECT_EQ(SetUserString(Sub.c_str(), L"S", L"1234567"), ERROR_SUCCESS);
  EXPECT_TRUE(GetUserString(Sub.c_str(), L"S", buffer, L"def", 8));
  EXPECT_STREQ(buffer, L"1234567");

  // Eight characters and the terminator do not fit into eight.
  EXPECT_EQ(SetUserString(Sub.c_str(), L"S", L"12345678"), ERROR_SUCCESS);
  EXPECT_FALSE(GetUserString(Sub.c_str(), L"S", buffer, L"def", 8));
  EXPECT_STREQ(buffer, L"def");

  // A value stored without its terminator that fills the buffer does not
  // fit either: cut, it would be another text. (The registry adds a
  // terminator that the caller forgot when one follows the data, so none
  // may follow here.)
  const wchar_t unterminated[] = L"abcdefghX";
  ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, ProductSub, L"Raw", REG_SZ, unterminated, 16));
  EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, ProductSub, L"Raw"), L"abcdefgh");
  EXPECT_FALSE(GetUserString(Sub.c_str(), L"Raw", buffer, L"def", 8));
  EXPECT_STREQ(buffer, L"def");
  ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, ProductSub, L"Raw", REG_SZ, unterminated, 14));
  EXPECT_TRUE(GetUserString(Sub.c_str(), L"Raw", buffer, L"def", 8));
  EXPECT_STREQ(buffer, L"abcdefg");

  EXPECT_FALSE(GetUserString(Sub.c_str(), L"Missing", buffer, L"def", 8));
  EXPECT_STREQ(buffer, L"def");
  EXPECT_FALSE(GetUserString(Sub.c_str(), L"Missing", buffer, L"a long default", 8));
  EXPECT_STREQ(buffer, L"a long ");
  EXPECT_FALSE(GetUserString((Sub + L"\\Missing").c_str(), L"S", buffer, nullptr, 8));
  EXPECT_STREQ(buffer, L"");

  // A line break is plain data in the registry.
  EXPECT_EQ(SetUserString(Sub.c_str(), L"Lines", L"a\r\nb"), ERROR_SUCCESS);
  EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, ProductSub, L"Lines"), L"a\r\nb");
}

TEST_F(RegistryStore, StringsOfAnotherTypeOrTooLongCountAsMissing) {
  wchar_t buffer[MaxPathChars];
  auto expectDefault = [&](DWORD type, const void* data, DWORD size) {
    ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, ProductSub, L"V", type, data, size));
    wmemset(buffer, L'#', MaxPathChars);
    EXPECT_FALSE(GetUserString(Sub.c_str(), L"V", buffer, L"def", MaxPathChars)) << type;
    EXPECT_STREQ(buffer, L"def") << type;
  };
  const uint32_t number = 0x00620061;  // the bytes of "ab"
  expectDefault(REG_DWORD, &number, sizeof number);
  expectDefault(REG_BINARY, L"ab", 6);
  expectDefault(REG_NONE, L"ab", 6);
  expectDefault(REG_MULTI_SZ, L"ab\0cd\0", 14);
  for (size_t length : {size_t{MaxPathChars}, size_t{5000}, size_t{70000}}) {
    std::wstring text(length, L'x');
    expectDefault(REG_SZ, text.c_str(), static_cast<DWORD>((length + 1) * sizeof(wchar_t)));
  }
  // Exactly the buffer's characters without a terminator: one too many.
  std::wstring full = std::wstring(MaxPathChars, L'y') + L"Z";
  expectDefault(REG_SZ, full.c_str(), MaxPathChars * sizeof(wchar_t));

  auto expectText = [&](DWORD type, const void* data, DWORD size, const wchar_t* text) {
    ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, ProductSub, L"V", type, data, size));
    wmemset(buffer, L'#', MaxPathChars);
    EXPECT_TRUE(GetUserString(Sub.c_str(), L"V", buffer, L"def", MaxPathChars)) << text;
    EXPECT_STREQ(buffer, text);
  };
  expectText(REG_EXPAND_SZ, L"%TEMP%\\x", 18, L"%TEMP%\\x");  // taken unexpanded
  expectText(REG_SZ, L"abX", 5, L"ab");                       // an odd last byte
  expectText(REG_SZ, L"abcX", 6, L"abc");                     // no terminator
  expectText(REG_SZ, L"ab\0cd", 12, L"ab");                   // text ends at a NUL
  expectText(REG_SZ, L"", 2, L"");
  expectText(REG_SZ, L"", 0, L"");  // a present value without bytes is empty text
  std::wstring longest(MaxPathChars - 1, L'z');
  expectText(REG_SZ, longest.c_str(), static_cast<DWORD>(MaxPathChars * sizeof(wchar_t)),
             longest.c_str());
}

TEST_F(RegistryStore, PathsTooLongForTheRegistryNameAreRefused) {
  // Cut, the path would name the key "SettingsTests\Sub" or a sibling.
  std::wstring path = Sub + L"\\" + std::wstring(520, L'x');
  EXPECT_EQ(SetUserString(path.c_str(), L"S", L"x"), ERROR_FILENAME_EXCED_RANGE);
  EXPECT_EQ(SetUserInt(path.c_str(), L"N", 1), ERROR_FILENAME_EXCED_RANGE);
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, ProductSub));
  ASSERT_EQ(SetUserInt(Sub.c_str(), L"N", 4), ERROR_SUCCESS);
  EXPECT_EQ(GetUserInt(path.c_str(), L"N", 9), 9);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, path.c_str()));
}

TEST_F(RegistryStore, TheSelectedViewReachesReadsAndWritesButNotKeyExists) {
  if (!IsWow64()) GTEST_SKIP() << "one registry view only";
  RegistryViewFlags = KEY_WOW64_64KEY;
  EXPECT_EQ(SetInt(HKEY_LOCAL_MACHINE, Sub.c_str(), L"N", 64), ERROR_SUCCESS);
  EXPECT_EQ(GetInt(HKEY_LOCAL_MACHINE, Sub.c_str(), L"N", 0), 64);
  wchar_t buffer[16];
  EXPECT_EQ(SetString(HKEY_LOCAL_MACHINE, Sub.c_str(), L"S", L"wide"), ERROR_SUCCESS);
  EXPECT_TRUE(GetString(HKEY_LOCAL_MACHINE, Sub.c_str(), L"S", buffer, L"", 16));
  EXPECT_STREQ(buffer, L"wide");
  EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, Sub.c_str()));
  RegistryViewFlags = 0;

  EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, ProductSub, L"S", KEY_WOW64_64KEY), L"wide");
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, ProductSub));
  EXPECT_EQ(GetInt(HKEY_LOCAL_MACHINE, Sub.c_str(), L"N", 0), 0);
}

TEST_F(RegistryStore, AWriteRefusedByTheRegistryReportsItsError) {
  ASSERT_EQ(SetUserInt(Sub.c_str(), L"N", 1), ERROR_SUCCESS);
  ReadOnlyKey readOnly(HKEY_CURRENT_USER, ProductSub);
  EXPECT_EQ(SetUserString(Sub.c_str(), L"S", L"x"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(SetUserInt(Sub.c_str(), L"N", 2), ERROR_ACCESS_DENIED);
  EXPECT_EQ(GetUserInt(Sub.c_str(), L"N", 0), 1);
}
