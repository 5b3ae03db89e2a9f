// The run flow of the entry point, apart from the entry point itself so
// that tests can reach its steps.
#pragma once

#include <windows.h>

#include <cstdint>

// Runs the whole program with the given real command line; returns the
// exit code of the job it ran.
int RunProgram(HINSTANCE instance, const wchar_t* commandLine);

// Ends what the run started, in reverse order (help, settings file,
// language file and module), then the log with `exitCode`: its last line
// comes after what the teardown itself writes.
void EndRun(int32_t exitCode);

// Restricts the DLL search: no current folder, and System32 only where the
// system can say so.
void RestrictDllSearch();
