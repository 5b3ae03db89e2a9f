// The run flow of the entry point, apart from the entry point itself so
// that tests can reach its steps.
#pragma once

#include <windows.h>

// Runs the whole program with the given real command line; returns ExitCode.
int RunProgram(HINSTANCE instance, const wchar_t* commandLine);

// Restricts the DLL search: no current folder, and System32 only where the
// system can say so.
void RestrictDllSearch();

// Copies the settings file "Pelodra.ini" from the installer's folder
// ("sfxname") into the program's folder, never over an existing file; true
// when it made the copy. Setup does it before the store is first used, so
// that an installation keeps its settings, and the records of former
// owners, in one store for its whole life.
[[nodiscard]] bool CopySettingsFromInstaller();
// Where that copy goes, into `path` (MaxPathChars): beside the program.
// False when the name does not fit.
[[nodiscard]] bool GetSettingsCopyPath(wchar_t* path);
