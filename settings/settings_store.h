// The product's settings and every registry access of the program, kept
// either in the registry or in the settings file "Pelodra.ini". Callers use
// the same operations in both cases; the store decides for each call.
//
// Roots are the predefined hives HKEY_CLASSES_ROOT, HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE, or GlobalRoot. A key path that does not begin with a
// backslash names, under the current-user and local-machine roots, a key
// below "Software\Pelodra"; one that begins with a backslash is taken from
// the hive's root. Key paths under HKEY_CLASSES_ROOT are used unchanged. An
// empty value name is the key's default value.
//
// While the settings file is in use, product-relative settings under the
// current-user and local-machine roots and the GlobalRoot flags live in the
// file; everything else goes to the registry, unless the file's line
// "Global\Integration=0" forbids that: such calls then deliver the default,
// change nothing and report success.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>

// The settings file's part of the store: its entries, saving, releasing.
#include "settings/settings_file.h"

// Resolved registry key names: 511 characters and the terminator.
constexpr unsigned ResolvedKeyChars = 512;

// Where a call with this root and key path goes: the settings file, the
// registry, or nowhere (the file forbids registry access).
enum class SettingsPlace { File, Registry, Nowhere };
SettingsPlace PlaceOf(HKEY root, const wchar_t* keyPath);

// True when the key exists. In the settings file: when any entry lies in
// the key or below it.
bool KeyExists(HKEY root, const wchar_t* keyPath);

// True when the value is stored, whatever its type. In the settings file:
// when it has an entry.
bool ValueExists(HKEY root, const wchar_t* keyPath, const wchar_t* valueName);

// The stored number, or `defaultValue` when there is none. In the registry
// only a REG_DWORD or REG_BINARY value of one to four bytes is a number
// (shorter ones count with zero bytes above them); any other counts as
// missing.
int32_t GetInt(HKEY root, const wchar_t* keyPath, const wchar_t* valueName, int32_t defaultValue);

// Copies the stored text (or `defaultText`) into `buffer`, cut to
// capacity - 1 characters and always terminated. False only when a registry
// read failed (the buffer then holds the default), which includes a value
// that does not fit with a terminator and one that is not REG_SZ or
// REG_EXPAND_SZ (taken unexpanded). Registry text ends at its first NUL.
bool GetString(HKEY root, const wchar_t* keyPath, const wchar_t* valueName, wchar_t* buffer,
               const wchar_t* defaultText, size_t capacity);

// 0 on success, else the Win32 error code of the failing registry call
// (ERROR_ACCESS_DENIED when the tool may not write there). In the settings
// file, a name or text that would break its line apart (a line break, or an
// "=" in the name) is refused with ERROR_INVALID_PARAMETER, and a key path
// too long for its name with ERROR_FILENAME_EXCED_RANGE; nothing is written.
[[nodiscard]] LONG SetString(HKEY root, const wchar_t* keyPath, const wchar_t* valueName,
                             const wchar_t* text);
// The same for a 32-bit number (REG_DWORD; unsigned decimal in the file).
[[nodiscard]] LONG SetInt(HKEY root, const wchar_t* keyPath, const wchar_t* valueName,
                          int32_t value);

// The same operations under HKEY_CURRENT_USER.
int32_t GetUserInt(const wchar_t* keyPath, const wchar_t* valueName, int32_t defaultValue);
bool GetUserString(const wchar_t* keyPath, const wchar_t* valueName, wchar_t* buffer,
                   const wchar_t* defaultText, size_t capacity);
[[nodiscard]] LONG SetUserString(const wchar_t* keyPath, const wchar_t* valueName,
                                 const wchar_t* text);
[[nodiscard]] LONG SetUserInt(const wchar_t* keyPath, const wchar_t* valueName, int32_t value);

// Removes one value (or, with an empty value name, the key with everything
// below it) from the settings file when the call belongs there. True when
// the call has been dealt with and the registry must not be touched; false
// when the caller is to delete in the registry.
[[nodiscard]] bool DeleteIniEntries(HKEY root, const wchar_t* keyPath, const wchar_t* valueName);
// DeleteIniEntries for a key with everything below it, sparing the entries
// of the keys named in `spared` (key paths of the same root) and below them.
[[nodiscard]] bool DeleteIniTree(HKEY root, const wchar_t* keyPath, const wchar_t* const* spared,
                                 unsigned sparedCount);

// Registry changes (writes and deletions) that Windows refused with
// ERROR_ACCESS_DENIED since the program started. A run compares the count
// before and after a step to learn whether the step did all it meant to.
unsigned RefusedRegistryChanges();
// Counts `result` when it is such a refusal and returns it; for the
// deletions, which change the registry outside the store.
LONG NoteRegistryChange(LONG result);

// Logs a registry change (`valueName` null for a key) with the registry's
// result: the hive, the resolved key name, the view under WOW64, the value.
void LogRegistryChange(const wchar_t* what, HKEY root, const wchar_t* resolved,
                       const wchar_t* valueName, LONG result);

// The registry key name for a root and key path into `resolved`
// (ResolvedKeyChars). Always fills the buffer; false when the name had to
// be cut, so that it names another key than the one meant.
[[nodiscard]] bool ResolveKeyPath(HKEY root, const wchar_t* keyPath, wchar_t* resolved);
