// The two command texts: the installer's "sfxcmd" and the real command line.
#pragma once

#include <cstddef>

#include "base/run_state.h"

constexpr unsigned TokenChars = 1024;

enum class CommandSource { InstallerText, RealCommandLine };

// Reads the next blank-separated token, with double quotes grouping and a
// doubled quote standing for one. `token` may be null (the token is then
// skipped); it receives at most size - 1 characters and is terminated.
// Returns the position behind the token, or null when only blanks remain.
const wchar_t* NextToken(const wchar_t* text, wchar_t* token, size_t size);

// Reads the switches of one command text into `request`, the installer's
// before the real command line. From the installer text only the silent
// switch counts. `request.uninstall` is set exactly when the real command
// line held no switch but the silent one. "/wait" and "/warning" act where
// they stand.
void ParseCommandLine(CommandSource source, const wchar_t* text, RunRequest& request);

// Opens the log that the first "/log=<file>" of the real command line
// names, if any.
void OpenRequestedLog(const wchar_t* commandLine);

// Shows the leftover-files warning with the program's own path.
void ShowLeftoverWarning();
