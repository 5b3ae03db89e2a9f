// Operations on files and folders. A name refused in its plain form is
// tried once more in its long form.
#pragma once

#include <windows.h>

constexpr DWORD InvalidAttributes = 0xFFFFFFFF;

// GetFileAttributesW, with the long form when the plain name fails.
DWORD GetAttributes(const wchar_t* name);
bool PathExists(const wchar_t* name);
