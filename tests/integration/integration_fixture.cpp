#include "tests/integration/integration_fixture.h"

#include <cstdio>

#include "base/program_path.h"
#include "base/run_state.h"
#include "settings/settings_store.h"
#include "support/shell_folders.h"
#include "support/test_files.h"

std::vector<RegistryPlace> IntegrationClassKeys() {
  std::vector<std::wstring> paths;
  for (const ExtensionRow& row : ExtensionTable)
    for (RowExtensions e(row.extensions); e.Next();) paths.push_back(e.Current());
  for (int n = 0; n < 100; ++n) {
    wchar_t volume[8];
    std::swprintf(volume, 8, L".k%02d", n);
    paths.push_back(volume);
  }
  for (const wchar_t* path : {L".rev", L"Pelodra", L"Pelodra.ZIP", L"Pelodra.REV"})
    paths.push_back(path);
  for (const wchar_t* clsid : {Server32Clsid, Server64Clsid})
    paths.push_back(L"exefile\\shellex\\PropertySheetHandlers\\" + std::wstring(clsid));
  for (const wchar_t* handler : {L"Pelodra", L"Pelodra32"}) {
    for (const wchar_t* format :
         {L"*\\shellex\\ContextMenuHandlers\\", L"Folder\\shellex\\ContextMenuHandlers\\",
          L"Folder\\shellex\\DragDropHandlers\\", L"Drive\\shellex\\DragDropHandlers\\",
          L"Directory\\shellex\\ContextMenuHandlers\\", L"Directory\\shellex\\DragDropHandlers\\"})
      paths.push_back(format + std::wstring(handler));
  }
  std::vector<RegistryPlace> places;
  for (const std::wstring& path : paths) places.push_back({HKEY_CLASSES_ROOT, path, 0});
  for (const wchar_t* clsid : {Server32Clsid, Server64Clsid}) {
    for (REGSAM view : {REGSAM{0}, REGSAM{KEY_WOW64_64KEY}})
      places.push_back({HKEY_CLASSES_ROOT, L"CLSID\\" + std::wstring(clsid), view});
  }
  return places;
}

void IntegrationTest::SetUp() {
  ResetSettingsStoreForTesting();
  RegistryViewFlags = 0;
  for (const RegistryPlace& place : IntegrationClassKeys())
    saved_.push_back(std::make_unique<SavedRegistryKey>(place.root, place.path, place.view));
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(test->test_suite_name()) + "_" + test->name();
  std::wstring wideName(name.begin(), name.end());
  machine_ = std::make_unique<PrivateHive>(L"Machine_" + wideName, HKEY_LOCAL_MACHINE);
  user_ = std::make_unique<PrivateHive>(L"User_" + wideName);
  ASSERT_TRUE(machine_->Active() && user_->Active());
  folder_ = FreshFolder(L"integration_" + wideName);
  SetProgramPathForTesting(ProductFile(L"uninstall.exe").c_str());
  for (const wchar_t* file : {L"Pelodra.exe", L"kelext.dll", L"kelext64.dll"})
    ASSERT_TRUE(WriteBytes(ProductFile(file), "MZ"));
  ASSERT_TRUE(RedirectAppData(ProductFile(L"AppData")));
}

void IntegrationTest::TearDown() {
  ResetSettingsStoreForTesting();
  SetProgramPathForTesting(nullptr);
  RegistryViewFlags = 0;
  user_.reset();
  machine_.reset();
  saved_.clear();
  RemoveTree(folder_);
}

void IntegrationTest::UseIniFile(const std::string& bytes) {
  ASSERT_TRUE(WriteBytes(ProductFile(L"Pelodra.ini"), bytes));
  ResetSettingsStoreForTesting();
}

IntegrationOptions IntegrationTest::NoOptions() { return IntegrationOptions{}; }
