// Deletion of registry keys and values. Each operation first offers the
// call to the settings file (DeleteIniEntries); the registry is touched only
// when the call does not belong there. Deletions work in the registry's
// default view, whatever view the writes have selected.
#pragma once

#include <windows.h>

// Deletes a key with everything below it, in whole passes over the tree
// until a pass deletes nothing. Returns the number of passes made (0 when
// the registry was not touched).
unsigned DeleteKeyTree(HKEY root, const wchar_t* keyPath);
// Deletes one key that has no subkeys; the registry's result (0 when the
// call was dealt with in the settings file).
LONG DeleteKey(HKEY root, const wchar_t* keyPath);
// Deletes one value; a missing key or value is no error.
void DeleteValue(HKEY root, const wchar_t* keyPath, const wchar_t* valueName);
// DeleteValue under HKEY_CURRENT_USER.
void DeleteUserValue(const wchar_t* keyPath, const wchar_t* valueName);
// DeleteKey in the 64-bit view when the program runs under WOW64 (where
// setup writes the 64-bit shell extension's keys), in the default view
// otherwise.
LONG DeleteKeyIn64BitView(HKEY root, const wchar_t* keyPath);
