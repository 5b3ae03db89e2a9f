#include "removal/restart_scheduling.h"

#include <cwchar>

#include "base/format.h"
#include "base/log.h"
#include "fs/path_names.h"
#include "text/file_list.h"

namespace {

constexpr int RenameTries = 1000;

// A drive's root ("\\?\C:\") is never removed.
bool IsDriveRoot(const wchar_t* finalName) {
  size_t n = wcslen(finalName);
  return n >= 2 && finalName[n - 1] == L'\\' && finalName[n - 2] == L':';
}

// The folders that hold a file scheduled for restart, up to the product's
// folder, go at the same restart, each after what it holds; Windows removes
// only those that are empty by then.
void ScheduleFoldersForRestart(const ProductTree& tree, const wchar_t* entry) {
  wchar_t path[ListEntryChars], name[FinalNameChars];
  BoundedCopy(path, entry, ListEntryChars);
  for (unsigned level = 1; level <= tree.HeldDepth(); ++level) {
    wchar_t* cut = wcsrchr(path, L'\\');
    if (cut) *cut = 0;
    if (!tree.HeldFinalName(level, name, FinalNameChars)) {
      LogOutcome(L"scheduled for restart", path, ERROR_PATH_NOT_FOUND);
      continue;
    }
    if (IsDriveRoot(name)) break;
    LogOutcome(
        L"scheduled for restart", path,
        MoveFileExW(name, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) ? ERROR_SUCCESS : FailureCode());
  }
}

}  // namespace

DWORD ScheduleForRestart(ProductTree& tree, const wchar_t* entry) {
  if (!tree.HeldDepth()) return ERROR_PATH_NOT_FOUND;
  // A running program can be renamed beside itself, which frees its name
  // for a new installation before the restart. A holder that did not share
  // deletion leaves no right to rename: then its own name is scheduled.
  wchar_t target[ListEntryChars];
  bool renamed = false;
  for (int i = 0; i < RenameTries && !renamed; ++i) {
    if (FormatText(target, ListEntryChars, L"%s.%d.tmp", FindNamePart(entry), i) < 0) break;
    Rename rename = tree.RenameHeld(target);
    if (rename == Rename::Refused) break;
    renamed = rename == Rename::Done;
  }
  wchar_t name[FinalNameChars];
  if (!tree.HeldFinalName(0, name, FinalNameChars)) return ERROR_PATH_NOT_FOUND;
  if (!MoveFileExW(name, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT)) return FailureCode();
  wchar_t result[MaxPathChars];
  if (renamed) FormatText(result, MaxPathChars, L"done as %s", target);
  LogEvent(L"scheduled for restart", entry, renamed ? result : L"done");
  ScheduleFoldersForRestart(tree, entry);
  return ERROR_SUCCESS;
}
