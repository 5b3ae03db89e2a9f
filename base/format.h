// Bounded wide text: copies, appends and formats into fixed buffers. Sizes
// are in characters and include the terminator; every result is terminated
// and cut to fit.
#pragma once

#include <cstddef>

// Copies at most n - 1 characters, zero-fills the rest up to n - 1 and
// terminates at n - 1. n == 0 leaves the destination untouched. The source
// may be the destination itself.
wchar_t* BoundedCopy(wchar_t* destination, const wchar_t* source, size_t n);
// Appends what fits into n and terminates.
wchar_t* BoundedAppend(wchar_t* destination, const wchar_t* source, size_t n);

// printf-style formatting of the program's own constant formats into
// `size` characters. Returns the count written, or -1 when the text was cut
// (or size was 0).
int FormatText(wchar_t* buffer, size_t size, const wchar_t* format, ...);

// Formats a text that came from a message resource or a language file, which
// anyone can edit: only the first "%s" takes `argument` and "%%" gives one
// "%"; every other conversion is copied as it stands, so no argument that
// was not passed is ever read. Returns like FormatText.
int FormatMessageText(wchar_t* buffer, size_t size, const wchar_t* format, const wchar_t* argument);
