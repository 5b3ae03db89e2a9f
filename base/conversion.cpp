#include "base/conversion.h"

#include <windows.h>

bool ToWide(const char* source, wchar_t* destination, size_t capacity) {
  if (capacity == 0) return false;
  destination[0] = 0;
  int n = MultiByteToWideChar(CP_ACP, 0, source, -1, destination, static_cast<int>(capacity));
  destination[capacity - 1] = 0;
  return n > 0;
}

bool ToNarrow(const wchar_t* source, char* destination, size_t capacity) {
  if (capacity == 0) return false;
  destination[0] = 0;
  int n = WideCharToMultiByte(CP_ACP, 0, source, -1, destination, static_cast<int>(capacity),
                              nullptr, nullptr);
  destination[capacity - 1] = 0;
  return n > 0;
}

namespace {

// Number of continuation bytes behind a lead byte, or -1 for a byte that
// cannot lead.
int ContinuationCount(unsigned char b) {
  if (b < 0x80) return 0;
  if ((b & 0xE0) == 0xC0) return 1;
  if ((b & 0xF0) == 0xE0) return 2;
  if ((b & 0xF8) == 0xF0) return 3;
  return -1;
}

}  // namespace

bool Utf8ToWide(const char* source, wchar_t* destination, size_t capacity) {
  if (capacity == 0) return false;
  const auto* s = reinterpret_cast<const unsigned char*>(source);
  long room = static_cast<long>(capacity) - 1;
  size_t out = 0;
  bool result = true;
  while (*s) {
    int extra = ContinuationCount(*s);
    if (extra < 0) {
      result = false;
      break;
    }
    static const unsigned char leadMask[] = {0x7F, 0x1F, 0x0F, 0x07};
    uint32_t cp = *s & leadMask[extra];
    bool malformed = false;
    for (int i = 1; i <= extra; ++i) {
      if ((s[i] & 0xC0) != 0x80) {
        malformed = true;
        break;
      }
      cp = (cp << 6) | (s[i] & 0x3F);
    }
    if (malformed) {
      result = false;
      break;
    }
    s += extra + 1;
    if (--room < 0) break;
    if (cp <= 0xFFFF) {
      destination[out++] = static_cast<wchar_t>(cp);
      continue;
    }
    if (--room < 0) break;
    if (cp > 0x10FFFF) {
      result = false;
      continue;
    }
    cp -= 0x10000;
    destination[out++] = static_cast<wchar_t>(0xD800 + (cp >> 10));
    destination[out++] = static_cast<wchar_t>(0xDC00 + (cp & 0x3FF));
  }
  destination[out] = 0;
  return result;
}

wchar_t ToUpperChar(wchar_t c) {
  if (c == L'i') return L'I';
  return static_cast<wchar_t>(
      reinterpret_cast<UINT_PTR>(CharUpperW(reinterpret_cast<LPWSTR>(static_cast<UINT_PTR>(c)))));
}

int CompareNoCase(const wchar_t* a, const wchar_t* b) {
  return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE | SORT_STRINGSORT, a, -1, b, -1) - 2;
}

int CompareNoCaseN(const wchar_t* a, const wchar_t* b, size_t n) {
  size_t la = wcslen(a) + 1, lb = wcslen(b) + 1;
  if (la > n) la = n;
  if (lb > n) lb = n;
  return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE | SORT_STRINGSORT, a,
                        static_cast<int>(la), b, static_cast<int>(lb)) -
         2;
}

int64_t ParseNumber(const wchar_t* text) {
  bool negative = *text == L'-';
  if (negative) ++text;
  uint64_t value = 0;
  for (; *text >= L'0' && *text <= L'9'; ++text) value = value * 10 + (*text - L'0');
  auto result = static_cast<int64_t>(value);
  return negative && result >= 0 ? -result : result;
}

void NumberToText(uint32_t value, wchar_t* destination, size_t capacity) {
  if (capacity == 0) return;
  wchar_t digits[10];
  size_t count = 0;
  do {
    digits[count++] = static_cast<wchar_t>(L'0' + value % 10);
    value /= 10;
  } while (value != 0);
  if (count > capacity - 1) count = capacity - 1;
  for (size_t i = 0; i < count; ++i) destination[i] = digits[count - 1 - i];
  destination[count] = 0;
}
