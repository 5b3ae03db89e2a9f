// The run flow of the entry point, apart from the entry point itself so
// that tests can reach its steps.
#pragma once

#include <windows.h>

// Runs the whole program with the given real command line; returns the exit code of the job it ran.
int RunProgram(HINSTANCE instance, const wchar_t* commandLine);

// Restricts the DLL search: no current folder, and System32 only where the
// system can say so.
void RestrictDllSearch();
