#include "app/run_flow.h"

#include <gtest/gtest.h>

#include "base/program_path.h"
#include "base/run_state.h"
#include "support/current_folder.h"
#include "support/test_files.h"

// The installer's settings file goes beside the program, wherever the
// installer started it from; never over a file that is there, and without
// the read-only attribute of an installer's medium.
TEST(CopySettingsFromInstaller, CopiesOnlyAnExistingFileIntoTheProgramsFolder) {
  std::wstring installer = FreshFolder(L"installer");
  std::wstring product = FreshFolder(L"product");
  std::wstring elsewhere = FreshFolder(L"elsewhere");
  SetProgramPathForTesting((product + L"\\uninstall.exe").c_str());
  ScopedCurrentFolder current(elsewhere);
  std::wstring archive = installer + L"\\pelodra-setup.exe";
  wchar_t copy[MaxPathChars] = {};
  ASSERT_TRUE(GetSettingsCopyPath(copy));
  EXPECT_EQ(std::wstring(copy), product + L"\\Pelodra.ini");

  SetEnvironmentVariableW(L"sfxname", nullptr);
  EXPECT_FALSE(CopySettingsFromInstaller());
  SetEnvironmentVariableW(L"sfxname", archive.c_str());
  EXPECT_FALSE(CopySettingsFromInstaller());
  EXPECT_FALSE(Exists(product + L"\\pelodra.ini"));

  ASSERT_TRUE(WriteBytes(installer + L"\\pelodra.ini", "from installer"));
  SetFileAttributesW((installer + L"\\pelodra.ini").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(CopySettingsFromInstaller());
  EXPECT_EQ(ReadBytes(product + L"\\pelodra.ini"), "from installer");
  EXPECT_FALSE(GetFileAttributesW((product + L"\\pelodra.ini").c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(Exists(elsewhere + L"\\pelodra.ini"));

  SetFileAttributesW((installer + L"\\pelodra.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
  ASSERT_TRUE(WriteBytes(installer + L"\\pelodra.ini", "newer"));
  EXPECT_FALSE(CopySettingsFromInstaller());
  EXPECT_EQ(ReadBytes(product + L"\\pelodra.ini"), "from installer");
  SetEnvironmentVariableW(L"sfxname", nullptr);
  SetProgramPathForTesting(nullptr);
}

TEST(RestrictDllSearch, TakesTheCurrentFolderOutOfTheSearch) {
  SetDllDirectoryW(L"C:\\windows");
  RestrictDllSearch();
  wchar_t folder[MAX_PATH] = L"unchanged";
  EXPECT_EQ(GetDllDirectoryW(MAX_PATH, folder), 0u);
  EXPECT_STREQ(folder, L"");
  SetDllDirectoryW(nullptr);
}
