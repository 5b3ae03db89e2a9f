#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/shared/run_state.h"
#include "settings/registry_deletion.h"
#include "settings/settings_store.h"
#include "tests/settings/store_fixture.h"

namespace {

using RegistryViewDeletion = StoreTest;

const std::wstring Product = TestProductKey;

void MakeKey(HKEY root, const std::wstring& path, REGSAM view = 0) {
  ASSERT_TRUE(RawSet(root, path, L"v", REG_SZ, L"x", 4, view));
}

}  // namespace

// The machine's software key has a 32-bit and a 64-bit side under WOW64;
// only the 64-bit one is meant.
TEST_F(RegistryViewDeletion, OnlyThe64BitSideGoes) {
  if (!IsWow64()) GTEST_SKIP() << "one registry view only";
  MakeKey(HKEY_LOCAL_MACHINE, Product + L"\\Server");
  MakeKey(HKEY_LOCAL_MACHINE, Product + L"\\Server", KEY_WOW64_64KEY);
  EXPECT_EQ(DeleteKeyIn64BitView(HKEY_LOCAL_MACHINE, L"SettingsTests\\Server"), ERROR_SUCCESS);
  EXPECT_FALSE(RawKeyExists(HKEY_LOCAL_MACHINE, Product + L"\\Server", KEY_WOW64_64KEY));
  EXPECT_TRUE(RawKeyExists(HKEY_LOCAL_MACHINE, Product + L"\\Server"));

  // Absolute paths too; a missing key is the registry's own answer.
  MakeKey(HKEY_LOCAL_MACHINE, Product + L"\\Server", KEY_WOW64_64KEY);
  std::wstring absolute = L"\\" + Product + L"\\Server";
  EXPECT_EQ(DeleteKeyIn64BitView(HKEY_LOCAL_MACHINE, absolute.c_str()), ERROR_SUCCESS);
  EXPECT_FALSE(RawKeyExists(HKEY_LOCAL_MACHINE, Product + L"\\Server", KEY_WOW64_64KEY));
  EXPECT_EQ(DeleteKeyIn64BitView(HKEY_LOCAL_MACHINE, absolute.c_str()), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryViewDeletion, AKeyWithSubkeysStays) {
  REGSAM view = IsWow64() ? KEY_WOW64_64KEY : 0;
  MakeKey(HKEY_LOCAL_MACHINE, Product + L"\\Server\\InProc", view);
  EXPECT_NE(DeleteKeyIn64BitView(HKEY_LOCAL_MACHINE, L"SettingsTests\\Server"), ERROR_SUCCESS);
  EXPECT_TRUE(RawKeyExists(HKEY_LOCAL_MACHINE, Product + L"\\Server\\InProc", view));
  EXPECT_NE(DeleteKeyIn64BitView(HKEY_LOCAL_MACHINE, L"\\"), ERROR_SUCCESS);
}

TEST_F(RegistryViewDeletion, SettingsInTheFileAreDeletedThere) {
  MakeKey(HKEY_LOCAL_MACHINE, Product + L"\\Server", KEY_WOW64_64KEY);
  UseIniFile("HKLM\\SettingsTests\\Server\\A=1\r\nHKLM\\SettingsTests\\Other=2\r\n");
  EXPECT_EQ(DeleteKeyIn64BitView(HKEY_LOCAL_MACHINE, L"SettingsTests\\Server"), ERROR_SUCCESS);
  Entries entries = IniEntries();
  ASSERT_EQ(entries.size(), 4u);  // with the three Global flags
  EXPECT_EQ(entries[0].name, L"HKLM\\SettingsTests\\Other");
  EXPECT_TRUE(RawKeyExists(HKEY_LOCAL_MACHINE, Product + L"\\Server", KEY_WOW64_64KEY));
}
