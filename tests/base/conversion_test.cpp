#include "base/conversion.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <cwchar>

TEST(Utf8ToWide, DecodesEveryLengthAndSurrogatePairs) {
  wchar_t out[16];
  EXPECT_TRUE(Utf8ToWide("\x41\xC3\xA9\xF0\x9F\x98\x80\x42", out, 16));
  EXPECT_STREQ(out,
               L"A\u00E9\xD83D\xDE00"
               L"B");
}

TEST(Utf8ToWide, MalformedInputAndSmallDestinations) {
  wchar_t out[16];
  EXPECT_FALSE(Utf8ToWide("\x41\x80\x42", out, 16));
  EXPECT_STREQ(out, L"A");
  EXPECT_FALSE(Utf8ToWide("A\xE2\x82", out, 16));
  EXPECT_STREQ(out, L"A");
  EXPECT_FALSE(Utf8ToWide("\xF8\x88\x80\x80\x80", out, 16));
  EXPECT_STREQ(out, L"");
  // Beyond U+10FFFF: skipped, and decoding goes on.
  EXPECT_FALSE(Utf8ToWide("\xF4\x90\x80\x80\x41", out, 16));
  EXPECT_STREQ(out, L"A");

  wmemset(out, L'#', 16);
  EXPECT_TRUE(Utf8ToWide("ABCDE", out, 3));
  EXPECT_STREQ(out, L"AB");
  EXPECT_EQ(out[3], L'#');
  // A pair that does not fit whole is left out.
  EXPECT_TRUE(Utf8ToWide("A\xF0\x9F\x98\x80", out, 3));
  EXPECT_STREQ(out, L"A");
  EXPECT_TRUE(Utf8ToWide("", out, 1));
  EXPECT_STREQ(out, L"");
}

TEST(Conversion, AnsiRoundTripIsCutToTheDestination) {
  wchar_t wide[8];
  EXPECT_TRUE(ToWide("caf\xE9", wide, 8));
  EXPECT_STREQ(wide, L"caf\u00E9");
  ToWide("much too long", wide, 8);
  EXPECT_EQ(wcslen(wide), 7u);
  EXPECT_EQ(std::wstring(wide), std::wstring(L"much to"));

  char narrow[8];
  EXPECT_TRUE(ToNarrow(L"\u00E9t\u00E9", narrow, 8));
  EXPECT_STREQ(narrow, "\xE9t\xE9");
  ToNarrow(L"much too long", narrow, 8);
  EXPECT_EQ(strlen(narrow), 7u);
}

TEST(Conversion, CaseInsensitiveComparisons) {
  EXPECT_EQ(CompareNoCase(L"Setup", L"SETUP"), 0);
  EXPECT_LT(CompareNoCase(L"abc", L"ABD"), 0);
  EXPECT_GT(CompareNoCase(L"b", L"A"), 0);
  EXPECT_EQ(CompareNoCaseN(L"wait", L"WAIT /x", 4), 0);
  EXPECT_NE(CompareNoCaseN(L"wa", L"wait", 4), 0);
  EXPECT_EQ(CompareNoCaseN(L"wa", L"WA", 4), 0);
  EXPECT_EQ(ToUpperChar(L'i'), L'I');
  EXPECT_EQ(ToUpperChar(L'\u00E9'), L'\u00C9');
  EXPECT_EQ(ToUpperChar(L'7'), L'7');
}

TEST(Conversion, NumbersAndText) {
  EXPECT_EQ(ParseNumber(L"-12x"), -12);
  EXPECT_EQ(ParseNumber(L"+5"), 0);
  EXPECT_EQ(ParseNumber(L""), 0);
  EXPECT_EQ(ParseNumber(L" 5"), 0);
  EXPECT_EQ(ParseNumber(L"4294967296"), int64_t{4294967296});
  EXPECT_EQ(static_cast<int32_t>(ParseNumber(L"4294967295")), -1);

  wchar_t text[20];
  NumberToText(0, text, 20);
  EXPECT_STREQ(text, L"0");
  NumberToText(4294967295u, text, 20);
  EXPECT_STREQ(text, L"4294967295");
  NumberToText(12345, text, 4);
  EXPECT_STREQ(text, L"345");
}
