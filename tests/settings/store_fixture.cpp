#include "tests/settings/store_fixture.h"

#include <ostream>

#include "app/shared/program_path.h"
#include "app/shared/run_state.h"
#include "support/test_files.h"

void PrintTo(const Entry& entry, std::ostream* out) {
  std::string name(entry.name.begin(), entry.name.end());
  std::string value(entry.value.begin(), entry.value.end());
  *out << name << " = [" << value << "] kind " << static_cast<int>(entry.kind);
}

Entries IniEntries() {
  Entries entries;
  for (const IniEntry* entry = FirstIniEntry(); entry; entry = entry->next)
    entries.push_back({entry->name, entry->value, entry->kind});
  return entries;
}

bool RawKeyExists(HKEY root, const std::wstring& path, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

bool RawValue(HKEY root, const std::wstring& path, const wchar_t* name, DWORD& type,
              std::string& bytes, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  DWORD size = 0;
  LONG result = RegQueryValueExW(key, name, nullptr, &type, nullptr, &size);
  if (result == ERROR_SUCCESS) {
    bytes.assign(size, '\0');
    result = RegQueryValueExW(key, name, nullptr, &type,
                              reinterpret_cast<BYTE*>(bytes.empty() ? nullptr : &bytes[0]), &size);
    bytes.resize(size);
  }
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

std::wstring RawString(HKEY root, const std::wstring& path, const wchar_t* name, REGSAM view) {
  DWORD type = 0;
  std::string bytes;
  if (!RawValue(root, path, name, type, bytes, view)) return L"<missing>";
  std::wstring text(bytes.size() / 2, L'\0');
  if (!text.empty()) memcpy(&text[0], bytes.data(), text.size() * 2);
  while (!text.empty() && text.back() == 0) text.pop_back();
  return text;
}

bool RawSet(HKEY root, const std::wstring& path, const wchar_t* name, DWORD type,
            const void* data, DWORD size, REGSAM view) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE | view, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return false;
  LONG result = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}

bool RawSetString(HKEY root, const std::wstring& path, const wchar_t* name,
                  const std::wstring& text) {
  return RawSet(root, path, name, REG_SZ, text.c_str(),
                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void RawDeleteTree(HKEY root, const std::wstring& path, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) return;
  RegDeleteTreeW(key, nullptr);
  RegCloseKey(key);
  HKEY parent = nullptr;
  size_t cut = path.rfind(L'\\');
  std::wstring parentPath = cut == std::wstring::npos ? L"" : path.substr(0, cut);
  std::wstring name = cut == std::wstring::npos ? path : path.substr(cut + 1);
  if (RegOpenKeyExW(root, parentPath.c_str(), 0, KEY_ALL_ACCESS | view, &parent) == ERROR_SUCCESS) {
    RegDeleteKeyExW(parent, name.c_str(), view, 0);
    RegCloseKey(parent);
  }
}

std::string Utf16File(const std::wstring& text) {
  std::string bytes("\xFF\xFE");
  bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * 2);
  return bytes;
}

namespace {

// Removes "Software\Pelodra" when the tests left it empty; a key that holds
// anything belongs to someone else.
void RemoveEmptyProductKey(HKEY root, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, L"Software\\Pelodra", 0, KEY_READ | view, &key) != ERROR_SUCCESS) return;
  DWORD subkeys = 1, values = 1;
  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr,
                   nullptr, nullptr, nullptr);
  RegCloseKey(key);
  if (subkeys == 0 && values == 0) RegDeleteKeyExW(root, L"Software\\Pelodra", view, 0);
}

void RemoveTestKeys() {
  for (REGSAM view : {REGSAM{0}, REGSAM{KEY_WOW64_64KEY}}) {
    RawDeleteTree(HKEY_CURRENT_USER, TestProductKey, view);
    RawDeleteTree(HKEY_LOCAL_MACHINE, TestProductKey, view);
    RawDeleteTree(HKEY_CLASSES_ROOT, TestClassKey, view);
    RemoveEmptyProductKey(HKEY_CURRENT_USER, view);
    RemoveEmptyProductKey(HKEY_LOCAL_MACHINE, view);
  }
}

}  // namespace

void StoreTest::SetUp() {
  ResetSettingsStoreForTesting();
  RegistryViewFlags = 0;
  RemoveTestKeys();
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(test->test_suite_name()) + "_" + test->name();
  folder_ = FreshFolder(L"settings_" + std::wstring(name.begin(), name.end()));
  SetProgramPathForTesting((folder_ + L"\\uninstall.exe").c_str());
}

void StoreTest::TearDown() {
  ResetSettingsStoreForTesting();
  SetProgramPathForTesting(nullptr);
  RegistryViewFlags = 0;
  RemoveTestKeys();
  RemoveTree(folder_);
}

void StoreTest::UseIniFile(const std::string& bytes) {
  ASSERT_TRUE(WriteBytes(IniPath(), bytes));
  ResetSettingsStoreForTesting();
}

void StoreTest::Reload() {
  ResetSettingsStoreForTesting();
  KeyExists(GlobalRoot, L"Global");
}
