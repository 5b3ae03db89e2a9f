#include "removal/uninstall_run.h"

#include <windows.h>

#include <cstring>
#include <cwchar>

#include "app/shared/format.h"
#include "app/shared/message_box.h"
#include "app/shared/program_path.h"
#include "app/shared/run_state.h"
#include "fs/file_ops.h"
#include "fs/path_names.h"
#include "localization/language_module.h"
#include "removal/batch_file.h"
#include "removal/integration_removal.h"
#include "resources/resource_ids.h"
#include "settings/settings_store.h"
#include "text/conversion.h"
#include "text/text_lines.h"

namespace {

constexpr wchar_t ListName[] = L"Uninstall.lst";
constexpr wchar_t BatchName[] = L"Uninstall_Kel.Bat";
constexpr unsigned ListLineBytes = 2048;
constexpr unsigned EntryChars = 4096;
constexpr unsigned ErrorChars = 200;
constexpr unsigned KeptChars = 256;
constexpr int RenameTries = 1000;
const wchar_t* const HelpIndexFiles[] = {L"pelodra.gid", L"pelodra.fts"};

bool Confirmed() {
  if (SilentMode) return true;
  return ShowMessageBox(nullptr, LoadMessage(IDS_CONFIRM_UNINSTALL), LoadMessage(IDS_CAPTION),
                        MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) == IDYES;
}

void ReportMissingList() {
  wchar_t text[ErrorChars];
  FormatMessageText(text, ErrorChars, LoadMessage(IDS_LIST_MISSING_FORMAT), ListName);
  ShowMessageBox(nullptr, text, LoadMessage(IDS_CAPTION), MB_ICONHAND | MB_SETFOREGROUND);
}

void DeleteHelpIndexFiles() {
  for (const wchar_t* name : HelpIndexFiles) {
    SetFileAttributesW(name, 0);
    DeleteFileW(name);
  }
}

// Reads the next line of at most ListLineBytes - 1 bytes, without its
// trailing line end, blanks and tabs. A longer line is skipped whole, so
// that its rest is never taken for a name of its own. False at the end.
bool ReadListLine(FILE* list, char* line, bool& usable) {
  if (!fgets(line, ListLineBytes, list)) return false;
  size_t length = strlen(line);
  usable = true;
  if (length == ListLineBytes - 1 && line[length - 1] != '\n') {
    usable = false;
    int c;
    while ((c = fgetc(list)) != EOF && c != '\n') {
    }
  }
  while (length > 0 && strchr("\r\n \t", line[length - 1])) line[--length] = 0;
  if (length == 0) usable = false;
  return true;
}

bool IsListOrProgram(const wchar_t* entry, const wchar_t* programName) {
  const wchar_t* name = FindNamePart(entry);
  return CompareNoCase(name, programName) == 0 || CompareNoCase(name, ListName) == 0;
}

// The folders that hold a locked file, up to the program's folder, go at
// the same restart, each after what it holds; Windows removes only those
// that are empty by then. A drive's root is never one of them.
void ScheduleFoldersForRestart(const wchar_t* file, const wchar_t* folder) {
  wchar_t path[EntryChars];
  DWORD n = GetFullPathNameW(file, EntryChars, path, nullptr);
  if (n == 0 || n >= EntryChars) return;
  size_t folderLength = wcslen(folder);  // with its trailing backslash
  bool folderIsRoot = folderLength >= 2 && folder[folderLength - 2] == L':';
  size_t last = folderIsRoot ? folderLength : folderLength - 1;
  for (wchar_t* cut; (cut = wcsrchr(path, L'\\')) != nullptr;) {
    *cut = 0;
    if (static_cast<size_t>(cut - path) < last) break;
    MoveFileExW(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  }
}

// Moves a locked file out of the way and has it deleted at the next start
// of Windows.
void ScheduleForRestart(const wchar_t* entry, const wchar_t* folder) {
  wchar_t target[MaxPathChars];
  for (int i = 0; i < RenameTries; ++i) {
    FormatText(target, MaxPathChars, L"%s.%d.tmp", entry, i);
    if (GetFileAttributesW(target) == InvalidAttributes) break;
  }
  const wchar_t* scheduled = MoveFileW(entry, target) ? target : entry;
  MoveFileExW(scheduled, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
  ScheduleFoldersForRestart(scheduled, folder);
}

bool CopyFolderOfProgram(const wchar_t* program, wchar_t* folder) {
  const wchar_t* last = wcsrchr(program, L'\\');
  if (!last) return false;
  size_t length = static_cast<size_t>(last - program);
  if (length > 0 && program[length - 1] == L':') ++length;
  if (length >= MaxPathChars) length = MaxPathChars - 1;
  wmemcpy(folder, program, length);
  folder[length] = 0;
  return true;
}

}  // namespace

bool IsInsideFolder(const wchar_t* folder, const wchar_t* line) {
  ReparseCheck fresh;
  return IsInsideFolder(folder, line, fresh);
}

bool IsInsideFolder(const wchar_t* folder, const wchar_t* line, ReparseCheck& reparse) {
  if (IsPathSeparator(line[0]) || IsDiskLetter(line) || wcschr(line, L':')) return false;
  wchar_t joined[EntryChars];
  BoundedCopy(joined, folder, EntryChars);
  BoundedAppend(joined, line, EntryChars);
  wchar_t full[EntryChars];
  DWORD n = GetFullPathNameW(joined, EntryChars, full, nullptr);
  if (n == 0 || n >= EntryChars) return false;
  size_t folderLength = wcslen(folder);
  if (wcslen(full) <= folderLength ||
      CompareStringOrdinal(full, static_cast<int>(folderLength), folder,
                           static_cast<int>(folderLength), TRUE) != CSTR_EQUAL)
    return false;
  // A junction or symbolic link inside the folder may lead anywhere. Lists
  // name the files of one folder together, so the last folder's answer is
  // kept.
  wchar_t* name = FindNamePart(full);
  if (name - full <= static_cast<ptrdiff_t>(folderLength)) return true;
  name[-1] = 0;
  if (wcscmp(full, reparse.folder) == 0) return reparse.inside;
  BoundedCopy(reparse.folder, full, EntryChars);
  reparse.inside = true;
  for (size_t i = wcslen(full); i > folderLength; --i) {
    if (full[i] != L'\\' && full[i] != 0) continue;
    wchar_t kept = full[i];
    full[i] = 0;
    DWORD attributes = GetFileAttributesW(full);
    full[i] = kept;
    if (attributes != InvalidAttributes && IsReparsePoint(attributes)) reparse.inside = false;
  }
  return reparse.inside;
}

ListRemoval RemoveListedFiles(FILE* list, const wchar_t* folder, const wchar_t* programName) {
  ListRemoval result;
  char line[ListLineBytes];
  wchar_t entry[EntryChars];
  size_t folderLength = wcslen(folder);
  // Per line: whether a further pass could still remove its entry. Lines
  // that are done (removed, missing, skipped, scheduled) cost nothing in
  // later passes, and a pass that leaves nothing to retry is the last: the
  // next one could remove nothing, as the plain repetition would find out.
  GrowableArray<uint8_t> pending;
  ReparseCheck reparse;
  for (bool first = true;; first = false) {
    ++result.passes;
    unsigned removed = 0;
    unsigned retries = 0;
    uint32_t index = 0;
    bool usable = false;
    while (ReadListLine(list, line, usable)) {
      if (first) {
        pending.Add(1);
        pending[index] = 1;
      }
      uint8_t& open = pending[index++];
      if (!open) continue;
      open = 0;
      if (!usable) continue;
      BoundedCopy(entry, folder, EntryChars);
      ToWide(line, entry + folderLength, EntryChars - folderLength);
      if (!IsInsideFolder(folder, entry + folderLength, reparse)) continue;
      DWORD attributes = GetFileAttributesW(entry);
      if (attributes == InvalidAttributes) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) continue;
      }
      SetFileAttributesW(entry, 0);
      if (attributes != InvalidAttributes && IsDirectory(attributes)) {
        if (RemoveDirectoryW(entry)) {
          ++removed;
        } else {
          open = 1;
          ++retries;
        }
      } else if (DeleteFileW(entry)) {
        ++removed;
      } else if (attributes != InvalidAttributes && !IsListOrProgram(entry, programName)) {
        result.restartPending = true;
        ScheduleForRestart(entry, folder);
      } else {
        open = 1;
        ++retries;
      }
    }
    if (removed == 0 || retries == 0) break;
    fseek(list, 0, SEEK_SET);
  }
  return result;
}

void RunUninstall() {
  wchar_t program[MaxPathChars];
  GetProgramPath(program, MaxPathChars);
  wchar_t folder[MaxPathChars];
  if (!CopyFolderOfProgram(program, folder)) return;
  SetCurrentDirectoryW(folder);
  AddTrailingSeparator(folder, MaxPathChars);

  if (!Confirmed()) return;
  FILE* list = OpenStream(ListName, L"rb");
  if (!list) {
    ReportMissingList();
    return;
  }
  // The language module goes before the files; keep its last two texts.
  wchar_t restartText[KeptChars], caption[KeptChars];
  BoundedCopy(restartText, LoadMessage(IDS_RESTART_NEEDED), KeptChars);
  BoundedCopy(caption, LoadMessage(IDS_CAPTION), KeptChars);

  RemoveIntegration();
  // The settings file goes with the product's files: write it now and let
  // go of it, or the end of the run would write it into the emptied folder
  // again and keep the folder from being removed.
  SaveIniFile();
  ReleaseIni();
  ReleaseLanguageModule();
  if (MsiMode) {
    fclose(list);
    return;
  }
  DeleteHelpIndexFiles();
  bool restartPending = RemoveListedFiles(list, folder, FindNamePart(program)).restartPending;
  fclose(list);
  DeleteFileW(ListName);
  if (restartPending && !SilentMode)
    ShowMessageBox(nullptr, restartText, caption, MB_ICONINFORMATION | MB_SETFOREGROUND);

  wchar_t batch[MaxPathChars] = {};
  DWORD n = GetTempPathW(MaxPathChars, batch);
  if (n == 0 || n >= MaxPathChars) return;
  BoundedAppend(batch, BatchName, MaxPathChars);
  wchar_t current[MaxPathChars] = {};
  GetCurrentDirectoryW(MaxPathChars, current);
  if (!WriteCleanupBatch(batch, program, current, SilentMode)) return;
  StartHiddenBatch(batch);
}
