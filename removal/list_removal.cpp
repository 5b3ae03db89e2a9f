#include "removal/list_removal.h"

#include <windows.h>

#include <cstdint>
#include <cwchar>

#include "base/best_effort.h"
#include "base/conversion.h"
#include "base/format.h"
#include "base/log.h"
#include "base/product.h"
#include "base/win_handles.h"
#include "fs/file_ops.h"
#include "fs/log_file.h"
#include "fs/path_names.h"
#include "fs/product_tree.h"
#include "removal/restart_scheduling.h"
#include "text/file_list.h"
#include "text/text_lines.h"

namespace {

const wchar_t* const HelpIndexFiles[] = {L"pelodra.gid", L"pelodra.fts"};
constexpr unsigned EntryChars = ListEntryChars;
// An entry in its long form.
constexpr unsigned ExactChars = EntryChars + 8;
constexpr wchar_t Ellipsis[] = L"\x2026";
constexpr DWORD AttributesDelKeeps =
    FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;

// What the removal of the listed files needs beside the list.
struct RemovalScope {
  RemovalScope(const wchar_t* productFolder, const wchar_t* program);

  const wchar_t* folder;  // ending in a backslash
  size_t folderLength;
  const wchar_t* programName;
  // Every entry is removed through it, or left.
  ProductTree tree;
};

RemovalScope::RemovalScope(const wchar_t* productFolder, const wchar_t* program)
    : folder(productFolder),
      folderLength(wcslen(productFolder)),
      programName(FindNamePart(program)) {
  if (!tree.Open(folder)) LogEvent(L"refused", folder, L"the folder cannot be opened as itself");
}

struct PendingFolder {
  uint32_t offset;  // of its line in the list
  uint32_t depth;
};

[[nodiscard]] bool ResolveLine(const char* line, ListLine kind, RemovalScope& scope, wchar_t* entry,
                               unsigned& depth) {
  if (kind == ListLine::Empty) return false;
  // A line of at most ListLineBytes - 1 bytes gives no more characters.
  wchar_t wide[ListLineBytes];
  ToWide(line, wide, ListLineBytes);
  if (kind == ListLine::Damaged) {
    LogEvent(L"refused", wide, L"a damaged line (too long, or a NUL)");
    return false;
  }
  if (!ListEntryName(scope.folder, wide, entry, EntryChars, depth)) {
    LogEvent(L"refused", wide, L"no name inside the folder");
    return false;
  }
  return true;
}

// Adds a name to the files left, as long as the list has room; an ellipsis
// ends a list that is cut.
void NoteLeft(ListRemoval& result, const wchar_t* name) {
  ++result.filesLeft;
  size_t used = wcslen(result.leftNames);
  if (used > 0 && result.leftNames[used - 1] != L'\n') return;
  if (used + wcslen(name) + 3 < LeftNamesChars) {
    wcscat(result.leftNames, name);
    wcscat(result.leftNames, L"\n");
  } else {
    wcscat(result.leftNames, Ellipsis);
  }
}

// A file that stays, and why.
void LogLeft(const wchar_t* entry, Removal removal) {
  if (removal == Removal::Link)
    LogEvent(L"left", entry, L"a link that Windows would only follow");
  else if (removal == Removal::Unchecked)
    LogEvent(L"left", entry, L"it cannot be told from a link");
  else
    LogOutcome(L"left", entry,
               removal == Removal::InUse ? ERROR_SHARING_VIOLATION : ERROR_ACCESS_DENIED);
}

// The program and the list are removed later, by the batch file and after
// the list is closed.
bool IsListOrProgram(const wchar_t* entry, const RemovalScope& scope) {
  const wchar_t* relative = entry + scope.folderLength;
  return CompareNoCase(relative, scope.programName) == 0 ||
         CompareNoCase(relative, FileListName) == 0;
}

// Whether the file the tree holds is the run's log.
bool HoldsTheLog(const ProductTree& tree) {
  wchar_t name[FinalNameChars];
  return tree.HeldFinalName(0, name, FinalNameChars) && IsLogFile(name);
}

// Removes one entry of the product, or schedules a file that Windows
// holds. A folder that stays is the caller's to try again.
[[nodiscard]] Removal RemoveProductEntry(const wchar_t* entry, RemovalScope& scope,
                                         ListRemoval& result) {
  Removal removal = scope.tree.Remove(entry + scope.folderLength);
  const wchar_t* shown = entry + scope.folderLength;
  bool held = removal == Removal::InUse || removal == Removal::Refused;
  if (removal == Removal::Removed) {
    LogEvent(L"deleted", entry, L"done");
  } else if (removal == Removal::LinkOnTheWay) {
    LogEvent(L"refused", entry, L"a link on the way");
  } else if (removal == Removal::Link || removal == Removal::Unchecked) {
    NoteLeft(result, shown);
    LogLeft(entry, removal);
  } else if (held && HoldsTheLog(scope.tree)) {
    // The run holds its log open: it stays, and is neither scheduled nor
    // reported.
    LogEvent(L"kept", entry, L"the log");
    result.logKept = true;
  } else if (held && !IsListOrProgram(entry, scope)) {
    DWORD error = scope.tree.HeldDepth()
                      ? ScheduleForRestart(scope.tree, entry)
                      : (removal == Removal::InUse ? ERROR_SHARING_VIOLATION : ERROR_ACCESS_DENIED);
    if (error == ERROR_SUCCESS) {
      result.restartPending = true;
    } else {
      NoteLeft(result, shown);
      LogOutcome(L"left", entry, error);
    }
  }
  return removal;
}

int DeeperFirst(const void* a, const void* b) {
  uint32_t x = static_cast<const PendingFolder*>(a)->depth;
  uint32_t y = static_cast<const PendingFolder*>(b)->depth;
  return x < y ? 1 : x > y ? -1 : 0;
}

void RemoveListEntries(FILE* list, RemovalScope& scope, ListRemoval& result) {
  GrowableArray<PendingFolder> pending;
  char line[ListLineBytes];
  wchar_t entry[EntryChars];
  long start = ftell(list);
  uint32_t offset = start > 0 ? static_cast<uint32_t>(start) : 0;
  uint32_t consumed = 0;
  ListLine kind = ListLine::Empty;
  unsigned depth = 0;
  result.passes = 1;
  for (; ReadListLine(list, line, kind, consumed); offset += consumed) {
    if (!ResolveLine(line, kind, scope, entry, depth)) continue;
    Removal removal = RemoveProductEntry(entry, scope, result);
    if (removal == Removal::FolderKept) {
      pending.Add(1);
      pending[pending.Count() - 1] = PendingFolder{offset, depth};
    } else if (removal == Removal::Missing) {
      // Said, so that every line the run leaves has a line in the log: a
      // folder on the way may be missing only for a moment.
      LogEvent(L"not found", entry, L"nothing to remove");
    }
  }
  if (pending.Count() == 0) return;
  // A folder listed before what it holds is tried again after the first
  // pass, deepest first, so that each goes after every folder below it:
  // one more pass however deep the tree.
  ++result.passes;
  HeapSort(pending.Data(), pending.Count(), sizeof(PendingFolder), DeeperFirst);
  for (uint32_t i = 0; i < pending.Count(); ++i) {
    if (fseek(list, static_cast<long>(pending[i].offset), SEEK_SET) != 0 ||
        !ReadListLine(list, line, kind, consumed))
      continue;
    if (ResolveLine(line, kind, scope, entry, depth) &&
        RemoveProductEntry(entry, scope, result) == Removal::FolderKept)
      LogEvent(L"left", entry, L"not empty, or in use");
  }
}

}  // namespace

void RemoveProductFiles(Stream& list, const wchar_t* program, const wchar_t* folder,
                        ListRemoval& removal) {
  // A current folder inside the product would keep that folder.
  wchar_t systemFolder[MaxPathChars];
  if (GetSystemFolder(systemFolder)) BestEffort(SetCurrentDirectoryW(systemFolder));

  RemovalScope scope(folder, program);
  wchar_t entry[EntryChars];
  for (const wchar_t* name : HelpIndexFiles)
    if (FormatText(entry, EntryChars, L"%s%s", folder, name) >= 0)
      BestEffort(RemoveProductEntry(entry, scope, removal));
  RemoveListEntries(list.Get(), scope, removal);
  list.Reset();

  Removal gone = FormatText(entry, EntryChars, L"%s%s", folder, FileListName) >= 0
                     ? scope.tree.Remove(FileListName)
                     : Removal::Missing;
  if (gone == Removal::Removed) LogEvent(L"deleted", entry, L"done");
  if (gone != Removal::Removed && gone != Removal::Missing && gone != Removal::FolderKept) {
    NoteLeft(removal, FileListName);
    LogLeft(entry, gone);
  }
  // The batch file's "del" leaves a read-only, hidden or system file.
  BestEffort(scope.tree.ClearAttributes(scope.programName, AttributesDelKeeps));
}

Stream OpenFileList(const wchar_t* folder) {
  wchar_t listPath[EntryChars], exact[ExactChars];
  if (FormatText(listPath, EntryChars, L"%s%s", folder, FileListName) < 0 ||
      !ExactName(listPath, exact, ExactChars))
    return Stream();
  return Stream(OpenStream(exact, L"rb"));
}

ListRemoval RemoveListedFiles(FILE* list, const wchar_t* folder, const wchar_t* programName) {
  ListRemoval result;
  RemovalScope scope(folder, programName);
  RemoveListEntries(list, scope, result);
  return result;
}
