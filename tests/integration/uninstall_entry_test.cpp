#include "integration/uninstall_entry.h"

#include <gtest/gtest.h>

#include "base/program_path.h"
#include "base/run_state.h"
#include "support/test_registry.h"
#include "tests/integration/setup_fixture.h"

namespace {

using UninstallEntry = SetupTest;

constexpr REGSAM View32 = KEY_WOW64_32KEY;
constexpr REGSAM View64 = KEY_WOW64_64KEY;

TEST_F(UninstallEntry, AppPathsInBothViewsAndTheProgramsRecordInOne) {
  InstallAt(L"integration Pelodra with blanks");
  ASSERT_TRUE(IsWow64());
  ASSERT_TRUE(RegisterAppPaths());
  EXPECT_EQ(RegistryViewFlags, 0u);
  std::wstring program = InProgramFolder(L"Pelodra.exe");
  for (REGSAM view : {View32, View64}) {
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, AppPathsKey, L"", view), program) << view;
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, AppPathsKey, L"Path", view), folder_) << view;
    EXPECT_EQ(RegistryValueNames(HKEY_LOCAL_MACHINE, AppPathsKey, view),
              (std::vector<std::wstring>{L"", L"Path"}));
  }
  EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, ProductKey, L"exe32", View32), program);
  EXPECT_FALSE(RegistryValue(HKEY_LOCAL_MACHINE, ProductKey, L"exe32", View64));
}

TEST_F(UninstallEntry, ElevenValuesPointingAtTheProgram) {
  InstallAt(L"integration Pelodra with blanks");
  WriteUninstallEntry();
  EXPECT_EQ(RegistryValueNames(HKEY_LOCAL_MACHINE, UninstallKey),
            (std::vector<std::wstring>{L"DisplayIcon", L"DisplayName", L"DisplayVersion",
                                       L"InstallLocation", L"Language", L"NoModify", L"NoRepair",
                                       L"Publisher", L"UninstallString", L"VersionMajor",
                                       L"VersionMinor"}));
  auto text = [](const wchar_t* name) {
    return RegistryString(HKEY_LOCAL_MACHINE, UninstallKey, name);
  };
  auto number = [](const wchar_t* name) {
    return RegistryDword(HKEY_LOCAL_MACHINE, UninstallKey, name);
  };
  EXPECT_EQ(text(L"DisplayName"), L"Pelodra 5.61 build 1 (32-bit)");
  EXPECT_EQ(text(L"DisplayVersion"), L"5.61.1");
  EXPECT_EQ(number(L"VersionMajor"), 5u);
  EXPECT_EQ(number(L"VersionMinor"), 61u);
  // Run as a command line: quoted, so that a path with blanks cannot start
  // another program first.
  EXPECT_EQ(text(L"UninstallString"), L"\"" + InProgramFolder(L"uninstall.exe") + L"\"");
  EXPECT_EQ(text(L"DisplayIcon"), InProgramFolder(L"Pelodra.exe"));
  EXPECT_EQ(text(L"InstallLocation"), folder_ + L"\\");
  EXPECT_EQ(number(L"NoModify"), 1u);
  EXPECT_EQ(number(L"NoRepair"), 1u);
  EXPECT_EQ(number(L"Language"), 0u);
  EXPECT_EQ(text(L"Publisher"), L"Brenmark");
  // Under WOW64 the entry is the 32-bit program's.
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UninstallKey, View64));
}

TEST_F(UninstallEntry, AProgramInADriveRootKeepsTheRootsBackslash) {
  SetProgramPathForTesting(L"C:\\uninstall.exe");
  ASSERT_TRUE(RegisterAppPaths());
  WriteUninstallEntry();
  EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, AppPathsKey, L""), L"C:\\Pelodra.exe");
  EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, AppPathsKey, L"Path"), L"C:\\");
  EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, UninstallKey, L"InstallLocation"), L"C:\\");
  EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, UninstallKey, L"DisplayIcon"), L"C:\\Pelodra.exe");
}

TEST(DisplayName, FollowsTheNameWithABlankAndFitsItsBuffer) {
  wchar_t name[64] = L"";
  FormatDisplayName(name, 64);
  EXPECT_STREQ(name, L"5.61 build 1 (32-bit)");
  wcscpy(name, L"Pelodra");
  FormatDisplayName(name, 16);
  EXPECT_STREQ(name, L"Pelodra 5.61 bu");
  name[0] = L'x';
  FormatDisplayName(name, 0);
  EXPECT_EQ(name[0], L'x');
}

}  // namespace
