// Whether two names reach one file or folder.
#pragma once

// Whether two names reach the same file or folder.
bool SameFileObject(const wchar_t* a, const wchar_t* b);
