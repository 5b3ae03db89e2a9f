#include "integration/shortcuts.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdint>
#include <cwchar>

#include "app/shared/program_path.h"
#include "app/shared/run_state.h"
#include "app/shared/win_handles.h"
#include "fs/dir_scanner.h"
#include "fs/file_ops.h"
#include "fs/path_names.h"
#include "localization/language_module.h"
#include "resources/resource_ids.h"
#include "settings/settings_store.h"

namespace {

constexpr wchar_t ShortcutFileName[] = L"Pelodra.lnk";
constexpr wchar_t GroupFolderName[] = L"Pelodra";
constexpr wchar_t ProgramFileName[] = L"Pelodra.exe";
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
    {L"Pelodra", 0, ProgramFileName, 0, true},
    {nullptr, IDS_GROUP_HELP_NAME, L"Pelodra.chm", 0, false},
    {nullptr, IDS_GROUP_README_NAME, L"Kel.txt", 0, false},
    {nullptr, IDS_GROUP_DOCUMENT_NAME, nullptr, IDS_GROUP_DOCUMENT_FILE, false},
};

// What every shortcut of one run shares.
struct ShortcutSetting {
  wchar_t programFolder[MaxPathChars];
  wchar_t target[MaxPathChars];
  wchar_t workingFolder[MaxPathChars];
  wchar_t description[MessageChars];
  const wchar_t* icon;
};

// Makes the shortcut `name` in `folder` when `wanted`, deletes it otherwise.
void PlaceShortcut(bool wanted, const wchar_t* folder, const ShortcutSetting& setting,
                   const wchar_t* workingFolder) {
  wchar_t shortcut[MaxPathChars];
  JoinPath(folder, ShortcutFileName, shortcut, MaxPathChars);
  if (wanted)
    CreateShortcut(setting.target, shortcut, workingFolder, setting.description, setting.icon);
  else
    EraseFile(shortcut);
}

// Deletes the files directly inside a group folder, so that items of
// earlier releases under other names go; subfolders are the user's.
void EmptyGroupFolder(const wchar_t* group) {
  wchar_t mask[MaxPathChars];
  JoinPath(group, L"*", mask, MaxPathChars);
  DirScanner scanner;
  scanner.SetMask(mask);
  ScanEntry entry;
  while (scanner.Next(entry))
    if (!entry.isFolder) EraseFile(entry.name);
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

void MakeGroupItems(const wchar_t* group, const ShortcutSetting& setting) {
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
    CreateShortcut(target, shortcut, setting.workingFolder, setting.description,
                   item.takesIcon ? setting.icon : nullptr);
  }
}

// Makes or removes the program group inside one programs folder; `group`
// receives the group folder's path.
void ApplyGroupCopy(bool wanted, const wchar_t* programsFolder, const ShortcutSetting& setting,
                    wchar_t* group) {
  JoinPath(programsFolder, GroupFolderName, group, MaxPathChars);
  if (!wanted) {
    DeleteFolderTree(group);
    return;
  }
  if (PathExists(group)) EmptyGroupFolder(group);
  CreateFolder(group, false, 0);
  MakeGroupItems(group, setting);
}

}  // namespace

void ApplyShortcuts(const IntegrationOptions& options, wchar_t* groupPath, size_t capacity,
                    const wchar_t* icon) {
  if (!IsIntegrationEnabled()) return;
  ShortcutSetting setting;
  GetProgramPath(setting.programFolder, MaxPathChars);
  RemoveNamePart(setting.programFolder);
  JoinPath(setting.programFolder, ProgramFileName, setting.target, MaxPathChars);
  setting.icon = icon && icon[0] ? icon : nullptr;

  const bool allUsers = GetWindowsVersion() >= FirstAllUsersVersion;
  wchar_t folder[MaxPathChars];
  bool desktopFound;
  if (allUsers) {
    // A shortcut that an earlier release left on the user's own desktop
    // would stand beside the all users' one.
    if (GetSpecialFolderPath(CSIDL_DESKTOPDIRECTORY, folder)) {
      wchar_t old[MaxPathChars];
      JoinPath(folder, ShortcutFileName, old, MaxPathChars);
      EraseFile(old);
    }
    desktopFound = GetSpecialFolderPath(CSIDL_COMMON_DESKTOPDIRECTORY, folder);
  } else {
    if (!GetSpecialFolderPath(CSIDL_DESKTOPDIRECTORY, folder)) return;
    desktopFound = true;
  }
  GetSpecialFolderPath(CSIDL_DESKTOPDIRECTORY, setting.workingFolder);
  BoundedCopy(setting.description, LoadMessage(IDS_SHORTCUT_DESCRIPTION), MessageChars);

  if (desktopFound) PlaceShortcut(options.Desktop, folder, setting, nullptr);
  if (GetSpecialFolderPath(allUsers ? CSIDL_COMMON_STARTMENU : CSIDL_STARTMENU, folder))
    PlaceShortcut(options.StartMenu, folder, setting, setting.workingFolder);

  wchar_t group[MaxPathChars];
  if (GetSpecialFolderPath(CSIDL_PROGRAMS, folder)) {
    ApplyGroupCopy(options.Programs, folder, setting, group);
    if (options.Programs && groupPath) BoundedCopy(groupPath, group, capacity);
  }
  if (GetSpecialFolderPath(CSIDL_COMMON_PROGRAMS, folder)) {
    ApplyGroupCopy(options.Programs, folder, setting, group);
    if (options.Programs && groupPath && PathExists(group)) BoundedCopy(groupPath, group, capacity);
  }
}

bool CreateShortcut(const wchar_t* target, const wchar_t* shortcut, const wchar_t* workingFolder,
                    const wchar_t* description, const wchar_t* icon) {
  ComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              link.PutVoid())))
    return false;
  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.PutVoid()))) return false;
  // Whatever the user changed in an existing shortcut (hot key, window
  // state, a working folder of the desktop shortcut) survives.
  file->Load(shortcut, STGM_READWRITE);
  link->SetPath(target);
  if (description) link->SetDescription(description);
  link->SetIconLocation(icon ? icon : L"", 0);
  if (workingFolder) link->SetWorkingDirectory(workingFolder);
  return SUCCEEDED(file->Save(shortcut, TRUE));
}

bool GetSpecialFolderPath(int csidl, wchar_t* buffer) {
  buffer[0] = 0;
  ComPtr<IMalloc> allocator;
  if (FAILED(SHGetMalloc(allocator.Put()))) return false;
  PIDLIST_ABSOLUTE list = nullptr;
  if (FAILED(SHGetFolderLocation(nullptr, csidl, nullptr, 0, &list)) || !list) return false;
  // The shell writes at most MAX_PATH characters, well within the buffer.
  bool found = SHGetPathFromIDListW(list, buffer) != FALSE;
  allocator->Free(list);
  if (!found) buffer[0] = 0;
  return found;
}

bool DeleteFolderTree(const wchar_t* folder) {
  if (GetFileAttributesW(folder) == INVALID_FILE_ATTRIBUTES) return false;
  // A cut path would name another folder than the one meant.
  if (wcslen(folder) >= MaxPathChars) return false;
  // The source list ends with a second zero.
  wchar_t from[MaxPathChars + 1] = {};
  BoundedCopy(from, folder, MaxPathChars);
  SHFILEOPSTRUCTW operation = {};
  operation.wFunc = FO_DELETE;
  operation.pFrom = from;
  operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION;
  return SHFileOperationW(&operation) == 0;
}
