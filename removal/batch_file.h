// The hidden batch file that deletes the program file and its folder after
// the program has ended.
#pragma once

#include <windows.h>

#include <cstddef>

// The form in which the command interpreter reaches exactly `path`, an
// existing full path: the path itself or its short (8.3) form, whichever is
// first to be shorter than MAX_PATH, to be written in the console's code
// page with no character replaced, and to name the same file or folder.
// False when neither is: then no batch line may name the path.
[[nodiscard]] bool CommandForm(const wchar_t* path, wchar_t* destination, size_t size);

// The names the batch file's lines hold, each in its command form.
struct BatchNames {
  wchar_t program[MAX_PATH];
  wchar_t folder[MAX_PATH];
  wchar_t tempFolder[MAX_PATH];  // with a trailing backslash
};
// False when one of the three has no command form.
[[nodiscard]] bool PrepareBatchNames(const wchar_t* program, const wchar_t* folder,
                                     const wchar_t* tempFolder, BatchNames& names);

// Writes the batch file: wait for the program to end, delete it and its
// folder (five tries, each after a pause), warn about a file that is left
// unless silent, delete the batch file itself. It is made in `tempFolder` under a name no
// other run holds ("Uninstall_Kel.<process id>.Bat", with a counter before
// ".Bat" when that is taken); its command form goes into `batchName`.
// False, and no file left, when it cannot be made, a line cannot be
// written whole and exactly, or the file does not close cleanly.
[[nodiscard]] bool WriteCleanupBatch(const wchar_t* tempFolder, const BatchNames& names,
                                     bool silent, wchar_t* batchName, size_t size);

// Starts the command interpreter (COMSPEC) hidden on the batch file, in the
// system folder: a current folder of the product's would be kept from
// deletion, and one longer than Windows takes breaks the start.
[[nodiscard]] bool StartHiddenBatch(const wchar_t* batchName);

// Replaces the short-name lookup (GetShortPathNameW), which on a volume
// without short names gives none; nullptr restores it. Only tests call it.
using ShortPathLookup = DWORD(WINAPI*)(const wchar_t*, wchar_t*, DWORD);
void SetShortPathLookupForTesting(ShortPathLookup lookup);
