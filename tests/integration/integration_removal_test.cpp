#include "integration/integration_removal.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

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
        {HKEY_LOCAL_MACHINE, L"Software\\Pelodra\\Capabilities\\FileAssociations", L".7z", L"x",
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
  EXPECT_TRUE(RemoveIntegration(EntryOwner::Product));
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
  EXPECT_TRUE(RemoveIntegration(EntryOwner::Product));
  for (const IniEntry* entry = FirstIniEntry(); entry; entry = entry->next)
    EXPECT_EQ(std::wstring(entry->name).compare(0, 7, L"Global\\"), 0) << entry->name;
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, L"Software\\Pelodra"));
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, L"Software\\Pelodra"));
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, L"Software\\Pelodra", KEY_WOW64_64KEY));
  ResetSettingsStoreForTesting();
  SetProgramPathForTesting(nullptr);
  RemoveTree(folder);
}

// The lines of a snapshot of the user's product key that are neither the
// record of ".7z" nor the keys that hold it.
std::string BesidesTheRecordOf7z(const std::string& snapshot) {
  std::istringstream lines(snapshot);
  std::string besides;
  for (std::string line; std::getline(lines, line);)
    if (line.rfind("HKCU\\Software\\Pelodra\\Setup\\.7z", 0) != 0 &&
        line != "HKCU\\Software\\Pelodra" && line != "HKCU\\Software\\Pelodra\\Setup")
      besides += line + "\n";
  return besides;
}

// Giving an extension back refused: the record of its former owner is all
// that is left of the user's settings, wherever the give-back found it, and
// the run names the extension; a later run with the right gives it back.
// An earlier release kept the records in the registry while the settings
// came to lie in the file.
TEST_F(RemoveIntegrationTest, ARefusedGiveBackKeepsTheRecordOfTheFormerOwner) {
  for (bool recordsBesideTheFile : {false, true}) {
    SCOPED_TRACE(recordsBesideTheFile ? "settings file" : "registry");
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
    for (const wchar_t* flag : {L"ShellExt", L"CascadedMenu", L"MenuIcons"})
      ASSERT_TRUE(SetRegistryDword(HKEY_CURRENT_USER, L"Software\\Pelodra\\Setup", flag, 1));
    std::wstring folder = FreshFolder(L"removal_refused");
    if (recordsBesideTheFile) {
      SetProgramPathForTesting((folder + L"\\uninstall.exe").c_str());
      ASSERT_TRUE(WriteBytes(folder + L"\\Pelodra.ini", "HKCU\\Setup\\.7z\\Set=1\r\n"));
      ResetSettingsStoreForTesting();
    }
    wchar_t refusedList[RefusedExtensionsChars] = L"?";
    {
      ReadOnlyKey locked(HKEY_CLASSES_ROOT, L".7z");
      EXPECT_FALSE(RemoveIntegration(EntryOwner::Product, refusedList, RefusedExtensionsChars));
    }
    EXPECT_STREQ(refusedList, L".7z");
    EXPECT_EQ(RegistryString(HKEY_CLASSES_ROOT, L".cab", L""), L"OtherCab");
    EXPECT_EQ(RegistryString(HKEY_CLASSES_ROOT, L".7z", L""), L"Pelodra");
    EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, L"Software\\Pelodra\\Setup\\.7z", L"Type"),
              L"Other7z");
    EXPECT_EQ(BesidesTheRecordOf7z(RegistrySnapshot(HKEY_CURRENT_USER, L"Software\\Pelodra")), "");

    EXPECT_TRUE(RemoveIntegration(EntryOwner::Product, refusedList, RefusedExtensionsChars));
    EXPECT_STREQ(refusedList, L"");
    EXPECT_EQ(RegistryString(HKEY_CLASSES_ROOT, L".7z", L""), L"Other7z");
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, L"Software\\Pelodra"));
    ResetSettingsStoreForTesting();
    SetProgramPathForTesting(nullptr);
    RemoveTree(folder);
  }
}

// In the 64-bit view the product's key may be another edition's: only what
// setup wrote there goes, and the key itself when nothing else is left.
TEST_F(RemoveIntegrationTest, InThe64BitViewOnlyTheDefaultProgramsEntryGoes) {
  if (!IsWow64()) GTEST_SKIP() << "one registry view only";
  const std::wstring key = L"Software\\Pelodra";
  const std::wstring capabilities = key + L"\\Capabilities";
  const std::wstring associations = capabilities + L"\\FileAssociations";
  struct Case {
    const char* name;
    std::wstring path;  // what is not the product's, or nothing
    const wchar_t* value;
    std::vector<std::wstring> staying;  // the keys that stay for it
  };
  const Case cases[] = {
      {"nothing else", L"", nullptr, {}},
      {"a value of the key", key, L"Path64", {key}},
      {"a subkey", key + L"\\Options", L"", {key}},
      {"another capability", capabilities, L"ApplicationName", {key, capabilities}},
      {"another extension", associations, L".other", {key, capabilities, associations}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PrivateHive user(L"RemoveIntegration64");
    WriteMachineRegistration();
    if (c.value) WriteValues({{HKEY_LOCAL_MACHINE, c.path, c.value, L"other", KEY_WOW64_64KEY}});
    EXPECT_TRUE(RemoveIntegration(EntryOwner::Product));
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, key));
    EXPECT_FALSE(RegistryValue(HKEY_LOCAL_MACHINE, associations, L".7z", KEY_WOW64_64KEY));
    EXPECT_FALSE(RegistryValue(HKEY_LOCAL_MACHINE, capabilities, L"ApplicationDescription",
                               KEY_WOW64_64KEY));
    for (const std::wstring& place : {key, capabilities, associations}) {
      bool stays = std::find(c.staying.begin(), c.staying.end(), place) != c.staying.end();
      EXPECT_EQ(RegistryKeyExists(HKEY_LOCAL_MACHINE, place, KEY_WOW64_64KEY), stays)
          << place.c_str();
    }
    if (c.value) {
      EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, c.path, c.value, KEY_WOW64_64KEY), L"other");
    }
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, key, KEY_WOW64_64KEY);
  }
}

TEST_F(RemoveIntegrationTest, AnOutsideInstallersEntryAndAppPathsStay) {
  PrivateHive user(L"RemoveIntegrationMsi");
  WriteProductKeys();
  RemoveIntegration(EntryOwner::OutsideInstaller);
  EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, L"Pelodra"));
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, L"Software\\Pelodra"));
  EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
  EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, AppPathsKey));
}

TEST_F(RemoveIntegrationTest, AnUninstallEntryWithASubkeyStays) {
  PrivateHive user(L"RemoveIntegrationSubkey");
  WriteProductKeys();
  WriteValues({{HKEY_LOCAL_MACHINE, std::wstring(UninstallKey) + L"\\Added", L"", L"x", 0}});
  RemoveIntegration(EntryOwner::Product);
  EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UninstallKey));
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, AppPathsKey));
}
