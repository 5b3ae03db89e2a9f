#include "integration/options.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "base/program_path.h"
#include "settings/settings_store.h"
#include "support/private_hive.h"
#include "support/shell_folders.h"
#include "support/test_files.h"
#include "support/test_registry.h"

namespace {

std::vector<std::wstring> Split(const wchar_t* row) {
  std::vector<std::wstring> extensions;
  for (RowExtensions e(row); e.Next();) extensions.push_back(e.Current());
  return extensions;
}

// Takes over the class key of an extension in HKEY_CLASSES_ROOT for one
// test and gives it back as it was.
class BorrowedClassKey {
 public:
  explicit BorrowedClassKey(const wchar_t* extension)
      : extension_(extension), saved_(HKEY_CLASSES_ROOT, extension) {}

  void Own(const std::wstring& className) {
    ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, extension_, L"", className));
  }
  void Free() { DeleteRegistryTree(HKEY_CLASSES_ROOT, extension_); }

 private:
  std::wstring extension_;
  SavedRegistryKey saved_;
};

// The options tests need a user without any of the product's settings:
// HKEY_CURRENT_USER of this process becomes a fresh key of the real
// registry, so that other test programs sharing the prefix neither disturb
// nor see it. The program lies in a fresh folder and the application-data
// folder is an empty one, so that no settings file is found by chance.
class Options : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(hive_.Active());
    ResetSettingsStoreForTesting();
    folder_ = FreshFolder(L"integration_options");
    SetProgramPathForTesting((folder_ + L"\\uninstall.exe").c_str());
    ASSERT_TRUE(RedirectAppData(folder_ + L"\\AppData"));
  }
  void TearDown() override {
    ResetSettingsStoreForTesting();
    SetProgramPathForTesting(nullptr);
    RemoveTree(folder_);
  }

  // The value as stored for the user.
  static std::optional<DWORD> StoredDword(const std::wstring& path, const wchar_t* name) {
    return RegistryDword(HKEY_CURRENT_USER, L"Software\\Pelodra\\" + path, name);
  }

  PrivateHive hive_{L"IntegrationOptions"};
  std::wstring folder_;
};

}  // namespace

TEST(ExtensionTable, RowsExtensionsAndCheckBoxes) {
  EXPECT_EQ(Split(L".bz2.tbz2.bz.tbz"),
            (std::vector<std::wstring>{L".bz2", L".tbz2", L".bz", L".tbz"}));
  EXPECT_EQ(Split(L".kel"), (std::vector<std::wstring>{L".kel"}));
  EXPECT_EQ(Split(L""), (std::vector<std::wstring>{}));
  EXPECT_EQ(Split(nullptr), (std::vector<std::wstring>{}));
  EXPECT_EQ(Split(L"x.y"), (std::vector<std::wstring>{L"x", L".y"}));

  std::set<int> ids;
  std::set<std::wstring> extensions;
  size_t count = 0;
  for (unsigned row = 0; row < ExtensionRowCount; ++row) {
    const ExtensionRow& r = ExtensionTable[row];
    std::vector<std::wstring> split = Split(r.extensions);
    ASSERT_FALSE(split.empty());
    EXPECT_EQ(split.front(), r.keyExtension);
    EXPECT_STREQ(r.progId, row == 1 ? L"Pelodra.ZIP" : L"Pelodra");
    ids.insert(r.checkBoxId);
    extensions.insert(split.begin(), split.end());
    count += split.size();
  }
  EXPECT_EQ(count, 28u);
  EXPECT_EQ(extensions.size(), count);
  EXPECT_EQ(ids.size(), ExtensionRowCount);
  EXPECT_EQ(*ids.begin(), 5101);
  EXPECT_EQ(*ids.rbegin(), 5118);
  EXPECT_EQ(ExtensionTable[4].checkBoxId, 5116);
  EXPECT_EQ(ExtensionTable[14].checkBoxId, 5115);
  EXPECT_EQ(ExtensionTable[15].checkBoxId, 5114);
  EXPECT_STREQ(ExtensionTable[JarRow].keyExtension, L".jar");
  EXPECT_STREQ(ExtensionTable[IsoRow].keyExtension, L".iso");
  EXPECT_STREQ(ExtensionTable[10].extensions, L".uue.xxe.uu");

  wchar_t key[ExtensionSettingsKeyChars];
  FormatExtensionSettingsKey(L".tbz2", key);
  EXPECT_STREQ(key, L"Setup\\.tbz2");
}

TEST_F(Options, IsOwnAssociationComparesTheClassNameWithoutCase) {
  BorrowedClassKey iso(L".iso");
  struct Case {
    const wchar_t* owner;
    bool own;
  } cases[] = {
      {L"Pelodra", true},      {L"pelodra.zip", true}, {L"PELODRA", true},
      {L"Pelodra.REV", false}, {L"PelodraX", false},   {L"", false},
  };
  for (const Case& c : cases) {
    iso.Own(c.owner);
    EXPECT_EQ(IsOwnAssociation(L".iso"), c.own) << c.owner;
  }
  // A class name longer than is compared does not count.
  iso.Own(L"Pelodra" + std::wstring(80, L' '));
  EXPECT_FALSE(IsOwnAssociation(L".iso"));
  iso.Free();
  EXPECT_FALSE(IsOwnAssociation(L".iso"));
}

TEST_F(Options, FirstRunDefaultsLeaveJarAndAnIsoOfAnotherProgramAlone) {
  BorrowedClassKey jar(L".jar"), iso(L".iso");
  jar.Own(L"jarfile");
  iso.Own(L"Other.Image");
  IntegrationOptions options;
  memset(&options, 0xCC, sizeof options);
  LoadIntegrationOptions(options);
  for (unsigned row = 0; row < ExtensionRowCount; ++row)
    EXPECT_EQ(options.Associate[row], row != JarRow && row != IsoRow) << row;
  EXPECT_FALSE(options.Associate[18]);
  EXPECT_FALSE(options.Associate[19]);
  EXPECT_FALSE(options.Desktop);
  EXPECT_FALSE(options.StartMenu);
  EXPECT_TRUE(options.Programs);
  EXPECT_TRUE(options.ShellExt);
  EXPECT_FALSE(options.CascadedMenu);
  EXPECT_TRUE(options.MenuIcons);

  // Nobody's: ".iso" is taken, ".jar" still not.
  jar.Free();
  iso.Free();
  LoadIntegrationOptions(options);
  EXPECT_FALSE(options.Associate[JarRow]);
  EXPECT_TRUE(options.Associate[IsoRow]);
  iso.Own(L"");
  LoadIntegrationOptions(options);
  EXPECT_TRUE(options.Associate[IsoRow]);

  // Already the product's: both are taken.
  jar.Own(L"pelodra");
  iso.Own(L"Pelodra.ZIP");
  LoadIntegrationOptions(options);
  EXPECT_TRUE(options.Associate[JarRow]);
  EXPECT_TRUE(options.Associate[IsoRow]);
}

TEST_F(Options, AnyClassNameOwnsTheIsoButNoValueThatCannotBeOne) {
  BorrowedClassKey iso(L".iso");
  IntegrationOptions options;
  iso.Own(std::wstring(255, L'i'));
  LoadIntegrationOptions(options);
  EXPECT_FALSE(options.Associate[IsoRow]);

  // Too long for a class name, or no text: as if nobody owned it.
  iso.Own(std::wstring(5000, L'i'));
  LoadIntegrationOptions(options);
  EXPECT_TRUE(options.Associate[IsoRow]);
  const uint32_t number = 0x00620061;
  ASSERT_TRUE(SetRegistryValue(HKEY_CLASSES_ROOT, L".iso", L"", REG_DWORD, &number, sizeof number));
  LoadIntegrationOptions(options);
  EXPECT_TRUE(options.Associate[IsoRow]);
}

TEST_F(Options, OwnershipOverridesAStoredChoiceOnlyToClearIt) {
  BorrowedClassKey jar(L".jar"), iso(L".iso");
  IntegrationOptions options{};
  options.Associate[JarRow] = true;
  options.Associate[IsoRow] = false;
  SaveIntegrationOptions(options);

  jar.Own(L"jarfile");
  iso.Free();
  LoadIntegrationOptions(options);
  EXPECT_FALSE(options.Associate[JarRow]);
  EXPECT_FALSE(options.Associate[IsoRow]);
  jar.Free();
  LoadIntegrationOptions(options);
  EXPECT_FALSE(options.Associate[JarRow]);
  jar.Own(L"Pelodra");
  LoadIntegrationOptions(options);
  EXPECT_TRUE(options.Associate[JarRow]);
}

TEST_F(Options, SavedChoicesLoadBackAsTheyWere) {
  BorrowedClassKey jar(L".jar"), iso(L".iso");
  jar.Own(L"Pelodra");
  iso.Free();
  std::mt19937 random(7);
  for (int round = 0; round < 8; ++round) {
    IntegrationOptions saved{};
    for (bool& flag : saved.Associate) flag = random() & 1;
    for (bool* flag : {&saved.Desktop, &saved.StartMenu, &saved.Programs, &saved.ShellExt,
                       &saved.CascadedMenu, &saved.MenuIcons})
      *flag = random() & 1;
    SaveIntegrationOptions(saved);
    IntegrationOptions loaded;
    LoadIntegrationOptions(loaded);
    for (unsigned row = 0; row < ExtensionRowCount; ++row)
      EXPECT_EQ(loaded.Associate[row], saved.Associate[row]) << row;
    EXPECT_EQ(loaded.Desktop, saved.Desktop);
    EXPECT_EQ(loaded.StartMenu, saved.StartMenu);
    EXPECT_EQ(loaded.Programs, saved.Programs);
    EXPECT_EQ(loaded.ShellExt, saved.ShellExt);
    EXPECT_EQ(loaded.CascadedMenu, saved.CascadedMenu);
    EXPECT_EQ(loaded.MenuIcons, saved.MenuIcons);
    EXPECT_EQ(StoredDword(L"Setup\\.bz2", L"Set"), saved.Associate[11] ? 1u : 0u);
    EXPECT_EQ(StoredDword(L"Setup\\Links", L"Programs"), saved.Programs ? 1u : 0u);
    EXPECT_EQ(StoredDword(L"Setup", L"MenuIcons"), saved.MenuIcons ? 1u : 0u);
  }
  // Only the key extension of a row has a choice stored.
  EXPECT_FALSE(StoredDword(L"Setup\\.tbz2", L"Set"));
  // Any stored number but 0 counts as set.
  ASSERT_EQ(SetUserInt(L"Setup\\.kel", L"Set", 7), ERROR_SUCCESS);
  ASSERT_EQ(SetUserInt(L"Setup\\Links", L"Desktop", -1), ERROR_SUCCESS);
  IntegrationOptions loaded;
  LoadIntegrationOptions(loaded);
  EXPECT_TRUE(loaded.Associate[0]);
  EXPECT_TRUE(loaded.Desktop);
}

TEST_F(Options, WithASettingsFileTheChoicesAreItsEntries) {
  BorrowedClassKey jar(L".jar");
  jar.Free();
  ASSERT_TRUE(WriteBytes(folder_ + L"\\Pelodra.ini", "HKCU\\Setup\\.zip\\Set=0\r\n"));
  IntegrationOptions options;
  LoadIntegrationOptions(options);
  EXPECT_FALSE(options.Associate[1]);
  EXPECT_TRUE(options.Associate[0]);
  options.Desktop = true;
  SaveIntegrationOptions(options);

  std::set<std::wstring> names;
  for (const IniEntry* entry = FirstIniEntry(); entry; entry = entry->next)
    names.insert(entry->name);
  EXPECT_EQ(names.size(), 3u + ExtensionRowCount + 6u);
  EXPECT_TRUE(names.count(L"HKCU\\Setup\\.bz2\\Set"));
  EXPECT_TRUE(names.count(L"HKCU\\Setup\\Links\\Desktop"));
  EXPECT_TRUE(names.count(L"HKCU\\Setup\\CascadedMenu"));
  EXPECT_FALSE(StoredDword(L"Setup\\Links", L"Desktop"));
}
