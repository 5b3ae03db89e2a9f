#include "integration/apply.h"

#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>

#include "base/run_state.h"
#include "support/all_choices.h"
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

IntegrationOptions Parsed(const wchar_t* text, IntegrationOptions options = {}) {
  ApplySetupOptionString(text, options);
  return options;
}

std::string AssociateDigits(const IntegrationOptions& options) {
  std::string digits;
  for (bool flag : options.Associate) digits += flag ? '1' : '0';
  return digits;
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

// What the setup dialog's OK wrote, now written without it: the choices
// saved, the integration applied, the removal note forgotten, and the
// uninstall entry unless an outside installer keeps its own. A refusal
// still saves the choices and ends incomplete.
TEST_F(Apply, ASetupSavesAppliesAndWritesTheEntryItsOwnerWants) {
  const std::wstring misc = std::wstring(ProductKey) + L"\\Interface\\Misc";
  const std::wstring setup = std::wstring(ProductKey) + L"\\Setup";
  struct Case {
    EntryOwner owner;
    bool refused;
  };
  for (const Case& c : {Case{EntryOwner::Product, false}, Case{EntryOwner::OutsideInstaller, false},
                        Case{EntryOwner::Product, true}}) {
    ASSERT_TRUE(SetRegistryDword(HKEY_CURRENT_USER, misc, L"RemShown", 1));
    ASSERT_TRUE(SetRegistryDword(HKEY_CURRENT_USER, misc, L"Other", 1));
    IntegrationOptions choices = EveryShortcut();
    choices.StartMenu = false;
    bool complete;
    {
      std::optional<ReadOnlyKey> appPaths;
      if (c.refused) appPaths.emplace(HKEY_LOCAL_MACHINE, AppPathsKey);
      complete = ApplySetup(choices, c.owner, group_, MaxPathChars);
    }
    bool product = c.owner == EntryOwner::Product;
    EXPECT_EQ(complete, !c.refused);
    EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, setup + L"\\Links", L"Desktop"), 1u);
    EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, setup + L"\\Links", L"StartMenu"), 0u);
    EXPECT_FALSE(RegistryDword(HKEY_CURRENT_USER, misc, L"RemShown"));
    EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, misc, L"Other"), 1u);
    EXPECT_EQ(RegistryKeyExists(HKEY_LOCAL_MACHINE, UninstallKey), product);
    EXPECT_EQ(Exists(SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Pelodra.lnk"), !c.refused);
    EXPECT_EQ(std::wstring(group_),
              c.refused ? L"untouched" : SpecialFolder(CSIDL_COMMON_PROGRAMS) + L"\\Pelodra");
    DeleteRegistryTree(HKEY_CURRENT_USER, setup);
    DeleteRegistryTree(HKEY_CURRENT_USER, misc);
    DeleteRegistryTree(HKEY_LOCAL_MACHINE, UninstallKey);
    wcscpy(group_, L"untouched");
    RemoveProductShortcuts();
  }
  DeleteRegistryKeyIfEmpty(HKEY_CURRENT_USER, std::wstring(ProductKey) + L"\\Interface");
}

// The stored options amended by the command line are what a setup starts
// from, with or without a dialog.
TEST_F(Apply, TheStartingOptionsAreTheStoredOnesAmendedByTheOptionString) {
  const std::wstring setup = std::wstring(ProductKey) + L"\\Setup";
  ASSERT_TRUE(SetRegistryDword(HKEY_CURRENT_USER, setup + L"\\.zip", L"Set", 0));
  ASSERT_TRUE(SetRegistryDword(HKEY_CURRENT_USER, setup, L"ShellExt", 0));
  IntegrationOptions stored{}, amended = AllSet();
  LoadStartingOptions(nullptr, stored);
  LoadStartingOptions(L"A1D0", amended);
  EXPECT_FALSE(stored.Associate[1]);
  EXPECT_FALSE(stored.ShellExt || amended.ShellExt);
  EXPECT_TRUE(amended.Associate[0]);
  EXPECT_EQ(amended.Desktop, false);
  EXPECT_EQ(AssociateDigits(amended).substr(1), AssociateDigits(stored).substr(1));
  DeleteRegistryTree(HKEY_CURRENT_USER, setup);
}

}  // namespace

TEST(ApplySetupOptionString, LettersInEitherCaseSetOrClearTheirFields) {
  IntegrationOptions options = Parsed(L"D1S0", AllSet());
  EXPECT_TRUE(options.Desktop);
  EXPECT_FALSE(options.ShellExt);
  EXPECT_TRUE(options.StartMenu);

  options = Parsed(L"c1d1i1m1p1s1");
  EXPECT_TRUE(options.CascadedMenu && options.Desktop && options.MenuIcons);
  EXPECT_TRUE(options.StartMenu && options.Programs && options.ShellExt);
  EXPECT_EQ(AssociateDigits(options), "00000000000000000000");

  // Anything but "1" clears, not only "0".
  options = Parsed(L"DxPaM\u0661", AllSet());
  EXPECT_FALSE(options.Desktop || options.Programs || options.StartMenu);
  EXPECT_TRUE(options.CascadedMenu);
}

TEST(ApplySetupOptionString, ADigitRunSetsTheRowsInOrderAndStopsAtTwenty) {
  IntegrationOptions options = Parsed(L"A10", AllSet());
  EXPECT_EQ(AssociateDigits(options), "10111111111111111111");

  // 22 digits: the first 20 are rows and spare elements; the 21st is then
  // read as a letter and skipped with the character after it, so the D1
  // behind them still counts.
  options = Parsed(
      L"A10111111111111111101"
      L"11"
      L"D1");
  EXPECT_EQ(AssociateDigits(options), "10111111111111111101");
  EXPECT_TRUE(options.Desktop);

  // Digits outside ASCII end the run and are skipped like any unknown
  // letter; a letter without digits takes none.
  options = Parsed(L"A1\u06611D1", IntegrationOptions{});
  EXPECT_EQ(AssociateDigits(options), "10000000000000000000");
  EXPECT_TRUE(options.Desktop);
  options = Parsed(L"AD1");
  EXPECT_TRUE(options.Desktop);
}

TEST(ApplySetupOptionString, UnknownLettersAndLoneEndsAreSkipped) {
  IntegrationOptions options = Parsed(L"X1D1");
  EXPECT_TRUE(options.Desktop);
  options = Parsed(L"D1S", AllSet());
  EXPECT_TRUE(options.Desktop && options.ShellExt);
  options = Parsed(L"M1A", AllSet());
  EXPECT_EQ(AssociateDigits(options), "11111111111111111111");

  IntegrationOptions untouched = AllSet();
  for (const wchar_t* text : {L"", L"D", L"1", L"  ", L"=1=1=1"}) {
    options = Parsed(text, AllSet());
    EXPECT_EQ(AssociateDigits(options), AssociateDigits(untouched)) << text;
    EXPECT_TRUE(options.Desktop && options.ShellExt && options.Programs) << text;
  }
  ApplySetupOptionString(nullptr, options);
  EXPECT_TRUE(options.Desktop);
}

// The longest text the command line can give, made of every letter.
TEST(ApplySetupOptionString, TheLongestCommandLineTextIsReadWithinItsBounds) {
  std::wstring text = L"A11111111111111111111111111111111111111";
  ASSERT_EQ(text.size(), InitOptionsChars - 1);
  IntegrationOptions options = Parsed(text.c_str());
  EXPECT_EQ(AssociateDigits(options), "11111111111111111111");
  EXPECT_FALSE(options.Desktop);
}
