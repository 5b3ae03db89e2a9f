// The run flow of the entry point, apart from the entry point itself so
// that tests can reach its steps.
#pragma once

#include <windows.h>

// Runs the whole program with the given real command line; returns ExitCode.
int RunProgram(HINSTANCE instance, const wchar_t* commandLine);

// Restricts the DLL search: no current folder, and System32 only where the
// system can say so.
void RestrictDllSearch();

// After a confirmed setup: copies "pelodra.ini" from the installer's folder
// ("sfxname") into the current folder, never over an existing file.
void CopySettingsFromInstaller();
