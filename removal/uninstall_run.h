// The uninstall run: confirmation, removal of the integration, deletion of
// the files named in "Uninstall.lst", and the batch file that removes the
// program itself after it has ended.
#pragma once

#include <cstddef>
#include <cstdio>

// Takes the product off the computer and sets ExitCode: ExitCancelled for
// the user's No, ExitListMissing without a list, ExitIncomplete when
// Windows kept something (files neither removed nor scheduled, the
// integration, the folder that no batch line can name or no batch file
// removes), else ExitRestartNeeded when files wait for the next restart.
void RunUninstall();

constexpr unsigned LeftNamesChars = 1024;

struct ListRemoval {
  bool restartPending = false;  // a file was really scheduled for restart
  bool logKept = false;         // the list named the log, which stays
  unsigned passes = 0;
  // Files that Windows would neither let go of nor schedule, and links it
  // would only follow; their names one a line, relative to the folder, the
  // list ended by an ellipsis when they do not all fit.
  unsigned filesLeft = 0;
  wchar_t leftNames[LeftNamesChars] = {};
};

// Deletes the entries of the open list, relative to `folder` (ending in a
// backslash): files and folders in one pass, then the folders that still
// held something, deepest first. Lines that do not name something inside
// the folder are skipped. Files in use are renamed and scheduled for
// deletion at restart, except the program (`programName`) and the list.
[[nodiscard]] ListRemoval RemoveListedFiles(FILE* list, const wchar_t* folder,
                                            const wchar_t* programName);
