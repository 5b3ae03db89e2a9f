#include "tests/settings/store_fixture.h"

#include <ostream>

#include "base/program_path.h"
#include "base/run_state.h"
#include "support/test_files.h"
#include "support/test_registry.h"

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

std::string Utf16File(const std::wstring& text) {
  std::string bytes("\xFF\xFE");
  bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * 2);
  return bytes;
}

namespace {

void RemoveTestKeys() {
  for (REGSAM view : {REGSAM{0}, REGSAM{KEY_WOW64_64KEY}}) {
    DeleteRegistryTree(HKEY_CURRENT_USER, TestProductKey, view);
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, TestProductKey, view);
    DeleteRegistryTree(HKEY_CLASSES_ROOT, TestClassKey, view);
    DeleteRegistryKeyIfEmpty(HKEY_CURRENT_USER, L"Software\\Pelodra", view);
    DeleteRegistryKeyIfEmpty(HKEY_LOCAL_MACHINE, L"Software\\Pelodra", view);
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
