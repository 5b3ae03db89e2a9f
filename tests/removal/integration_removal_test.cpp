#include "removal/integration_removal.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "app/shared/run_state.h"
#include "settings/settings_store.h"
#include "support/e2e.h"
#include "support/private_user_hive.h"

namespace {

const wchar_t UninstallKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelodra archiver";
const wchar_t AppPathsKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Pelodra.exe";

void Write(HKEY root, const std::wstring& path, const wchar_t* name, const wchar_t* text) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                 static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

void Write64(HKEY root, const std::wstring& path, const wchar_t* name, const wchar_t* text) {
  HKEY key;
  ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_WRITE | KEY_WOW64_64KEY,
                            nullptr, &key, nullptr),
            ERROR_SUCCESS);
  RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                 static_cast<DWORD>((wcslen(text) + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

// What setup leaves besides the appliers' own keys: the class names, the
// user's and the machine's settings trees, the uninstall entry, App Paths.
void WriteProductKeys() {
  Write(HKEY_CLASSES_ROOT, L"Pelodra\\shell\\open\\command", nullptr, L"\"x\" \"%1\"");
  Write(HKEY_CLASSES_ROOT, L"Pelodra.ZIP\\DefaultIcon", nullptr, L"x,0");
  Write(HKEY_CLASSES_ROOT, L"Pelodra.REV", nullptr, L"recovery");
  Write(HKEY_CLASSES_ROOT, L".rev", nullptr, L"Pelodra.REV");
  Write(HKEY_CURRENT_USER, L"Software\\Pelodra\\Setup\\.zip", L"Type", L"OtherZip");
  Write(HKEY_CURRENT_USER, L"Software\\Pelodra\\Setup\\MenuItems", L"AlwaysArc", L"*.iso");
  Write(HKEY_LOCAL_MACHINE, L"Software\\Pelodra\\Capabilities", L"ApplicationDescription", L"x");
  Write(HKEY_LOCAL_MACHINE, UninstallKey, L"DisplayName", L"Pelodra");
  Write(HKEY_LOCAL_MACHINE, AppPathsKey, nullptr, L"C:\\x\\Pelodra.exe");
  Write64(HKEY_LOCAL_MACHINE, AppPathsKey, L"Path", L"C:\\x");
}

class RemoveIntegrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetRunState();
    ResetSettingsStoreForTesting();
  }
  void TearDown() override {
    for (const wchar_t* key : {L"Pelodra", L"Pelodra.ZIP", L"Pelodra.REV", L".rev"})
      DeleteRegistryTree(HKEY_CLASSES_ROOT, key);
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, UninstallKey);
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, AppPathsKey);
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, AppPathsKey, KEY_WOW64_64KEY);
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, L"Software\\Pelodra");
    ResetRunState();
  }
};

}  // namespace

TEST_F(RemoveIntegrationTest, LeavesNoProductKeyBehind) {
  PrivateUserHive user(L"RemoveIntegration");
  WriteProductKeys();
  RemoveIntegration();
  for (const wchar_t* key : {L"Pelodra", L"Pelodra.ZIP", L"Pelodra.REV", L".rev"})
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, key)) << key;
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, L"Software\\Pelodra"));
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, L"Software\\Pelodra"));
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, AppPathsKey));
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, AppPathsKey, KEY_WOW64_64KEY));
}

TEST_F(RemoveIntegrationTest, MsiModeKeepsTheUninstallEntryAndAppPaths) {
  PrivateUserHive user(L"RemoveIntegrationMsi");
  WriteProductKeys();
  MsiMode = true;
  RemoveIntegration();
  EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, L"Pelodra"));
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, L"Software\\Pelodra"));
  EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
  EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, AppPathsKey));
}

TEST_F(RemoveIntegrationTest, AnUninstallEntryWithASubkeyStays) {
  PrivateUserHive user(L"RemoveIntegrationSubkey");
  WriteProductKeys();
  Write(HKEY_LOCAL_MACHINE, std::wstring(UninstallKey) + L"\\Added", nullptr, L"x");
  RemoveIntegration();
  EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, AppPathsKey));
}
