// "Uninstall.lst", the installer's list of the product's files: how its
// lines are read and which names they give. Each line names one file or
// folder relative to the program's folder, in the system's ANSI code page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// A line's bytes, at most ListLineBytes - 1 of them and the terminator.
constexpr unsigned ListLineBytes = 2048;
// The folder and a line's name, each at most 2,047 characters.
constexpr unsigned ListEntryChars = 4096;

enum class ListLine { Empty, Damaged, Name };

// Reads the next line: its bytes up to the line feed, without the carriage
// returns, blanks and tabs at its end. A line of more than
// ListLineBytes - 1 bytes, or one holding a NUL, is damaged: it names no
// file, and no part of it is taken for a name of its own; its NULs are
// kept as blanks, for the log. `consumed` counts the bytes read. False at
// the end of the file.
[[nodiscard]] bool ReadListLine(FILE* list, char* line, ListLine& kind, uint32_t& consumed);

// The full name of a list line's entry: `folder` (ending in a backslash)
// and the line, its separators made backslashes, its empty and "." parts
// dropped, each ".." taking back the part before it. False when the line
// climbs out of the folder or names the folder itself, holds a character
// no file name has (a colon, a wildcard, a control character), has a part
// that ends in a dot or a blank (which Windows would cut), or does not fit
// `size`. `depth` is the count of its parts.
[[nodiscard]] bool ListEntryName(const wchar_t* folder, const wchar_t* line, wchar_t* entry,
                                 size_t size, unsigned& depth);
