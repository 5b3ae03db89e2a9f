// Conversions between the system ANSI code page, UTF-8 and UTF-16, the
// case-insensitive comparisons, and decimal text.
#pragma once

#include <cstddef>
#include <cstdint>

// ANSI -> UTF-16 into `capacity` characters, always terminated when the
// capacity is not 0. True when the conversion produced characters.
bool ToWide(const char* source, wchar_t* destination, size_t capacity);
// UTF-16 -> ANSI into `capacity` bytes, the same rules.
bool ToNarrow(const wchar_t* source, char* destination, size_t capacity);
// Decodes zero-terminated UTF-8. False at the first malformed sequence (the
// text decoded before it is kept) or for a code point above 0x10FFFF.
bool Utf8ToWide(const char* source, wchar_t* destination, size_t capacity);

// "i" becomes "I" under every locale; any other character as CharUpperW says.
wchar_t ToUpperChar(wchar_t c);
// CompareStringW in the user's locale, ignoring case: <0, 0 or >0.
int CompareNoCase(const wchar_t* a, const wchar_t* b);
// The same over min(length + 1, n) characters of each side, so a text
// shorter than n takes part with its terminator.
int CompareNoCaseN(const wchar_t* a, const wchar_t* b, size_t n);

// Optional "-" then decimal digits up to the first other character, with
// 64-bit wrap-around; no digits give 0.
int64_t ParseNumber(const wchar_t* text);
// Unsigned decimal digits, at most capacity - 1 of them (the lowest kept).
void NumberToText(uint32_t value, wchar_t* destination, size_t capacity);
