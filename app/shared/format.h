// Bounded wide formatting. Every result is terminated and cut to fit.
#pragma once

#include <cstddef>

// printf-style formatting of the program's own constant formats into
// `size` characters. Returns the count written, or -1 when the text was cut
// (or size was 0).
int FormatText(wchar_t* buffer, size_t size, const wchar_t* format, ...);

// The same, returning the buffer so that the call can stand as an argument.
wchar_t* FormatToBuffer(wchar_t* buffer, size_t size, const wchar_t* format, ...);

// Formats a text that came from a message resource or a language file, which
// anyone can edit: only the first "%s" takes `argument` and "%%" gives one
// "%"; every other conversion is copied as it stands, so no argument that
// was not passed is ever read. Returns like FormatText.
int FormatMessageText(wchar_t* buffer, size_t size, const wchar_t* format,
                      const wchar_t* argument);
