// What the shortcut, uninstall-entry and apply tests share: COM for the
// shell link object, a stand-in installation of the product, the special
// folders of the prefix, a reader of shortcuts, and the removal of
// everything these tests make in the shared prefix.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/shell_folders.h"

// The message texts of the program's own string table.
constexpr wchar_t HelpItem[] = L"Pelodra help.lnk";
constexpr wchar_t ReadmeItem[] = L"What is new in Pelodra.lnk";
constexpr wchar_t DocumentItem[] = L"Pelodra license.lnk";
constexpr wchar_t DocumentFile[] = L"License.txt";
constexpr wchar_t Description[] = L"Pelodra archiver";

constexpr wchar_t AppPathsKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Pelodra.exe";
constexpr wchar_t UninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelodra archiver";
constexpr wchar_t ProductKey[] = L"Software\\Pelodra";
constexpr wchar_t ThemesKey[] = L"Software\\Pelodra\\Interface\\Themes";

struct Shortcut {
  std::wstring target;
  std::wstring description;
  std::wstring icon;
  int iconIndex = -1;
  std::wstring workingFolder;
  std::wstring arguments;
  WORD hotkey = 0;
  // Read from the file itself: Wine's link object answers 1 after a load.
  DWORD showCommand = 0;
};
// False when the file cannot be loaded as a shortcut.
bool ReadShortcut(const std::wstring& path, Shortcut& shortcut);
void PrintTo(const Shortcut& shortcut, std::ostream* out);
bool operator==(const Shortcut& a, const Shortcut& b);

// The names in a folder, sorted; subfolders end in a backslash.
std::vector<std::wstring> FolderContent(const std::wstring& folder);

class SetupTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Moves the stand-in installation into the fresh folder C:\tests\<name>.
  void InstallAt(const std::wstring& name);
  std::wstring InProgramFolder(const std::wstring& name) const { return folder_ + L"\\" + name; }

  std::wstring folder_;
};
