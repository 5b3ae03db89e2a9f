#include "settings/registry_deletion.h"
#include "base/best_effort.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "base/run_state.h"
#include "settings/settings_store.h"
#include "support/private_hive.h"
#include "support/test_registry.h"
#include "tests/settings/store_fixture.h"

namespace {

using RegistryDeletion = StoreTest;

const std::wstring Product = TestProductKey;

// A key (with its parents) holding the value "v" = "x".
void MakeKey(HKEY root, const std::wstring& path, REGSAM view = 0) {
  ASSERT_TRUE(SetRegistryString(root, path, L"v", L"x", view));
}

// Three levels below `top`, four keys on each, values in every key.
void MakeTree(const std::wstring& top) {
  for (int a = 0; a < 4; ++a)
    for (int b = 0; b < 4; ++b)
      for (int c = 0; c < 4; ++c)
        MakeKey(HKEY_CURRENT_USER, top + L"\\a" + std::to_wstring(a) + L"\\b" + std::to_wstring(b) +
                                       L"\\c" + std::to_wstring(c));
}

}  // namespace

TEST_F(RegistryDeletion, ATreeOfSeveralLevelsGoesInRepeatedPasses) {
  MakeTree(Product + L"\\Tree");
  MakeKey(HKEY_CURRENT_USER, Product + L"\\Tree2");
  unsigned passes = DeleteKeyTree(HKEY_CURRENT_USER, (std::wstring(TestKey) + L"\\Tree").c_str());
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, Product + L"\\Tree"));
  EXPECT_TRUE(RegistryKeyExists(HKEY_CURRENT_USER, Product + L"\\Tree2"));
  // Rising indexes skip keys while their siblings go: more than one pass
  // deletes, and the last deletes nothing.
  EXPECT_GE(passes, 3u);
  std::printf("passes for 85 keys: %u\n", passes);

  EXPECT_EQ(DeleteKeyTree(HKEY_CURRENT_USER, (std::wstring(TestKey) + L"\\Tree").c_str()), 1u);
}

TEST_F(RegistryDeletion, AnEmptyKeyNameIsNeverDeleted) {
  MakeKey(HKEY_CLASSES_ROOT, TestClassKey);
  EXPECT_EQ(DeleteKeyTree(HKEY_CLASSES_ROOT, L""), 1u);
  EXPECT_EQ(DeleteKeyTree(HKEY_CURRENT_USER, L"\\"), 1u);
  EXPECT_EQ(DeleteKey(HKEY_CLASSES_ROOT, nullptr), ERROR_INVALID_PARAMETER);
  EXPECT_TRUE(RegistryKeyExists(HKEY_CLASSES_ROOT, TestClassKey));
  EXPECT_TRUE(RegistryKeyExists(HKEY_CURRENT_USER, L"Software"));
}

TEST_F(RegistryDeletion, TheEmptyProductPathIsTheWholeProductKey) {
  PrivateHive hive(L"WholeProductKey");
  MakeKey(HKEY_CURRENT_USER, L"Software\\Pelodra\\Setup\\.kel");
  MakeKey(HKEY_CURRENT_USER, L"Software\\Pelodra");
  MakeKey(HKEY_CURRENT_USER, L"Software\\PelodraOther");
  DeleteKeyTree(HKEY_CURRENT_USER, L"");
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, L"Software\\Pelodra"));
  EXPECT_TRUE(RegistryKeyExists(HKEY_CURRENT_USER, L"Software\\PelodraOther"));
  EXPECT_TRUE(RegistryKeyExists(HKEY_CURRENT_USER, L"Software"));
}

TEST_F(RegistryDeletion, LongSubkeyNamesDoNotStopTheEnumeration) {
  const std::wstring top = Product + L"\\Long";
  for (size_t length : {199u, 200u, 255u}) {
    MakeKey(HKEY_CURRENT_USER, top + L"\\" + std::wstring(length, L'n') + L"\\child");
    MakeKey(HKEY_CURRENT_USER, top + L"\\" + std::wstring(length, L'z'));
  }
  MakeKey(HKEY_CURRENT_USER, top + L"\\a");
  DeleteKeyTree(HKEY_CURRENT_USER, L"SettingsTests\\Long");
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, top));
}

TEST_F(RegistryDeletion, KeysBeyondTheLongestPathStayWithTheirAncestors) {
  // 36 + 1 + 250 + 1 + 250 characters: the innermost keys cannot be named.
  const std::wstring deep = Product + L"\\Deep";
  const std::wstring first = deep + L"\\" + std::wstring(250, L'a');
  const std::wstring second = first + L"\\" + std::wstring(250, L'b');
  MakeKey(HKEY_CURRENT_USER, second + L"\\leaf");
  MakeKey(HKEY_CURRENT_USER, first + L"\\short");
  MakeKey(HKEY_CURRENT_USER, deep + L"\\other");
  DeleteKeyTree(HKEY_CURRENT_USER, L"SettingsTests\\Deep");
  EXPECT_TRUE(RegistryKeyExists(HKEY_CURRENT_USER, second + L"\\leaf"));
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, first + L"\\short"));
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, deep + L"\\other"));
}

TEST_F(RegistryDeletion, DeleteKeyRemovesOnlyALeaf) {
  MakeKey(HKEY_CURRENT_USER, Product + L"\\Parent\\Child");
  EXPECT_NE(DeleteKey(HKEY_CURRENT_USER, L"SettingsTests\\Parent"), ERROR_SUCCESS);
  EXPECT_TRUE(RegistryKeyExists(HKEY_CURRENT_USER, Product + L"\\Parent\\Child"));
  EXPECT_EQ(DeleteKey(HKEY_CURRENT_USER, L"SettingsTests\\Parent\\Child"), ERROR_SUCCESS);
  EXPECT_EQ(DeleteKey(HKEY_CURRENT_USER, (L"\\" + Product + L"\\Parent").c_str()), ERROR_SUCCESS);
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, Product + L"\\Parent"));
  EXPECT_EQ(DeleteKey(HKEY_CURRENT_USER, L"SettingsTests\\Parent"), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryDeletion, DeleteValueRemovesOneValue) {
  ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, Product, L"A", L"1"));
  ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, Product, L"B", L"2"));
  ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, Product, L"", L"default"));
  DeleteUserValue(TestKey, L"A");
  DeleteValue(HKEY_CURRENT_USER, TestKey, nullptr);
  DeleteUserValue(TestKey, L"Missing");
  DeleteUserValue(L"SettingsTests\\Missing", L"B");
  EXPECT_FALSE(RegistryValue(HKEY_CURRENT_USER, Product, L"A"));
  EXPECT_FALSE(RegistryValue(HKEY_CURRENT_USER, Product, L""));
  EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, Product, L"B"), L"2");
}

TEST_F(RegistryDeletion, ProductSettingsInTheFileAreDeletedThere) {
  MakeKey(HKEY_CURRENT_USER, Product + L"\\Setup");
  MakeKey(HKEY_CLASSES_ROOT, std::wstring(TestClassKey) + L"\\shell");
  UseIniFile(
      "HKCU\\SettingsTests\\Setup\\A=1\r\nHKCU\\SettingsTests\\Setup\\Sub\\B=2\r\n"
      "HKCU\\SettingsTests\\Other=3\r\nHKLM\\SettingsTests\\V=4\r\nHKLM\\SettingsTests\\W=5\r\n");
  DeleteKeyTree(HKEY_CURRENT_USER, L"SettingsTests\\Setup");
  DeleteValue(HKEY_LOCAL_MACHINE, TestKey, L"V");
  EXPECT_EQ(DeleteKey(HKEY_CURRENT_USER, L"SettingsTests\\Other"), ERROR_SUCCESS);
  Entries entries = IniEntries();
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[0].name, L"HKCU\\SettingsTests\\Other");
  EXPECT_EQ(entries[1].name, L"HKLM\\SettingsTests\\W");
  EXPECT_TRUE(RegistryKeyExists(HKEY_CURRENT_USER, Product + L"\\Setup"));

  // Class keys and absolute paths are the registry's.
  DeleteKeyTree(HKEY_CLASSES_ROOT, TestClassKey);
  EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, TestClassKey));
  DeleteKeyTree(HKEY_CURRENT_USER, (L"\\" + Product).c_str());
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, Product));
}

TEST_F(RegistryDeletion, NothingIsDeletedInTheRegistryWhileTheFileForbidsIt) {
  MakeKey(HKEY_CLASSES_ROOT, std::wstring(TestClassKey) + L"\\shell");
  MakeKey(HKEY_CURRENT_USER, Product);
  UseIniFile("Global\\Integration=0\r\n");
  EXPECT_EQ(DeleteKeyTree(HKEY_CLASSES_ROOT, TestClassKey), 0u);
  EXPECT_EQ(DeleteKey(HKEY_CLASSES_ROOT, (std::wstring(TestClassKey) + L"\\shell").c_str()),
            ERROR_SUCCESS);
  DeleteValue(HKEY_CURRENT_USER, (L"\\" + Product).c_str(), L"v");
  EXPECT_TRUE(RegistryKeyExists(HKEY_CLASSES_ROOT, std::wstring(TestClassKey) + L"\\shell"));
  EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, Product, L"v"), L"x");
}

// The records kept across an uninstall: the spared keys stay with all they
// hold, their ancestors with them; everything else goes, in the registry
// and in the settings file alike, and nothing of it counts as refused.
TEST_F(RegistryDeletion, SparedKeysStayWithWhatTheyHold) {
  MakeKey(HKEY_CURRENT_USER, Product);
  MakeKey(HKEY_CURRENT_USER, Product + L"\\Setup");
  ASSERT_TRUE(SetRegistryDword(HKEY_CURRENT_USER, Product + L"\\Setup", L"ShellExt", 1));
  ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, Product + L"\\Setup", L"", L"default"));
  MakeKey(HKEY_CURRENT_USER, Product + L"\\Setup\\.7z\\Inner");
  MakeKey(HKEY_CURRENT_USER, Product + L"\\Setup\\.7z");
  MakeKey(HKEY_CURRENT_USER, Product + L"\\Setup\\.zip");
  MakeKey(HKEY_CURRENT_USER, Product + L"\\Setup\\Links");
  MakeKey(HKEY_CURRENT_USER, Product + L"\\Interface");
  const wchar_t* const spared[] = {L"SettingsTests\\Setup\\.7Z", L"SettingsTests\\Missing"};
  unsigned refused = RefusedRegistryChanges();
  DeleteKeyTreeSparing(HKEY_CURRENT_USER, TestKey, spared, 2);
  EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, Product + L"\\Setup\\.7z", L"v"), L"x");
  EXPECT_TRUE(RegistryKeyExists(HKEY_CURRENT_USER, Product + L"\\Setup\\.7z\\Inner"));
  // The keys above a spared one stay for it, without their own values.
  for (const std::wstring& above : {Product, Product + L"\\Setup"})
    for (const wchar_t* value : {L"v", L"ShellExt", L""})
      EXPECT_FALSE(RegistryValue(HKEY_CURRENT_USER, above, value)) << above.c_str() << value;
  for (const wchar_t* gone : {L"\\Setup\\.zip", L"\\Setup\\Links", L"\\Interface"})
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, Product + gone)) << gone;
  EXPECT_EQ(RefusedRegistryChanges(), refused);

  // One that may not be emptied keeps its values, and that counts.
  MakeKey(HKEY_CURRENT_USER, Product + L"\\Setup");
  {
    ReadOnlyKey locked(HKEY_CURRENT_USER, Product + L"\\Setup");
    DeleteKeyTreeSparing(HKEY_CURRENT_USER, TestKey, spared, 2);
  }
  EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, Product + L"\\Setup", L"v"), L"x");
  EXPECT_EQ(RefusedRegistryChanges(), refused + 1);

  UseIniFile(
      "HKCU\\SettingsTests\\Setup\\.7z\\Type=\"Other7z\"\r\n"
      "HKCU\\SettingsTests\\Setup\\.7zip\\Type=\"x\"\r\n"
      "HKCU\\SettingsTests\\Setup\\.zip\\Type=\"OtherZip\"\r\n"
      "HKCU\\SettingsTests\\Setup\\Set=1\r\nHKLM\\SettingsTests\\V=4\r\n");
  const wchar_t* const sparedInFile[] = {L"SettingsTests\\Setup\\.7z"};
  EXPECT_EQ(DeleteKeyTreeSparing(HKEY_CURRENT_USER, TestKey, sparedInFile, 1), 0u);
  Entries entries = IniEntries();
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[0].name, L"HKCU\\SettingsTests\\Setup\\.7z\\Type");
  EXPECT_EQ(entries[1].name, L"HKLM\\SettingsTests\\V");
}

// What a user without the right to change a key meets: every write and
// value deletion there is counted once; what is merely missing, or a key
// that stays for its subkeys, is not. (Wine lets any key be deleted
// whatever its rights say, so a refused key deletion cannot be made here.)
TEST_F(RegistryDeletion, RefusedChangesAreCounted) {
  MakeKey(HKEY_CURRENT_USER, Product + L"\\Locked");
  MakeKey(HKEY_CURRENT_USER, Product + L"\\Open\\Leaf");
  unsigned refused = RefusedRegistryChanges();
  {
    ReadOnlyKey locked(HKEY_CURRENT_USER, Product + L"\\Locked");
    DeleteValue(HKEY_CURRENT_USER, L"SettingsTests\\Locked", L"v");
    EXPECT_EQ(RefusedRegistryChanges(), refused + 1);
    EXPECT_EQ(SetUserString(L"SettingsTests\\Locked", L"v", L"y"), ERROR_ACCESS_DENIED);
    EXPECT_EQ(SetInt(HKEY_CURRENT_USER, L"SettingsTests\\Locked", L"n", 1), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RefusedRegistryChanges(), refused + 3);
  }
  EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, Product + L"\\Locked", L"v"), L"x");

  refused = RefusedRegistryChanges();
  EXPECT_NE(DeleteKey(HKEY_CURRENT_USER, L"SettingsTests\\Open"), ERROR_SUCCESS);
  BestEffort(DeleteKey(HKEY_CURRENT_USER, L"SettingsTests\\Missing"));
  DeleteValue(HKEY_CURRENT_USER, L"SettingsTests\\Missing", L"v");
  DeleteValue(HKEY_CURRENT_USER, L"SettingsTests\\Open\\Leaf", L"missing");
  DeleteKeyTree(HKEY_CURRENT_USER, L"SettingsTests\\Missing");
  EXPECT_EQ(RefusedRegistryChanges(), refused);
}

// A link in the product's tree, or the tree itself a link, goes as a link:
// the key it points to keeps its subkeys and values, whichever deletion
// meets it.
TEST_F(RegistryDeletion, ALinkGoesAndWhatItPointsToStays) {
  const std::wstring victim = L"Software\\PelodraLinkVictim";
  MakeKey(HKEY_CURRENT_USER, victim + L"\\Inner");
  MakeKey(HKEY_CURRENT_USER, victim);
  const std::string before = RegistrySnapshot(HKEY_CURRENT_USER, victim);
  struct Case {
    const wchar_t* link;     // below the test key
    const wchar_t* deleted;  // the key the deletion is asked for
    bool inner;              // the link points at the victim's subkey
    bool linkGoes;           // else it stays, as a link key with a value
    void (*remove)(const wchar_t* key);
  };
  const Case cases[] = {
      {L"Tree\\Link", L"Tree", false, true,
       [](const wchar_t* key) { DeleteKeyTree(HKEY_CURRENT_USER, key); }},
      {L"Linked", L"Linked", false, true,
       [](const wchar_t* key) { DeleteKeyTree(HKEY_CURRENT_USER, key); }},
      {L"Leaf", L"Leaf", true, true,
       [](const wchar_t* key) { EXPECT_EQ(DeleteKey(HKEY_CURRENT_USER, key), ERROR_SUCCESS); }},
      {L"Leaf", L"Leaf", true, false,
       [](const wchar_t* key) { DeleteKeyIfEmpty(HKEY_CURRENT_USER, key); }},
      {L"Leaf", L"Leaf", true, false,
       [](const wchar_t* key) { DeleteValue(HKEY_CURRENT_USER, key, L"v"); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.deleted);
    const std::wstring link = Product + L"\\" + c.link;
    MakeKey(HKEY_CURRENT_USER, Product + L"\\Tree");
    ASSERT_TRUE(MakeRegistryLink(HKEY_CURRENT_USER, link, c.inner ? victim + L"\\Inner" : victim));
    ASSERT_EQ(RegistryString(HKEY_CURRENT_USER, link, L"v"), L"x") << "not a link";
    c.remove((std::wstring(TestKey) + L"\\" + c.deleted).c_str());
    EXPECT_EQ(RegistrySnapshot(HKEY_CURRENT_USER, victim), before);
    EXPECT_NE(RegistryKeyExists(HKEY_CURRENT_USER, link), c.linkGoes);
    RemoveRegistryLink(HKEY_CURRENT_USER, link);
    DeleteRegistryTree(HKEY_CURRENT_USER, Product + L"\\Tree");
  }
  DeleteRegistryTree(HKEY_CURRENT_USER, victim);
}
