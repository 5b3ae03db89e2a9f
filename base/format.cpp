#include "base/format.h"

#include <cstdarg>
#include <cstdio>
#include <cwchar>

namespace {

int FormatArgs(wchar_t* buffer, size_t size, const wchar_t* format, va_list args) {
  if (size == 0) return -1;
  // The msvcrt form: "%s" in a wide format takes a wide text.
  int n = _vsnwprintf(buffer, size - 1, format, args);
  buffer[size - 1] = 0;
  if (n < 0 || static_cast<size_t>(n) >= size) {
    buffer[size - 1] = 0;
    return -1;
  }
  buffer[n] = 0;
  return n;
}

}  // namespace

wchar_t* BoundedCopy(wchar_t* destination, const wchar_t* source, size_t n) {
  if (n == 0) return destination;
  size_t i = 0;
  for (; i + 1 < n && source[i]; ++i) destination[i] = source[i];
  for (; i + 1 < n; ++i) destination[i] = 0;
  destination[n - 1] = 0;
  return destination;
}

wchar_t* BoundedAppend(wchar_t* destination, const wchar_t* source, size_t n) {
  size_t length = wcslen(destination);
  if (n <= length + 1) return destination;
  size_t room = n - length - 1;
  size_t i = 0;
  for (; i < room && source[i]; ++i) destination[length + i] = source[i];
  destination[length + i] = 0;
  return destination;
}

int FormatText(wchar_t* buffer, size_t size, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  int n = FormatArgs(buffer, size, format, args);
  va_end(args);
  return n;
}

int FormatMessageText(wchar_t* buffer, size_t size, const wchar_t* format,
                      const wchar_t* argument) {
  if (size == 0) return -1;
  size_t out = 0;
  bool cut = false;
  bool argumentUsed = false;
  auto put = [&](wchar_t c) {
    if (out + 1 < size)
      buffer[out++] = c;
    else
      cut = true;
  };
  for (const wchar_t* p = format; *p; ++p) {
    if (p[0] == L'%' && p[1] == L'%') {
      put(L'%');
      ++p;
    } else if (p[0] == L'%' && p[1] == L's' && !argumentUsed) {
      for (const wchar_t* a = argument ? argument : L""; *a; ++a) put(*a);
      argumentUsed = true;
      ++p;
    } else {
      put(*p);
    }
  }
  buffer[out] = 0;
  return cut ? -1 : static_cast<int>(out);
}
