// Setup runs that show no dialog or only the first one: started by the
// product's installer (silently, with its options), or under an outside
// installer ("msi").
#include <gtest/gtest.h>

#include <string>

#include "setup_test_support.h"
#include "support/current_folder.h"
#include "support/e2e.h"
#include "support/test_files.h"

namespace {

const std::wstring ProductKey = L"Software\\Pelodra";

std::optional<DWORD> Setting(const std::wstring& key, const wchar_t* name) {
  return RegistryDword(HKEY_CURRENT_USER, ProductKey + L"\\" + key, name);
}

class SetupRun : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteRegistryTree(HKEY_CURRENT_USER, ProductKey);
    product_ = MakeInstallation(L"Pelodra setup run");
    installer_ = FreshFolder(L"installer");
  }
  void TearDown() override {
    DeleteRegistryTree(HKEY_CURRENT_USER, ProductKey);
    RemoveTree(product_.folder);
    RemoveTree(installer_);
  }

  // Runs the program and watches that it never shows a window.
  RunResult RunUnseen(const std::wstring& args, const Environment& env, bool& shown) {
    return RunProgram(product_.exe, args, env, 60000,
                      [&](DWORD process) { shown = ShowsAnyWindow(process, 60000); });
  }

  SetupTraces traces_;
  Installation product_;
  std::wstring installer_;
};

}  // namespace

// The silent switch counts from the installer's text and from the command
// line alike; the options of the command line amend the stored ones.
TEST_F(SetupRun, SilentSetupAppliesTheOptionsWithoutAnyWindow) {
  struct Case {
    const wchar_t* installerText;
    const wchar_t* commandLine;
  };
  for (const Case& c :
       {Case{L"/S", L"/setup /initA01D1S0"}, Case{L"", L"/setup /S /initA01D1S0"}}) {
    DeleteRegistryTree(HKEY_CURRENT_USER, ProductKey);
    DWORD one = 1;
    RegSetKeyValueW(HKEY_CURRENT_USER, (ProductKey + L"\\Interface\\Misc").c_str(), L"RemShown",
                    REG_DWORD, &one, sizeof one);
    DWORD zero = 0;
    RegSetKeyValueW(HKEY_CURRENT_USER, (ProductKey + L"\\Setup\\.7z").c_str(), L"Set", REG_DWORD,
                    &zero, sizeof zero);
    bool shown = true;
    RunResult run = RunUnseen(c.commandLine, {{L"sfxcmd", c.installerText}}, shown);
    ASSERT_TRUE(run.finished) << c.commandLine;
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_FALSE(shown) << c.commandLine;
    EXPECT_EQ(Setting(L"Setup\\.kel", L"Set"), 0u);
    EXPECT_EQ(Setting(L"Setup\\.zip", L"Set"), 1u);
    EXPECT_EQ(Setting(L"Setup\\.7z", L"Set"), 0u);
    EXPECT_EQ(Setting(L"Setup\\.cab", L"Set"), 1u);
    EXPECT_EQ(Setting(L"Setup\\Links", L"Desktop"), 1u);
    EXPECT_EQ(Setting(L"Setup\\Links", L"Programs"), 1u);
    EXPECT_EQ(Setting(L"Setup", L"ShellExt"), 0u);
    EXPECT_EQ(Setting(L"Setup", L"MenuIcons"), 1u);
    EXPECT_FALSE(Setting(L"Interface\\Misc", L"RemShown"));
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, UninstallEntryKey, L"UninstallString"),
              product_.exe);
  }
  EXPECT_FALSE(CloseFolderWindow(L"Pelodra", 3000)) << "a silent setup opened a folder";
}

// As the product's installer starts it: its switches in "sfxcmd", its own
// name in "sfxname", a settings file beside it for the new installation.
TEST_F(SetupRun, AsTheInstallerStartsItTheSettingsFileIsTakenOver) {
  WriteBytes(installer_ + L"\\pelodra.ini", "HKCU\\Setup\\Links\\Desktop=1\r\n");
  ScopedCurrentFolder current(product_.folder);
  bool shown = true;
  RunResult run = RunUnseen(
      L"/setup", {{L"sfxcmd", L"/S"}, {L"sfxname", installer_ + L"\\pelodra-5.61.exe"}}, shown);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_FALSE(shown);
  EXPECT_EQ(ReadBytes(product_.folder + L"\\pelodra.ini"), "HKCU\\Setup\\Links\\Desktop=1\r\n");
  EXPECT_EQ(Setting(L"Setup\\.zip", L"Set"), 1u);
}

// Under an outside installer the dialog is confirmed by hand, but no done
// dialog, note or folder follows; the settings file is still taken over.
TEST_F(SetupRun, UnderAnOutsideInstallerOnlyTheSetupDialogShows) {
  WriteBytes(installer_ + L"\\pelodra.ini", "from the installer");
  // The current folder goes with the installer's when the test ends.
  std::wstring current = installer_ + L"\\current";
  CreateDirectoryW(current.c_str(), nullptr);
  ScopedCurrentFolder inCurrent(current);
  HWND after = nullptr;
  RunResult run =
      RunProgram(product_.exe, L"/setup /msi", {{L"sfxname", installer_ + L"\\setup.exe"}}, 60000,
                 [&](DWORD process) {
                   HWND dialog = WaitForDialogWith(process, IDC_EXPLANATION, 30000);
                   ASSERT_NE(dialog, nullptr) << "no setup dialog";
                   ClickAndWait(dialog, IDC_DESKTOP);
                   ClickButton(dialog, IDOK);
                   after = WaitForDialogWhere(
                       process, [](HWND w) { return !GetDlgItem(w, IDC_EXPLANATION); }, 5000);
                 });
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(after, nullptr);
  EXPECT_EQ(Setting(L"Setup\\Links", L"Desktop"), 1u);
  EXPECT_EQ(ReadBytes(current + L"\\pelodra.ini"), "from the installer");
  EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, AppPathsKey, L""),
            product_.folder + L"\\Pelodra.exe");
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UninstallEntryKey));
  EXPECT_FALSE(CloseFolderWindow(L"Pelodra", 3000)) << "the program group was opened";
}
