// The settings file "Pelodra.ini": where it lies, its entries in memory,
// reading and saving. The settings store (settings_store.h) decides which
// calls belong here; the operations below act on the file's entries only.
//
// An entry name is "HKCU\" or "HKLM\" (nothing for GlobalRoot), the key
// path, a backslash where needed, and the value name.
#pragma once

#include <windows.h>

#include <cstdint>

// The pseudo-root that exists only in the settings file, for its "Global"
// flags (AppData, Integration, SaveSettings).
inline const HKEY GlobalRoot = nullptr;

// Entry names of the settings file: 1023 characters and the terminator.
constexpr unsigned EntryNameChars = 1024;

// How a value is written in the settings file.
enum EntryKind : int32_t {
  Plain = 0,   // name=value
  Quoted = 1,  // name="value"
  Binary = 2,  // name=bin:value
};

// One line of the settings file, in memory. The file owns the list and
// every string in it.
struct IniEntry {
  wchar_t* name;
  wchar_t* value;
  EntryKind kind;
  IniEntry* next;
};

// Looks for the settings file and reads it, once until ReleaseIni, and
// logs where the settings live. A read error or exhausted memory ends the
// reading but keeps what was read (ErrorState records exhausted memory):
// the file is in use all the same, but never written, which would lose
// what was not read.
void LoadIniFile();
// True when the settings file was found and read.
bool IsIniActive();
// False when the settings file forbids registry access. Does not itself
// look for the settings file.
bool IsIntegrationEnabled();
// The path the file was looked for at (empty before).
const wchar_t* IniFilePath();
// The entries in memory, in list order (null while no settings file is in
// use).
const IniEntry* FirstIniEntry();

// The entry name for a root, key path and value name into `name`
// (EntryNameChars). False when it had to be cut.
[[nodiscard]] bool MakeEntryName(HKEY root, const wchar_t* keyPath, const wchar_t* valueName,
                                 wchar_t* name);

// True when any entry lies in the key or below it.
bool IniKeyExists(HKEY root, const wchar_t* keyPath);
// The value of an entry; null when there is none.
const wchar_t* IniValue(HKEY root, const wchar_t* keyPath, const wchar_t* valueName);
// A value read as a number: decimal digits, wrapping to 32 bits.
int32_t IniNumber(const wchar_t* value);
// Sets an entry, refusing a name that had to be cut
// (ERROR_FILENAME_EXCED_RANGE) or a name or text that would break its line
// apart (ERROR_INVALID_PARAMETER): nothing is written then.
[[nodiscard]] LONG SetIniEntry(HKEY root, const wchar_t* keyPath, const wchar_t* valueName,
                               const wchar_t* text, EntryKind kind);
// Removes the entries of one value.
void RemoveIniValue(HKEY root, const wchar_t* keyPath, const wchar_t* valueName);
// Removes the entries of a key and everything below it, sparing the keys
// named in `spared` (key paths of the same root) and what lies below them.
// Nothing is removed when one of the names had to be cut.
void RemoveIniTree(HKEY root, const wchar_t* keyPath, const wchar_t* const* spared,
                   unsigned sparedCount);

// Rewrites the settings file when one is in use, was read whole and may be
// saved (its entries sorted by name; the list keeps its order). True when
// the file was written completely.
[[nodiscard]] bool SaveIniFile();
// True when SaveIniFile has written the settings file in use since it was
// read: it then holds what the user confirmed in this run.
bool IniFileSaved();
// Drops the entries of the settings file; the next call that takes a root
// looks for the file again.
void ReleaseIni();

// Drops the entries without saving and puts every flag back to its start
// value, so that a test can point the store at another file; for tests.
void ResetSettingsStoreForTesting();
