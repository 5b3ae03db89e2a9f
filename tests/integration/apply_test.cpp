#include "integration/apply.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <map>
#include <optional>

#include "base/run_state.h"
#include "support/test_files.h"
#include "support/test_registry.h"
#include "tests/integration/setup_fixture.h"

namespace {

IntegrationOptions EveryShortcut() {
  IntegrationOptions options{};
  options.Desktop = true;
  options.StartMenu = true;
  options.Programs = true;
  return options;
}

// The shortcuts and the machine entries that a run leaves, for comparing two
// runs.
struct Outcome {
  std::map<std::wstring, Shortcut> shortcuts;
  std::vector<std::wstring> groups[2];
  std::optional<std::wstring> appPath, appFolder, exe32;
  bool operator==(const Outcome& o) const {
    return shortcuts == o.shortcuts && groups[0] == o.groups[0] && groups[1] == o.groups[1] &&
           appPath == o.appPath && appFolder == o.appFolder && exe32 == o.exe32;
  }
};

Outcome Observe() {
  Outcome outcome;
  std::wstring common = SpecialFolder(CSIDL_COMMON_PROGRAMS) + L"\\Pelodra";
  std::wstring paths[] = {SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Pelodra.lnk",
                          SpecialFolder(CSIDL_COMMON_STARTMENU) + L"\\Pelodra.lnk",
                          common + L"\\Pelodra.lnk", common + L"\\" + HelpItem};
  for (const std::wstring& path : paths) ReadShortcut(path, outcome.shortcuts[path]);
  outcome.groups[0] = FolderContent(SpecialFolder(CSIDL_PROGRAMS) + L"\\Pelodra");
  outcome.groups[1] = FolderContent(common);
  outcome.appPath = RegistryString(HKEY_LOCAL_MACHINE, AppPathsKey, L"");
  outcome.appFolder = RegistryString(HKEY_LOCAL_MACHINE, AppPathsKey, L"Path");
  outcome.exe32 = RegistryString(HKEY_LOCAL_MACHINE, ProductKey, L"exe32", KEY_WOW64_32KEY);
  return outcome;
}

class Apply : public SetupTest {
 protected:
  wchar_t group_[MaxPathChars] = L"untouched";
};

TEST_F(Apply, WithoutMachineRightsNothingIsWritten) {
  {
    ReadOnlyKey appPaths(HKEY_LOCAL_MACHINE, AppPathsKey);
    EXPECT_FALSE(ApplyIntegration(EveryShortcut(), group_, MaxPathChars));
  }
  EXPECT_EQ(RegistryValueNames(HKEY_LOCAL_MACHINE, AppPathsKey), std::vector<std::wstring>{});
  EXPECT_FALSE(RegistryValue(HKEY_LOCAL_MACHINE, ProductKey, L"exe32"));
  EXPECT_FALSE(RegistryKeyExists(HKEY_CLASSES_ROOT, L"Pelodra"));
  EXPECT_FALSE(Exists(SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Pelodra.lnk"));
  EXPECT_FALSE(Exists(SpecialFolder(CSIDL_COMMON_STARTMENU) + L"\\Pelodra.lnk"));
  EXPECT_FALSE(Exists(SpecialFolder(CSIDL_PROGRAMS) + L"\\Pelodra"));
  EXPECT_FALSE(Exists(SpecialFolder(CSIDL_COMMON_PROGRAMS) + L"\\Pelodra"));
  EXPECT_STREQ(group_, L"untouched");
  EXPECT_EQ(RegistryViewFlags, 0u);
}

// Machine rights but none to the product's class keys: the steps before the
// class names run with their refusals ignored, and no shortcut is touched.
TEST_F(Apply, WithoutRightsToTheClassKeysNoShortcutIsMade) {
  {
    ReadOnlyKey classKey(HKEY_CLASSES_ROOT, L"Pelodra");
    EXPECT_FALSE(ApplyIntegration(EveryShortcut(), group_, MaxPathChars));
  }
  EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, AppPathsKey, L""), InProgramFolder(L"Pelodra.exe"));
  EXPECT_FALSE(Exists(SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Pelodra.lnk"));
  EXPECT_FALSE(Exists(SpecialFolder(CSIDL_COMMON_STARTMENU) + L"\\Pelodra.lnk"));
  EXPECT_FALSE(Exists(SpecialFolder(CSIDL_PROGRAMS) + L"\\Pelodra"));
  EXPECT_STREQ(group_, L"untouched");
}

TEST_F(Apply, RunsToTheShortcutsWithTheThemesIcon) {
  std::wstring icon = InProgramFolder(L"kel.ico");
  ASSERT_TRUE(WriteBytes(icon, "icon"));
  ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, ThemesKey, L"ShellExtIcon", icon));
  EXPECT_TRUE(ApplyIntegration(EveryShortcut(), group_, MaxPathChars));

  EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, AppPathsKey, L""), InProgramFolder(L"Pelodra.exe"));
  std::wstring common = SpecialFolder(CSIDL_COMMON_PROGRAMS) + L"\\Pelodra";
  EXPECT_EQ(std::wstring(group_), common);
  Outcome outcome = Observe();
  for (const auto& [path, shortcut] : outcome.shortcuts) {
    EXPECT_EQ(shortcut.description, Description) << std::string(path.begin(), path.end());
    bool ownIcon = path == common + L"\\" + HelpItem;
    EXPECT_EQ(shortcut.icon, ownIcon ? L"" : icon) << std::string(path.begin(), path.end());
  }
  EXPECT_EQ(RegistryViewFlags, 0u);
}

TEST_F(Apply, AMissingThemesIconLeavesTheTargetsOwnAndASecondRunChangesNothing) {
  ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, ThemesKey, L"ShellExtIcon",
                                InProgramFolder(L"missing.ico")));
  ASSERT_TRUE(ApplyIntegration(EveryShortcut(), group_, MaxPathChars));
  Outcome first = Observe();
  for (const auto& [path, shortcut] : first.shortcuts) {
    EXPECT_EQ(shortcut.target.empty(), false) << std::string(path.begin(), path.end());
    EXPECT_EQ(shortcut.icon, L"") << std::string(path.begin(), path.end());
  }
  ASSERT_TRUE(ApplyIntegration(EveryShortcut(), group_, MaxPathChars));
  EXPECT_EQ(Observe(), first);
}

}  // namespace
