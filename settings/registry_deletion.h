// Deletion of registry keys and values. Each operation first offers the
// call to the settings file; the registry is touched only when the call
// does not belong there. Deletions work in the registry view that
// RegistryViewFlags selects, as writes do, so that a caller takes back what
// it wrote in the 64-bit view by selecting that view again.
//
// A deletion that Windows refuses is counted by the store
// (RefusedRegistryChanges); a key that stays only because it still has
// subkeys is not a refusal.
//
// A registry link is a key of its own: deletion takes the link key, its
// values and the link with it, and never touches the key it points to.
#pragma once

#include <windows.h>

// Deletes a key with everything below it, in whole passes over the tree
// until a pass deletes nothing. Returns the number of passes made (0 when
// the registry was not touched).
unsigned DeleteKeyTree(HKEY root, const wchar_t* keyPath);
// The same, leaving the keys named in `spared` (key paths of the same root,
// such as "Setup\.7z") with everything below them, and so also the keys
// above them, emptied of their own values.
unsigned DeleteKeyTreeSparing(HKEY root, const wchar_t* keyPath, const wchar_t* const* spared,
                              unsigned sparedCount);
// Deletes one key that has no subkeys; the registry's result (0 when the
// call was dealt with in the settings file).
[[nodiscard]] LONG DeleteKey(HKEY root, const wchar_t* keyPath);
// Deletes a key of the registry only when it holds neither values nor
// subkeys. A key of the settings file exists only through its entries, so
// nothing is deleted there.
void DeleteKeyIfEmpty(HKEY root, const wchar_t* keyPath);
// Deletes one value; a missing key or value is no error.
void DeleteValue(HKEY root, const wchar_t* keyPath, const wchar_t* valueName);
// DeleteValue under HKEY_CURRENT_USER.
void DeleteUserValue(const wchar_t* keyPath, const wchar_t* valueName);
