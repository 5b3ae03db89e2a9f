#include "text/conversion.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Utf8ToWide, DecodesEveryLengthAndSurrogatePairs) {
  wchar_t out[16];
  EXPECT_TRUE(Utf8ToWide("\x41\xC3\xA9\xF0\x9F\x98\x80\x42", out, 16));
  EXPECT_STREQ(out, L"A\u00E9\xD83D\xDE00"
                    L"B");
}
