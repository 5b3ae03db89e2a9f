#include "support/shell_folders.h"

#include <windows.h>
#include <shlobj.h>

#include "support/test_files.h"
#include "support/test_registry.h"

namespace {

const wchar_t UserShellFolders[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

}  // namespace

std::wstring SpecialFolder(int csidl) {
  wchar_t path[MAX_PATH] = {};
  if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path))) return L"";
  return path;
}

void RemoveProductShortcuts() {
  for (int csidl : {CSIDL_DESKTOPDIRECTORY, CSIDL_COMMON_DESKTOPDIRECTORY, CSIDL_STARTMENU,
                    CSIDL_COMMON_STARTMENU}) {
    std::wstring folder = SpecialFolder(csidl);
    if (!folder.empty()) DeleteFileW((folder + L"\\Pelodra.lnk").c_str());
  }
  for (int csidl : {CSIDL_PROGRAMS, CSIDL_COMMON_PROGRAMS}) {
    std::wstring folder = SpecialFolder(csidl);
    if (!folder.empty()) RemoveTree(folder + L"\\Pelodra");
  }
}

bool RedirectAppData(const std::wstring& folder) {
  CreateDirectoryW(folder.c_str(), nullptr);
  return SetRegistryValue(HKEY_CURRENT_USER, UserShellFolders, L"AppData", REG_EXPAND_SZ,
                          folder.c_str(), (folder.size() + 1) * sizeof(wchar_t));
}
