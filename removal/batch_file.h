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

// The form in which a program's command line, which is not bound to a code
// page, reaches exactly `path`: as CommandForm, with any character.
[[nodiscard]] bool StartForm(const wchar_t* path, wchar_t* destination, size_t size);

// The names the batch file needs.
struct BatchNames {
  // In their command forms.
  wchar_t program[MAX_PATH];
  wchar_t folder[MAX_PATH];
  wchar_t systemFolder[MAX_PATH];  // where the pause's program lies
  // With a trailing backslash: its command form when it has one, else the
  // form by which the interpreter is started on the batch file.
  wchar_t tempFolder[MAX_PATH];
  // Whether a line can name the batch file, which can then delete itself.
  bool tempNamed;
};
// False when the program, its folder or the system folder has no command
// form, or the temporary folder not even a start form.
[[nodiscard]] bool PrepareBatchNames(const wchar_t* program, const wchar_t* folder,
                                     const wchar_t* tempFolder, BatchNames& names);

// Tries at the program and its folder, one after each pause; together about
// half a minute.
constexpr int DeleteTries = 30;
constexpr int PauseSeconds = 1;

// Writes the batch file: delete the program (DeleteTries tries, each after
// a pause, the first to find it gone the last), warn about it when every
// try failed unless silent, remove its folder, delete the batch file itself
// when a line can name it. It is made in `tempFolder` under a name no other
// run holds ("Uninstall_Kel.<process id>.Bat", with a counter before ".Bat"
// when that is taken); the name the interpreter is started on goes into
// `batchName`. False, and no file left, when it cannot be made, a line
// cannot be written whole and exactly, or the file does not close cleanly.
[[nodiscard]] bool WriteCleanupBatch(const wchar_t* tempFolder, const BatchNames& names,
                                     bool silent, wchar_t* batchName, size_t size);

// Starts the command interpreter (COMSPEC) hidden on the batch file, in the
// system folder: a current folder of the product's would be kept from
// deletion, and one longer than Windows takes breaks the start. No AutoRun
// command of the machine or the user runs first, and delayed expansion is
// off whatever the machine says, which would take a "!" in a name for a
// variable.
[[nodiscard]] bool StartHiddenBatch(const wchar_t* batchName);

// Writes the batch file into `tempFolder` and starts it, and logs both; a
// batch file that cannot delete itself is logged as left. False when it
// cannot be written or started.
[[nodiscard]] bool StartCleanupBatch(const wchar_t* tempFolder, const BatchNames& names,
                                     bool silent);

// Replaces the short-name lookup (GetShortPathNameW), which on a volume
// without short names gives none; nullptr restores it. Only tests call it.
using ShortPathLookup = DWORD(WINAPI*)(const wchar_t*, wchar_t*, DWORD);
void SetShortPathLookupForTesting(ShortPathLookup lookup);
