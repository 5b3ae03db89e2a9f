#include "integration/uninstall_entry.h"

#include <gtest/gtest.h>

#include "base/program_path.h"
#include "base/run_state.h"
#include "support/test_files.h"
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

TEST_F(UninstallEntry, ValuesPointingAtTheProgramAndTellingWhen) {
  InstallAt(L"integration Pelodra with blanks");
  SYSTEMTIME before;
  GetLocalTime(&before);
  WriteUninstallEntry();
  SYSTEMTIME after;
  GetLocalTime(&after);
  EXPECT_EQ(RegistryValueNames(HKEY_LOCAL_MACHINE, UninstallKey),
            (std::vector<std::wstring>{
                L"DisplayIcon", L"DisplayName", L"DisplayVersion", L"EstimatedSize", L"InstallDate",
                L"InstallLocation", L"Language", L"NoModify", L"NoRepair", L"Publisher",
                L"QuietUninstallString", L"UninstallString", L"VersionMajor", L"VersionMinor"}));
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
  EXPECT_EQ(text(L"QuietUninstallString"), L"\"" + InProgramFolder(L"uninstall.exe") + L"\" /S");
  // The local date of the run, which may have passed midnight meanwhile.
  auto day = [](const SYSTEMTIME& t) {
    wchar_t date[12];
    swprintf(date, 12, L"%04u%02u%02u", t.wYear, t.wMonth, t.wDay);
    return std::wstring(date);
  };
  std::wstring date = text(L"InstallDate").value_or(L"");
  EXPECT_TRUE(date == day(before) || date == day(after)) << date;
  EXPECT_EQ(text(L"DisplayIcon"), InProgramFolder(L"Pelodra.exe"));
  EXPECT_EQ(text(L"InstallLocation"), folder_ + L"\\");
  EXPECT_EQ(number(L"NoModify"), 1u);
  EXPECT_EQ(number(L"NoRepair"), 1u);
  EXPECT_EQ(number(L"Language"), 0u);
  EXPECT_EQ(text(L"Publisher"), L"Brenmark");
  // Under WOW64 the entry is the 32-bit program's.
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UninstallKey, View64));
}

// The program, its list and the files the list names, in KB rounded up;
// lines that name nothing (a folder, a missing file, a name outside the
// folder or a damaged line) add nothing.
TEST_F(UninstallEntry, TheEstimatedSizeIsWhatTheUninstallRemoves) {
  InstallAt(L"integration Pelodra sized");
  auto size = [] { return RegistryDword(HKEY_LOCAL_MACHINE, UninstallKey, L"EstimatedSize"); };
  // Only the program, 8 bytes of "stand-in", without a list.
  WriteUninstallEntry();
  EXPECT_EQ(size(), 1u);

  CreateDirectoryW(InProgramFolder(L"Formats").c_str(), nullptr);
  ASSERT_TRUE(WriteBytes(InProgramFolder(L"Formats\\zip.fmt"), std::string(3000, 'z')));
  ASSERT_TRUE(WriteBytes(InProgramFolder(L"big.dll"), std::string(2048, 'b')));
  std::wstring outside = folder_ + L" outside.dat";
  ASSERT_TRUE(WriteBytes(outside, std::string(100000, 'o')));
  std::string list = "Formats\r\nFormats\\zip.fmt\r\nbig.dll  \r\nmissing.txt\r\n..\\" +
                     std::string(outside.begin() + outside.rfind(L'\\') + 1, outside.end()) +
                     "\r\nbig.dll" + std::string(1, '\0') + "\r\n";
  ASSERT_TRUE(WriteBytes(InProgramFolder(L"Uninstall.lst"), list));
  WriteUninstallEntry();
  uint64_t bytes = 8 + list.size() + 3000 + 2048;
  EXPECT_EQ(size(), (bytes + 1023) / 1024);
  DeleteFileW(outside.c_str());
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
