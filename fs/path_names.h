// Pure text operations on wide path names in fixed buffers. Sizes are in
// characters and include the terminator; every result is terminated.
#pragma once

#include <cstddef>

// BoundedCopy and BoundedAppend, which every path operation builds on.
#include "base/format.h"
#include "base/run_state.h"

// Appends one backslash to a non-empty path that does not end in one, when
// it fits.
void AddTrailingSeparator(wchar_t* path, size_t n);
// folder + separator + name into destination, which may be the folder.
wchar_t* JoinPath(const wchar_t* folder, const wchar_t* name, wchar_t* destination, size_t n);
// The position behind the last separator (or behind "X:").
wchar_t* FindNamePart(wchar_t* path);
const wchar_t* FindNamePart(const wchar_t* path);
// Cuts the name part and, where it does not leave a bare root, its separator.
wchar_t* RemoveNamePart(wchar_t* path);
void ReplaceNamePart(wchar_t* path, const wchar_t* name, size_t n);
const wchar_t* LastCharOf(const wchar_t* text);
bool IsPathSeparator(wchar_t c);
bool IsDiskLetter(const wchar_t* path);
bool HasWildcards(const wchar_t* name);
// The "\\?\" form of a path (a path in that form already is copied as it
// is); false when it cannot be built within n.
[[nodiscard]] bool MakeLongPath(const wchar_t* path, wchar_t* destination, size_t n);
// A name by which Windows reaches exactly `path`, a full path with
// backslashes and no "." or ".." parts: the path itself when Windows reads it
// unchanged (no trailing dot or blank cut off, no device name) and it is
// shorter than MAX_PATH, else its long form. False when that does not fit n.
[[nodiscard]] bool ExactName(const wchar_t* path, wchar_t* destination, size_t n);
