// The uninstall run: confirmation, removal of the integration, deletion of
// the files named in "Uninstall.lst", and the batch file that removes the
// program itself after it has ended.
#pragma once

#include <cstddef>
#include <cstdio>

// Takes the product off the computer; its result is not used.
void RunUninstall();

struct ListRemoval {
  bool restartPending = false;  // a locked file was scheduled for restart
  unsigned passes = 0;
};

// Deletes the entries of the open list, relative to `folder` (ending in a
// backslash), in passes until a pass removes nothing. Entries that would
// lie outside the folder are skipped. Locked files are renamed and
// scheduled for deletion at restart.
ListRemoval RemoveListedFiles(FILE* list, const wchar_t* folder, const wchar_t* programName);

// Whether a list line names something inside `folder` (ending in a
// backslash): no rooted, drive or network path, no way out through "..",
// and no folder on the way that is a reparse point.
bool IsInsideFolder(const wchar_t* folder, const wchar_t* line);

// The last folder checked for reparse points on the way, and the answer.
struct ReparseCheck {
  wchar_t folder[4096] = {};
  bool inside = true;
};
bool IsInsideFolder(const wchar_t* folder, const wchar_t* line, ReparseCheck& reparse);
