#include "app/shared/format.h"

#include <cstdarg>
#include <cstdio>

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

int FormatText(wchar_t* buffer, size_t size, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  int n = FormatArgs(buffer, size, format, args);
  va_end(args);
  return n;
}

wchar_t* FormatToBuffer(wchar_t* buffer, size_t size, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  FormatArgs(buffer, size, format, args);
  va_end(args);
  return buffer;
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
