#include "tests/integration/setup_fixture.h"

#include <shlobj.h>

#include <algorithm>
#include <ostream>

#include "app/shared/program_path.h"
#include "app/shared/run_state.h"
#include "app/shared/win_handles.h"
#include "fs/file_ops.h"
#include "settings/settings_store.h"
#include "support/test_files.h"

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

bool RawKeyExists(HKEY root, const std::wstring& path, REGSAM view) {
  RegKey key;
  return RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.Put()) == ERROR_SUCCESS;
}

namespace {

bool RawValue(HKEY root, const std::wstring& path, const wchar_t* name, REGSAM view, DWORD& type,
              std::string& bytes) {
  RegKey key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.Put()) != ERROR_SUCCESS)
    return false;
  DWORD size = 0;
  if (RegQueryValueExW(key.Get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
    return false;
  bytes.assign(size, '\0');
  if (RegQueryValueExW(key.Get(), name, nullptr, &type,
                       reinterpret_cast<BYTE*>(bytes.empty() ? nullptr : &bytes[0]),
                       &size) != ERROR_SUCCESS)
    return false;
  bytes.resize(size);
  return true;
}

// A key below HKEY_LOCAL_MACHINE or HKEY_CURRENT_USER that holds nothing
// any more goes; one that holds anything belongs to someone else.
void RemoveIfEmpty(HKEY root, const std::wstring& path, REGSAM view = 0) {
  RegKey key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.Put()) != ERROR_SUCCESS) return;
  DWORD subkeys = 1, values = 1;
  RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                   nullptr, nullptr, nullptr, nullptr);
  key.Reset();
  if (subkeys == 0 && values == 0) RegDeleteKeyExW(root, path.c_str(), view, 0);
}

// Everything the apply writes, also through the parts of other modules, for
// the options these tests use (no extension, no shell extension).
void RemoveMachineEntries() {
  for (REGSAM view : {REGSAM{KEY_WOW64_32KEY}, REGSAM{KEY_WOW64_64KEY}}) {
    RawDeleteTree(HKEY_LOCAL_MACHINE, AppPathsKey, view);
    RawDeleteTree(HKEY_LOCAL_MACHINE, UninstallKey, view);
    RawDeleteValue(HKEY_LOCAL_MACHINE, ProductKey, L"exe32", view);
    RawDeleteTree(HKEY_LOCAL_MACHINE, std::wstring(ProductKey) + L"\\Capabilities", view);
    RemoveIfEmpty(HKEY_LOCAL_MACHINE, ProductKey, view);
  }
  RawDeleteValue(HKEY_LOCAL_MACHINE, L"Software\\RegisteredApplications", L"Pelodra");
  for (const wchar_t* name : {L"Pelodra", L"Pelodra.ZIP", L"Pelodra.REV", L".rev"})
    RawDeleteTree(HKEY_CLASSES_ROOT, name);
  RawDeleteValue(HKEY_CURRENT_USER, ThemesKey, L"ShellExtIcon");
  RemoveIfEmpty(HKEY_CURRENT_USER, ThemesKey);
  RemoveIfEmpty(HKEY_CURRENT_USER, L"Software\\Pelodra\\Interface");
  RemoveIfEmpty(HKEY_CURRENT_USER, ProductKey);
}

}  // namespace

std::wstring RawString(HKEY root, const std::wstring& path, const wchar_t* name, REGSAM view) {
  DWORD type = 0;
  std::string bytes;
  if (!RawValue(root, path, name, view, type, bytes)) return L"<missing>";
  if (type != REG_SZ) return L"<type " + std::to_wstring(type) + L">";
  std::wstring text(bytes.size() / 2, L'\0');
  if (!text.empty()) memcpy(&text[0], bytes.data(), text.size() * 2);
  while (!text.empty() && text.back() == 0) text.pop_back();
  return text;
}

long long RawDword(HKEY root, const std::wstring& path, const wchar_t* name, REGSAM view) {
  DWORD type = 0;
  std::string bytes;
  if (!RawValue(root, path, name, view, type, bytes) || type != REG_DWORD || bytes.size() != 4)
    return -1;
  DWORD value = 0;
  memcpy(&value, bytes.data(), 4);
  return value;
}

std::vector<std::wstring> RawValueNames(HKEY root, const std::wstring& path, REGSAM view) {
  std::vector<std::wstring> names;
  RegKey key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, key.Put()) != ERROR_SUCCESS)
    return names;
  for (DWORD index = 0;; ++index) {
    wchar_t name[256];
    DWORD size = 256;
    if (RegEnumValueW(key.Get(), index, name, &size, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool RawSetString(HKEY root, const std::wstring& path, const wchar_t* name,
                  const std::wstring& text) {
  RegKey key;
  if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, key.Put(), nullptr) !=
      ERROR_SUCCESS)
    return false;
  return RegSetValueExW(key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

void RawDeleteTree(HKEY root, const std::wstring& path, REGSAM view) {
  RegKey key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | view, key.Put()) != ERROR_SUCCESS)
    return;
  RegDeleteTreeW(key.Get(), nullptr);
  key.Reset();
  RegDeleteKeyExW(root, path.c_str(), view, 0);
}

void RawDeleteValue(HKEY root, const std::wstring& path, const wchar_t* name, REGSAM view) {
  RegKey key;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_SET_VALUE | view, key.Put()) == ERROR_SUCCESS)
    RegDeleteValueW(key.Get(), name);
}

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
