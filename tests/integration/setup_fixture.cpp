#include "tests/integration/setup_fixture.h"

#include <shlobj.h>

#include <algorithm>
#include <ostream>

#include "base/program_path.h"
#include "base/run_state.h"
#include "base/win_handles.h"
#include "fs/file_ops.h"
#include "settings/settings_store.h"
#include "support/test_files.h"
#include "support/test_registry.h"

bool ReadShortcut(const std::wstring& path, Shortcut& shortcut) {
  ComPtr<IShellLinkW> link;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              link.PutVoid())))
    return false;
  ComPtr<IPersistFile> file;
  if (FAILED(link->QueryInterface(IID_IPersistFile, file.PutVoid())) ||
      FAILED(file->Load(path.c_str(), STGM_READ)))
    return false;
  wchar_t text[INFOTIPSIZE] = {};
  link->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
  shortcut.target = text;
  text[0] = 0;
  link->GetDescription(text, INFOTIPSIZE);
  shortcut.description = text;
  text[0] = 0;
  link->GetIconLocation(text, MAX_PATH, &shortcut.iconIndex);
  shortcut.icon = text;
  text[0] = 0;
  link->GetWorkingDirectory(text, MAX_PATH);
  shortcut.workingFolder = text;
  text[0] = 0;
  link->GetArguments(text, INFOTIPSIZE);
  shortcut.arguments = text;
  link->GetHotkey(&shortcut.hotkey);
  std::string bytes = ReadBytes(path);
  if (bytes.size() >= 0x40) memcpy(&shortcut.showCommand, bytes.data() + 0x3C, 4);
  return true;
}

void PrintTo(const Shortcut& s, std::ostream* out) {
  auto narrow = [](const std::wstring& w) { return std::string(w.begin(), w.end()); };
  *out << "{target " << narrow(s.target) << ", description " << narrow(s.description) << ", icon "
       << narrow(s.icon) << "," << s.iconIndex << ", working folder " << narrow(s.workingFolder)
       << ", arguments " << narrow(s.arguments) << ", hot key " << s.hotkey << ", show "
       << s.showCommand << "}";
}

bool operator==(const Shortcut& a, const Shortcut& b) {
  return a.target == b.target && a.description == b.description && a.icon == b.icon &&
         a.iconIndex == b.iconIndex && a.workingFolder == b.workingFolder &&
         a.arguments == b.arguments && a.hotkey == b.hotkey && a.showCommand == b.showCommand;
}

std::vector<std::wstring> FolderContent(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) name += L"\\";
    names.push_back(name);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  std::sort(names.begin(), names.end());
  return names;
}

namespace {

// Everything the apply writes, also through the parts of other modules, for
// the options these tests use (no extension, no shell extension).
void RemoveMachineEntries() {
  for (REGSAM view : {REGSAM{KEY_WOW64_32KEY}, REGSAM{KEY_WOW64_64KEY}}) {
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, AppPathsKey, view);
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, UninstallKey, view);
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, ProductKey, L"exe32", view);
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, std::wstring(ProductKey) + L"\\Capabilities", view);
    DeleteRegistryKeyIfEmpty(HKEY_LOCAL_MACHINE, ProductKey, view);
  }
  DeleteRegistryValue(HKEY_LOCAL_MACHINE, L"Software\\RegisteredApplications", L"Pelodra");
  for (const wchar_t* name : {L"Pelodra", L"Pelodra.ZIP", L"Pelodra.REV", L".rev"})
    DeleteRegistryTree(HKEY_CLASSES_ROOT, name);
  DeleteRegistryValue(HKEY_CURRENT_USER, ThemesKey, L"ShellExtIcon");
  DeleteRegistryKeyIfEmpty(HKEY_CURRENT_USER, ThemesKey);
  DeleteRegistryKeyIfEmpty(HKEY_CURRENT_USER, L"Software\\Pelodra\\Interface");
  DeleteRegistryKeyIfEmpty(HKEY_CURRENT_USER, ProductKey);
}

}  // namespace

void SetupTest::SetUp() {
  ResetSettingsStoreForTesting();
  RegistryViewFlags = 0;
  SetWindowsVersionForTesting(0);
  ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
  RemoveProductShortcuts();
  RemoveMachineEntries();
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string("integration_") + test->name();
  InstallAt(std::wstring(name.begin(), name.end()));
}

void SetupTest::TearDown() {
  RemoveProductShortcuts();
  RemoveMachineEntries();
  ResetSettingsStoreForTesting();
  RegistryViewFlags = 0;
  SetWindowsVersionForTesting(0);
  SetProgramPathForTesting(nullptr);
  OleUninitialize();
  if (!folder_.empty()) RemoveTree(folder_);
}

void SetupTest::InstallAt(const std::wstring& name) {
  if (!folder_.empty()) RemoveTree(folder_);
  folder_ = FreshFolder(name);
  for (const wchar_t* file :
       {L"uninstall.exe", L"Pelodra.exe", L"Pelodra.chm", L"Kel.txt", DocumentFile})
    ASSERT_TRUE(WriteBytes(InProgramFolder(file), "stand-in"));
  SetProgramPathForTesting(InProgramFolder(L"uninstall.exe").c_str());
  // The store looks for its settings file beside the program it now has.
  ResetSettingsStoreForTesting();
}
