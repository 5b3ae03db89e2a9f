#include "removal/integration_removal.h"

#include <windows.h>

#include <gtest/gtest.h>

#include "base/program_path.h"
#include "base/run_state.h"
#include "integration/associations.h"
#include "settings/settings_store.h"
#include "support/private_hive.h"
#include "support/test_files.h"
#include "support/test_registry.h"

namespace {

const wchar_t UninstallKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelodra archiver";
const wchar_t AppPathsKey[] =
    L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Pelodra.exe";
const wchar_t ApprovedKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const wchar_t Server64Clsid[] = L"{D3A57C10-6A21-11D2-8F3A-0C5E2B7A91F4}";

struct Value {
  HKEY root;
  std::wstring path;
  const wchar_t* name;
  const wchar_t* text;
  REGSAM view;
};

void WriteValues(std::initializer_list<Value> values) {
  for (const Value& v : values)
    ASSERT_TRUE(SetRegistryString(v.root, v.path, v.name, v.text, v.view)) << v.path.c_str();
}

// What setup leaves besides the appliers' own keys: the class names, the
// user's and the machine's settings trees, the uninstall entry, App Paths.
void WriteProductKeys() {
  WriteValues({
      {HKEY_CLASSES_ROOT, L"Pelodra\\shell\\open\\command", L"", L"\"x\" \"%1\"", 0},
      {HKEY_CLASSES_ROOT, L"Pelodra.ZIP\\DefaultIcon", L"", L"x,0", 0},
      {HKEY_CLASSES_ROOT, L"Pelodra.REV", L"", L"recovery", 0},
      {HKEY_CLASSES_ROOT, L".rev", L"", L"Pelodra.REV", 0},
      {HKEY_CURRENT_USER, L"Software\\Pelodra\\Setup\\.zip", L"Type", L"OtherZip", 0},
      {HKEY_CURRENT_USER, L"Software\\Pelodra\\Setup\\MenuItems", L"AlwaysArc", L"*.iso", 0},
      {HKEY_LOCAL_MACHINE, L"Software\\Pelodra\\Capabilities", L"ApplicationDescription", L"x", 0},
      {HKEY_LOCAL_MACHINE, UninstallKey, L"DisplayName", L"Pelodra", 0},
      {HKEY_LOCAL_MACHINE, AppPathsKey, L"", L"C:\\x\\Pelodra.exe", 0},
      {HKEY_LOCAL_MACHINE, AppPathsKey, L"Path", L"C:\\x", KEY_WOW64_64KEY},
  });
}

// Setup's default-programs entry and approval, in the 64-bit view too.
void WriteMachineRegistration() {
  for (REGSAM view : {REGSAM{0}, REGSAM{KEY_WOW64_64KEY}}) {
    WriteValues({
        {HKEY_LOCAL_MACHINE, L"Software\\RegisteredApplications", L"Pelodra", L"x", view},
        {HKEY_LOCAL_MACHINE, ApprovedKey, Server64Clsid, L"x", view},
        {HKEY_LOCAL_MACHINE, L"Software\\Pelodra\\Capabilities\\FileAssociations", L"Pelodra", L"x",
         view},
    });
  }
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
    for (REGSAM view : {REGSAM{0}, REGSAM{KEY_WOW64_64KEY}}) {
      DeleteRegistryTree(HKEY_LOCAL_MACHINE, L"Software\\Pelodra", view);
      DeleteRegistryValue(HKEY_LOCAL_MACHINE, L"Software\\RegisteredApplications", L"Pelodra",
                          view);
      DeleteRegistryValue(HKEY_LOCAL_MACHINE, ApprovedKey, Server64Clsid, view);
    }
    ResetRunState();
  }
};

}  // namespace

TEST_F(RemoveIntegrationTest, LeavesNoProductKeyBehindInEitherView) {
  PrivateHive user(L"RemoveIntegration");
  WriteProductKeys();
  WriteMachineRegistration();
  EXPECT_TRUE(RemoveIntegration());
  for (const wchar_t* key : {L"Pelodra", L"Pelodra.ZIP", L"Pelodra.REV", L".rev"})
    EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, key)) << key;
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, L"Software\\Pelodra"));
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
  for (REGSAM view : {REGSAM{0}, REGSAM{KEY_WOW64_64KEY}}) {
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, L"Software\\Pelodra", view)) << view;
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, AppPathsKey, view)) << view;
    EXPECT_FALSE(
        RegistryValue(HKEY_LOCAL_MACHINE, L"Software\\RegisteredApplications", L"Pelodra", view));
    EXPECT_FALSE(RegistryValue(HKEY_LOCAL_MACHINE, ApprovedKey, Server64Clsid, view));
  }
}

// With the settings in the file, the uninstall empties the file of them and
// still takes the product's keys out of the registry.
TEST_F(RemoveIntegrationTest, WithASettingsFileTheRegistryKeysGoToo) {
  PrivateHive user(L"RemoveIntegrationIni");
  WriteProductKeys();
  WriteMachineRegistration();
  std::wstring folder = FreshFolder(L"removal_settings_file");
  SetProgramPathForTesting((folder + L"\\uninstall.exe").c_str());
  ASSERT_TRUE(WriteBytes(folder + L"\\Pelodra.ini",
                         "HKCU\\Setup\\.zip\\Type=\"OtherZip\"\r\nHKLM\\exe32=\"x\"\r\n"));
  ResetSettingsStoreForTesting();
  EXPECT_TRUE(RemoveIntegration());
  for (const IniEntry* entry = FirstIniEntry(); entry; entry = entry->next)
    EXPECT_EQ(std::wstring(entry->name).compare(0, 7, L"Global\\"), 0) << entry->name;
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, L"Software\\Pelodra"));
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, L"Software\\Pelodra"));
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, L"Software\\Pelodra", KEY_WOW64_64KEY));
  ResetSettingsStoreForTesting();
  SetProgramPathForTesting(nullptr);
  RemoveTree(folder);
}

// Giving an extension back refused: the record of its former owner is all
// that is left of the user's settings, and a later run with the right
// gives it back.
TEST_F(RemoveIntegrationTest, ARefusedGiveBackKeepsTheRecordOfTheFormerOwner) {
  PrivateHive user(L"RemoveIntegrationRefused");
  SavedRegistryKey keep7z(HKEY_CLASSES_ROOT, L".7z");
  SavedRegistryKey keepCab(HKEY_CLASSES_ROOT, L".cab");
  WriteValues({{HKEY_CLASSES_ROOT, L".7z", L"", L"Other7z", 0},
               {HKEY_CLASSES_ROOT, L".cab", L"", L"OtherCab", 0}});
  IntegrationOptions options{};
  options.Associate[2] = true;  // .cab
  options.Associate[7] = true;  // .7z
  ASSERT_TRUE(ApplyFileAssociations(options));
  WriteProductKeys();
  {
    ReadOnlyKey locked(HKEY_CLASSES_ROOT, L".7z");
    EXPECT_FALSE(RemoveIntegration());
  }
  EXPECT_EQ(RegistryString(HKEY_CLASSES_ROOT, L".cab", L""), L"OtherCab");
  EXPECT_EQ(RegistryString(HKEY_CLASSES_ROOT, L".7z", L""), L"Pelodra");
  EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, L"Software\\Pelodra\\Setup\\.7z", L"Type"),
            L"Other7z");
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, L"Software\\Pelodra\\Setup\\.cab"));
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, L"Software\\Pelodra\\Setup\\.zip"));
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, L"Software\\Pelodra\\Setup\\MenuItems"));

  EXPECT_TRUE(RemoveIntegration());
  EXPECT_EQ(RegistryString(HKEY_CLASSES_ROOT, L".7z", L""), L"Other7z");
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, L"Software\\Pelodra"));
}

TEST_F(RemoveIntegrationTest, MsiModeKeepsTheUninstallEntryAndAppPaths) {
  PrivateHive user(L"RemoveIntegrationMsi");
  WriteProductKeys();
  MsiMode = true;
  RemoveIntegration();
  EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, L"Pelodra"));
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, L"Software\\Pelodra"));
  EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
  EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, AppPathsKey));
}

TEST_F(RemoveIntegrationTest, AnUninstallEntryWithASubkeyStays) {
  PrivateHive user(L"RemoveIntegrationSubkey");
  WriteProductKeys();
  WriteValues({{HKEY_LOCAL_MACHINE, std::wstring(UninstallKey) + L"\\Added", L"", L"x", 0}});
  RemoveIntegration();
  EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, AppPathsKey));
}
