// The product's help file "Pelodra.chm", shown through the system's HTML
// Help control.
#pragma once

#include <windows.h>

// Opens the help at the page html/<topic>.htm, or at its table of contents
// when `topic` is null. Returns the help window, or null when no help could
// be shown. The help window belongs to the desktop, not to the caller.
HWND ShowHelp(const wchar_t* topic);
// Closes every help window and releases the help library; the run's
// teardown calls it before the language module goes.
void CloseHelp();

// The help file in use, empty before the first ShowHelp; for tests.
const wchar_t* HelpFilePathForTesting();
// Releases the help library and forgets the path and the retry; for tests.
void ResetHelpForTesting();
