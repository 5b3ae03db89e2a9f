#include "app/run_flow.h"

#include <gtest/gtest.h>

#include "support/current_folder.h"
#include "support/test_files.h"

TEST(CopySettingsFromInstaller, CopiesOnlyAnExistingFileAndNeverOverwrites) {
  std::wstring installer = FreshFolder(L"installer");
  std::wstring product = FreshFolder(L"product");
  ScopedCurrentFolder current(product);
  std::wstring archive = installer + L"\\pelodra-setup.exe";

  SetEnvironmentVariableW(L"sfxname", nullptr);
  CopySettingsFromInstaller();
  EXPECT_FALSE(Exists(product + L"\\pelodra.ini"));

  SetEnvironmentVariableW(L"sfxname", archive.c_str());
  CopySettingsFromInstaller();
  EXPECT_FALSE(Exists(product + L"\\pelodra.ini"));

  ASSERT_TRUE(WriteBytes(installer + L"\\pelodra.ini", "from installer"));
  CopySettingsFromInstaller();
  EXPECT_EQ(ReadBytes(product + L"\\pelodra.ini"), "from installer");

  ASSERT_TRUE(WriteBytes(installer + L"\\pelodra.ini", "newer"));
  CopySettingsFromInstaller();
  EXPECT_EQ(ReadBytes(product + L"\\pelodra.ini"), "from installer");
  SetEnvironmentVariableW(L"sfxname", nullptr);
}

TEST(RestrictDllSearch, TakesTheCurrentFolderOutOfTheSearch) {
  SetDllDirectoryW(L"C:\\windows");
  RestrictDllSearch();
  wchar_t folder[MAX_PATH] = L"unchanged";
  EXPECT_EQ(GetDllDirectoryW(MAX_PATH, folder), 0u);
  EXPECT_STREQ(folder, L"");
  SetDllDirectoryW(nullptr);
}
