// The product's files: the help index, the entries "Uninstall.lst" names
// and the list itself, deleted inside the product's folder only.
#pragma once

#include <cstddef>
#include <cstdio>

#include "base/win_handles.h"

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

// The list of installed files in the program's folder (ending in a
// backslash), open for reading; empty when it cannot be opened.
Stream OpenFileList(const wchar_t* folder);

// Deletes the entries of the open list, relative to `folder` (ending in a
// backslash): files and folders in one pass, then the folders that still
// held something, deepest first. Lines that do not name something inside
// the folder are skipped. Files in use are renamed and scheduled for
// deletion at restart, except the program (`programName`) and the list.
[[nodiscard]] ListRemoval RemoveListedFiles(FILE* list, const wchar_t* folder,
                                            const wchar_t* programName);

// The help index, the listed entries and then the list itself, which is
// closed first; the program (a full name) stays for the batch file.
void RemoveProductFiles(Stream& list, const wchar_t* program, const wchar_t* folder,
                        ListRemoval& removal);
