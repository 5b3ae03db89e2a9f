#include "setup_test_support.h"

#include <shlobj.h>

#include <cwchar>

#include "integration/options.h"
#include "support/shell_folders.h"
#include "support/test_files.h"

namespace {

const wchar_t* const ClassKeys[] = {L"Pelodra",           L"Pelodra.ZIP",
                                    L"Pelodra.REV",       L".rev",
                                    L"exefile\\shellex",  L"*\\shellex\\ContextMenuHandlers",
                                    L"Folder\\shellex",   L"Drive\\shellex",
                                    L"Directory\\shellex"};
const wchar_t* const ServerClsids[] = {L"CLSID\\{D3A57C10-4B21-11D2-8F3A-0C5E2B7A91F4}",
                                       L"CLSID\\{D3A57C10-6A21-11D2-8F3A-0C5E2B7A91F4}"};
const wchar_t* const MachineKeys[] = {
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved",
    L"Software\\RegisteredApplications", L"Software\\Pelodra", UninstallEntryKey, AppPathsKey};
constexpr unsigned VolumeKeyCount = 100;

bool ShortcutIn(std::initializer_list<int> folders) {
  for (int csidl : folders) {
    std::wstring folder = SpecialFolder(csidl);
    if (!folder.empty() && Exists(folder + L"\\Pelodra.lnk")) return true;
  }
  return false;
}

struct FolderWindow {
  const wchar_t* title;
  HWND found;
};

BOOL CALLBACK FindFolderWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<FolderWindow*>(param);
  wchar_t className[64] = {}, title[256] = {};
  GetClassNameW(window, className, 64);
  GetWindowTextW(window, title, 256);
  if (IsWindowVisible(window) &&
      (!wcscmp(className, L"ExplorerWClass") || !wcscmp(className, L"CabinetWClass")) &&
      !wcscmp(title, search->title)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

SetupTraces::SetupTraces() {
  RemoveProductShortcuts();
  auto keep = [this](HKEY root, const std::wstring& path, REGSAM view = 0) {
    kept_.push_back(std::make_unique<SavedRegistryKey>(root, path, view));
  };
  for (const ExtensionRow& row : ExtensionTable)
    for (RowExtensions e(row.extensions); e.Next();) keep(HKEY_CLASSES_ROOT, e.Current());
  for (unsigned n = 0; n < VolumeKeyCount; ++n) {
    wchar_t volume[8];
    swprintf(volume, 8, L".k%02u", n);
    keep(HKEY_CLASSES_ROOT, volume);
  }
  for (const wchar_t* path : ClassKeys) keep(HKEY_CLASSES_ROOT, path);
  for (REGSAM view : {REGSAM{KEY_WOW64_32KEY}, REGSAM{KEY_WOW64_64KEY}}) {
    for (const wchar_t* path : ServerClsids) keep(HKEY_CLASSES_ROOT, path, view);
    for (const wchar_t* path : MachineKeys) keep(HKEY_LOCAL_MACHINE, path, view);
  }
}

SetupTraces::~SetupTraces() {
  // Put back in reverse order, so that a key kept twice (one view) ends as
  // first found.
  while (!kept_.empty()) kept_.pop_back();
  RemoveProductShortcuts();
}

bool DesktopShortcutExists() {
  return ShortcutIn({CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY});
}

bool StartMenuShortcutExists() { return ShortcutIn({CSIDL_STARTMENU, CSIDL_COMMON_STARTMENU}); }

std::wstring ProgramGroup() {
  for (int csidl : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) {
    std::wstring folder = SpecialFolder(csidl);
    if (!folder.empty() && Exists(folder + L"\\Pelodra")) return folder + L"\\Pelodra";
  }
  return L"";
}

bool CloseFolderWindow(const wchar_t* title, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  do {
    FolderWindow search{title, nullptr};
    EnumWindows(FindFolderWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found) {
      PostMessageW(search.found, WM_CLOSE, 0, 0);
      return true;
    }
    Sleep(100);
  } while (GetTickCount() - start < timeoutMs);
  return false;
}
