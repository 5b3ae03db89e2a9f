#include "integration/shortcuts.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <cwchar>

#include "base/best_effort.h"
#include "base/log.h"
#include "base/product.h"
#include "base/program_path.h"
#include "base/run_state.h"
#include "base/win_handles.h"
#include "fs/dir_scanner.h"
#include "fs/file_ops.h"
#include "fs/log_file.h"
#include "fs/path_names.h"
#include "localization/messages.h"
#include "resources/resource_ids.h"
#include "settings/settings_store.h"

namespace {

constexpr wchar_t ShortcutFileName[] = L"Pelodra.lnk";
constexpr wchar_t ShortcutExtension[] = L".lnk";
// From 6.0 on the desktop and Start-menu shortcuts belong to all users.
constexpr unsigned FirstAllUsersVersion = 0x0600;

// An item of the program group. A name or target of 0 comes from the
// message with the given id.
struct GroupItem {
  const wchar_t* name;
  uint32_t nameId;
  const wchar_t* target;
  uint32_t targetId;
  bool takesIcon;
};

const GroupItem GroupItems[] = {
    {ProductName, 0, ProgramFileName, 0, true},
    {nullptr, IDS_GROUP_HELP_NAME, HelpFileName, 0, false},
    {nullptr, IDS_GROUP_README_NAME, L"Kel.txt", 0, false},
    {nullptr, IDS_GROUP_DOCUMENT_NAME, nullptr, IDS_GROUP_DOCUMENT_FILE, false},
};

// What every shortcut of one run shares.
struct ShortcutSetting {
  wchar_t programFolder[MaxPathChars];
  wchar_t target[MaxPathChars];
  // The installing user's desktop: the working folder of the user's own
  // shortcuts. Shortcuts that every user starts work in the program's
  // folder, since no other user may enter this one.
  wchar_t usersDesktop[MaxPathChars];
  wchar_t description[MessageChars];
  const wchar_t* icon;
};

// The run's log is no file of the product's, wherever it lies: it stays,
// and what it stands in the way of is left as it is, as the log says. The
// run ends as it would without a log.
bool IsKeptLog(const wchar_t* path) {
  if (!IsLogFile(path)) return false;
  LogEvent(L"kept", path, L"the log");
  return true;
}

// True when the file is gone, was never there, or is the log.
[[nodiscard]] bool RemoveFile(const wchar_t* path) {
  if (IsKeptLog(path)) return true;
  bool removed = EraseFile(path);
  DWORD error = removed ? ERROR_SUCCESS : FailureCode();
  if (!removed) {
    DWORD attributes = GetAttributes(path);
    if (attributes == InvalidAttributes) return true;
    if (attributes & FILE_ATTRIBUTE_READONLY) {
      removed = SetAttributes(path, attributes & ~FILE_ATTRIBUTE_READONLY) && EraseFile(path);
      error = removed ? ERROR_SUCCESS : FailureCode();
    }
  }
  LogOutcome(L"shortcut removed", path, error);
  return removed;
}

// Makes the shortcut `name` in `folder` when `wanted`, deletes it otherwise.
// False when the system refused it.
[[nodiscard]] bool PlaceShortcut(bool wanted, const wchar_t* folder, const ShortcutSetting& setting,
                                 const wchar_t* workingFolder) {
  wchar_t shortcut[MaxPathChars];
  JoinPath(folder, ShortcutFileName, shortcut, MaxPathChars);
  if (wanted && IsKeptLog(shortcut)) return true;
  if (wanted)
    return CreateShortcut(setting.target, shortcut, workingFolder, setting.description,
                          setting.icon);
  return RemoveFile(shortcut);
}

// What emptying a group folder left.
struct Emptied {
  bool complete;  // false when a file stays that should have gone
  bool holdsLog;
};

// Deletes the files directly inside a group folder, so that items of
// earlier releases under other names go; subfolders are the user's, and
// the log stays. A group that is a link is not emptied: the files behind
// it are another folder's.
[[nodiscard]] Emptied EmptyGroupFolder(const wchar_t* group) {
  Emptied emptied{true, false};
  DWORD attributes = GetAttributes(group);
  if (attributes == InvalidAttributes || IsReparsePoint(attributes)) return emptied;
  wchar_t mask[MaxPathChars];
  JoinPath(group, L"*", mask, MaxPathChars);
  DirScanner scanner;
  scanner.SetMask(mask);
  ScanEntry entry;
  while (scanner.Next(entry)) {
    if (entry.isFolder) continue;
    if (IsKeptLog(entry.name))
      emptied.holdsLog = true;
    else if (!RemoveFile(entry.name))
      emptied.complete = false;
  }
  return emptied;
}

// Translations name the group's items and the files they open. An item
// must stay a file of the group and its target a file in the program's
// folder (or below it): a separator, a drive or stream colon, "." or ".."
// or a character no file name may hold would put the shortcut, or what it
// opens, somewhere else. An empty text would name the folder itself.
bool IsFileName(const wchar_t* name, size_t length) {
  if (length == 0 || (name[0] == L'.' && (length == 1 || (length == 2 && name[1] == L'.'))))
    return false;
  for (size_t i = 0; i < length; ++i)
    if (name[i] < L' ' || wcschr(L"\\/:*?\"<>|", name[i])) return false;
  return true;
}

bool IsPathBelowFolder(const wchar_t* path) {
  for (const wchar_t* part = path;;) {
    size_t length = wcscspn(part, L"\\/");
    if (!IsFileName(part, length)) return false;
    if (!part[length]) return true;
    part += length + 1;
  }
}

[[nodiscard]] bool RemoveFolder(const wchar_t* folder) {
  bool removed = RemoveDirectoryW(folder) != FALSE;
  LogOutcome(L"folder removed", folder, removed ? ERROR_SUCCESS : FailureCode());
  return removed;
}

[[nodiscard]] bool MakeGroupItems(const wchar_t* group, const ShortcutSetting& setting,
                                  const wchar_t* workingFolder) {
  bool complete = true;
  for (const GroupItem& item : GroupItems) {
    wchar_t name[MessageChars];
    BoundedCopy(name, item.name ? item.name : LoadMessage(item.nameId), MessageChars);
    wchar_t targetName[MessageChars];
    BoundedCopy(targetName, item.target ? item.target : LoadMessage(item.targetId), MessageChars);
    if (!IsFileName(name, wcslen(name)) || !IsPathBelowFolder(targetName)) continue;
    wchar_t target[MaxPathChars];
    JoinPath(setting.programFolder, targetName, target, MaxPathChars);
    if (!PathExists(target)) continue;
    wchar_t shortcut[MaxPathChars];
    JoinPath(group, name, shortcut, MaxPathChars);
    BoundedAppend(shortcut, ShortcutExtension, MaxPathChars);
    if (IsKeptLog(shortcut)) continue;
    if (!CreateShortcut(target, shortcut, workingFolder, setting.description,
                        item.takesIcon ? setting.icon : nullptr))
      complete = false;
  }
  return complete;
}

// Makes or removes the program group inside one programs folder; `group`
// receives the group folder's path. False when the system refused part.
[[nodiscard]] bool ApplyGroupCopy(bool wanted, const wchar_t* programsFolder,
                                  const ShortcutSetting& setting, const wchar_t* workingFolder,
                                  wchar_t* group) {
  JoinPath(programsFolder, ProductName, group, MaxPathChars);
  if (!wanted) return RemoveProgramGroup(group);
  if (IsKeptLog(group)) return true;
  bool complete = EmptyGroupFolder(group).complete;
  int made = CreateFolder(group, false, 0);
  DWORD error = made == FolderCreated ? ERROR_SUCCESS : FailureCode();
  if (made == FolderCreated || !PathExists(group)) LogOutcome(L"folder made", group, error);
  return MakeGroupItems(group, setting, workingFolder) && complete;
}

}  // namespace

bool ApplyShortcuts(const IntegrationOptions& options, wchar_t* groupPath, size_t capacity,
                    const wchar_t* icon) {
  if (!IsIntegrationEnabled()) return true;
  ShortcutSetting setting;
  GetProgramPath(setting.programFolder, MaxPathChars);
  RemoveNamePart(setting.programFolder);
  JoinPath(setting.programFolder, ProgramFileName, setting.target, MaxPathChars);
  setting.icon = icon && icon[0] ? icon : nullptr;

  const bool allUsers = GetWindowsVersion() >= FirstAllUsersVersion;
  bool complete = true;
  wchar_t folder[MaxPathChars];
  bool desktopFound;
  if (allUsers) {
    // A shortcut that an earlier release left on the user's own desktop
    // would stand beside the all users' one.
    if (GetSpecialFolderPath(CSIDL_DESKTOPDIRECTORY, folder)) {
      wchar_t old[MaxPathChars];
      JoinPath(folder, ShortcutFileName, old, MaxPathChars);
      complete = RemoveFile(old);
    }
    desktopFound = GetSpecialFolderPath(CSIDL_COMMON_DESKTOPDIRECTORY, folder);
  } else {
    if (!GetSpecialFolderPath(CSIDL_DESKTOPDIRECTORY, folder)) return true;
    desktopFound = true;
  }
  GetSpecialFolderPath(CSIDL_DESKTOPDIRECTORY, setting.usersDesktop);
  BoundedCopy(setting.description, LoadMessage(IDS_SHORTCUT_DESCRIPTION), MessageChars);
  const wchar_t* allUsersFolder = setting.programFolder;

  if (desktopFound && !PlaceShortcut(options.Desktop, folder, setting, nullptr)) complete = false;
  if (GetSpecialFolderPath(allUsers ? CSIDL_COMMON_STARTMENU : CSIDL_STARTMENU, folder) &&
      !PlaceShortcut(options.StartMenu, folder, setting,
                     allUsers ? allUsersFolder : setting.usersDesktop))
    complete = false;

  wchar_t group[MaxPathChars];
  if (GetSpecialFolderPath(CSIDL_PROGRAMS, folder)) {
    if (!ApplyGroupCopy(options.Programs, folder, setting, setting.usersDesktop, group))
      complete = false;
    if (options.Programs && groupPath) BoundedCopy(groupPath, group, capacity);
  }
  if (GetSpecialFolderPath(CSIDL_COMMON_PROGRAMS, folder)) {
    if (!ApplyGroupCopy(options.Programs, folder, setting, allUsersFolder, group)) complete = false;
    if (options.Programs && groupPath && PathExists(group)) BoundedCopy(groupPath, group, capacity);
  }
  return complete;
}

bool CreateShortcut(const wchar_t* target, const wchar_t* shortcut, const wchar_t* workingFolder,
                    const wchar_t* description, const wchar_t* icon) {
  ComPtr<IShellLinkW> link;
  ComPtr<IPersistFile> file;
  HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                    link.PutVoid());
  if (SUCCEEDED(result)) result = link->QueryInterface(IID_IPersistFile, file.PutVoid());
  if (SUCCEEDED(result)) {
    // Whatever the user changed in an existing shortcut (hot key, window
    // state, a working folder of the desktop shortcut) survives.
    file->Load(shortcut, STGM_READWRITE);
    link->SetPath(target);
    if (description) link->SetDescription(description);
    link->SetIconLocation(icon ? icon : L"", 0);
    if (workingFolder) link->SetWorkingDirectory(workingFolder);
    result = file->Save(shortcut, TRUE);
  }
  LogOutcome(L"shortcut made", shortcut,
             SUCCEEDED(result) ? ERROR_SUCCESS : static_cast<DWORD>(result));
  return SUCCEEDED(result);
}

bool RemoveProgramGroup(const wchar_t* group) {
  DWORD attributes = GetAttributes(group);
  if (attributes == InvalidAttributes || IsKeptLog(group)) return true;
  if (IsReparsePoint(attributes)) return RemoveFolder(group);
  Emptied emptied = EmptyGroupFolder(group);
  if (emptied.holdsLog)
    LogEvent(L"kept", group, L"holds the log");
  else
    BestEffort(RemoveFolder(group));
  return emptied.complete;
}
