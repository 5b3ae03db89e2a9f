#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "base/run_state.h"
#include "settings/registry_deletion.h"
#include "settings/settings_store.h"
#include "support/test_registry.h"
#include "tests/settings/store_fixture.h"

namespace {

const std::wstring Product = TestProductKey;

void MakeKey(HKEY root, const std::wstring& path, REGSAM view = 0) {
  ASSERT_TRUE(SetRegistryString(root, path, L"v", L"x", view));
}

// Deletions made while the 64-bit view is selected, as the integration
// takes back what it wrote there.
class RegistryViewDeletion : public StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    view64_.emplace(true);
  }
  void TearDown() override {
    view64_.reset();
    StoreTest::TearDown();
  }
  std::optional<ScopedRegistryView> view64_;
};

}  // namespace

// The machine's software key has a 32-bit and a 64-bit side under WOW64;
// only the selected one is meant, by keys, trees and values alike.
TEST_F(RegistryViewDeletion, OnlyTheSelectedSideGoes) {
  if (!IsWow64()) GTEST_SKIP() << "one registry view only";
  for (REGSAM view : {REGSAM{0}, REGSAM{KEY_WOW64_64KEY}}) {
    MakeKey(HKEY_LOCAL_MACHINE, Product + L"\\Server", view);
    MakeKey(HKEY_LOCAL_MACHINE, Product + L"\\Tree\\a\\b", view);
    MakeKey(HKEY_LOCAL_MACHINE, Product + L"\\Values", view);
  }
  EXPECT_EQ(DeleteKey(HKEY_LOCAL_MACHINE, L"SettingsTests\\Server"), ERROR_SUCCESS);
  DeleteKeyTree(HKEY_LOCAL_MACHINE, L"SettingsTests\\Tree");
  DeleteValue(HKEY_LOCAL_MACHINE, L"SettingsTests\\Values", L"v");
  for (const wchar_t* key : {L"\\Server", L"\\Tree"}) {
    EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, Product + key, KEY_WOW64_64KEY)) << key;
    EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, Product + key)) << key;
  }
  EXPECT_FALSE(RegistryValue(HKEY_LOCAL_MACHINE, Product + L"\\Values", L"v", KEY_WOW64_64KEY));
  EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, Product + L"\\Values", L"v"), L"x");

  // Absolute paths too; a missing key is the registry's own answer.
  MakeKey(HKEY_LOCAL_MACHINE, Product + L"\\Server", KEY_WOW64_64KEY);
  std::wstring absolute = L"\\" + Product + L"\\Server";
  EXPECT_EQ(DeleteKey(HKEY_LOCAL_MACHINE, absolute.c_str()), ERROR_SUCCESS);
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, Product + L"\\Server", KEY_WOW64_64KEY));
  EXPECT_EQ(DeleteKey(HKEY_LOCAL_MACHINE, absolute.c_str()), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryViewDeletion, AKeyWithSubkeysStaysAndIsNoRefusal) {
  REGSAM view = IsWow64() ? KEY_WOW64_64KEY : 0;
  MakeKey(HKEY_LOCAL_MACHINE, Product + L"\\Server\\InProc", view);
  unsigned refused = RefusedRegistryChanges();
  EXPECT_NE(DeleteKey(HKEY_LOCAL_MACHINE, L"SettingsTests\\Server"), ERROR_SUCCESS);
  EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, Product + L"\\Server\\InProc", view));
  EXPECT_EQ(RefusedRegistryChanges(), refused);
  EXPECT_NE(DeleteKey(HKEY_LOCAL_MACHINE, L"\\"), ERROR_SUCCESS);
}

TEST_F(RegistryViewDeletion, SettingsInTheFileAreDeletedThere) {
  MakeKey(HKEY_LOCAL_MACHINE, Product + L"\\Server", KEY_WOW64_64KEY);
  UseIniFile("HKLM\\SettingsTests\\Server\\A=1\r\nHKLM\\SettingsTests\\Other=2\r\n");
  EXPECT_EQ(DeleteKey(HKEY_LOCAL_MACHINE, L"SettingsTests\\Server"), ERROR_SUCCESS);
  Entries entries = IniEntries();
  ASSERT_EQ(entries.size(), 4u);  // with the three Global flags
  EXPECT_EQ(entries[0].name, L"HKLM\\SettingsTests\\Other");
  EXPECT_TRUE(RegistryKeyExists(HKEY_LOCAL_MACHINE, Product + L"\\Server", KEY_WOW64_64KEY));
}
