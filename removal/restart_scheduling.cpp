#include "removal/restart_scheduling.h"

#include <cwchar>

#include "base/conversion.h"

#include "base/format.h"
#include "base/log.h"
#include "fs/file_ops.h"
#include "fs/path_names.h"
#include "text/file_list.h"

namespace {

constexpr unsigned EntryChars = ListEntryChars;
// An entry in its long form.
constexpr unsigned ExactChars = EntryChars + 8;
constexpr int RenameTries = 1000;

// The folders that hold a file scheduled for restart, up to the program's
// folder, go at the same restart, each after what it holds; Windows
// removes only those that are empty by then. A drive's root is never one
// of them.
void ScheduleFoldersForRestart(const wchar_t* file, const wchar_t* folder) {
  wchar_t path[EntryChars];
  BoundedCopy(path, file, EntryChars);
  size_t length = wcslen(folder);
  bool folderIsRoot = length >= 2 && folder[length - 2] == L':';
  size_t last = folderIsRoot ? length : length - 1;
  wchar_t exact[ExactChars];
  for (wchar_t* cut; (cut = wcsrchr(path, L'\\')) != nullptr;) {
    *cut = 0;
    if (static_cast<size_t>(cut - path) < last) break;
    if (ExactName(path, exact, ExactChars))
      LogOutcome(
          L"scheduled for restart", path,
          MoveFileExW(exact, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) ? ERROR_SUCCESS : FailureCode());
  }
}

}  // namespace

DWORD ScheduleForRestart(const wchar_t* entry, const wchar_t* folder) {
  wchar_t exact[ExactChars], target[EntryChars], exactTarget[ExactChars];
  if (!ExactName(entry, exact, ExactChars)) return ERROR_FILENAME_EXCED_RANGE;
  bool renamable = false;
  for (int i = 0; i < RenameTries; ++i) {
    // A name that would be cut names another file: it is never used.
    renamable = FormatText(target, EntryChars, L"%s.%d.tmp", entry, i) >= 0 &&
                ExactName(target, exactTarget, ExactChars);
    if (!renamable || GetFileAttributesW(exactTarget) == InvalidAttributes) break;
  }
  bool renamed = renamable && MoveFileW(exact, exactTarget);
  if (!MoveFileExW(renamed ? exactTarget : exact, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT))
    return FailureCode();
  wchar_t result[MaxPathChars];
  if (renamed) FormatText(result, MaxPathChars, L"done as %s", FindNamePart(target));
  LogEvent(L"scheduled for restart", entry, renamed ? result : L"done");
  ScheduleFoldersForRestart(renamed ? target : entry, folder);
  return ERROR_SUCCESS;
}
