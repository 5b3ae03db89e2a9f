// Setup runs that show no dialog or only the first one: started by the
// product's installer (silently, with its options), or under an outside
// installer ("msi").
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "setup_test_support.h"
#include "support/current_folder.h"
#include "support/e2e.h"
#include "support/gui_driver.h"
#include "support/test_files.h"
#include "support/test_registry.h"

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
    ASSERT_TRUE(
        SetRegistryDword(HKEY_CURRENT_USER, ProductKey + L"\\Interface\\Misc", L"RemShown", 1));
    ASSERT_TRUE(SetRegistryDword(HKEY_CURRENT_USER, ProductKey + L"\\Setup\\.7z", L"Set", 0));
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
              L"\"" + product_.exe + L"\"");
  }
  EXPECT_FALSE(CloseFolderWindow(L"Pelodra", 3000)) << "a silent setup opened a folder";
}

// As the product's installer starts it: its switches in "sfxcmd", its own
// name in "sfxname", a settings file beside it for the new installation.
// The file is copied beside the program before anything is read, so the
// installation keeps its settings there from the start: the options shown
// and saved, and the records of former owners. The installer's current
// folder plays no part.
TEST_F(SetupRun, AsTheInstallerStartsItTheSettingsFileIsTakenOver) {
  WriteBytes(installer_ + L"\\pelodra.ini", "HKCU\\Setup\\Links\\Desktop=1\r\n");
  ScopedCurrentFolder current(installer_);
  bool shown = true;
  RunResult run = RunUnseen(
      L"/setup", {{L"sfxcmd", L"/S"}, {L"sfxname", installer_ + L"\\pelodra-5.61.exe"}}, shown);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_FALSE(shown);
  EXPECT_TRUE(DesktopShortcutExists());
  std::string bytes = ReadBytes(product_.folder + L"\\pelodra.ini");
  std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
  EXPECT_NE(text.find(L"HKCU\\Setup\\Links\\Desktop=1\r\n"), std::wstring::npos);
  EXPECT_NE(text.find(L"HKCU\\Setup\\.zip\\Set=1\r\n"), std::wstring::npos);
  EXPECT_NE(text.find(L"HKCU\\Setup\\.zip\\Exist="), std::wstring::npos);
  EXPECT_EQ(ReadBytes(installer_ + L"\\pelodra.ini"), "HKCU\\Setup\\Links\\Desktop=1\r\n");
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, ProductKey));
}

// Under an outside installer the dialog is confirmed by hand, but no done
// dialog, note or folder follows; the settings file is still taken over.
TEST_F(SetupRun, UnderAnOutsideInstallerOnlyTheSetupDialogShows) {
  WriteBytes(installer_ + L"\\pelodra.ini", "HKCU\\Setup\\Links\\StartMenu=1\r\n");
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
  std::string bytes = ReadBytes(product_.folder + L"\\pelodra.ini");
  std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
  EXPECT_NE(text.find(L"HKCU\\Setup\\Links\\Desktop=1\r\n"), std::wstring::npos);
  EXPECT_NE(text.find(L"HKCU\\Setup\\Links\\StartMenu=1\r\n"), std::wstring::npos);
  EXPECT_FALSE(Exists(current + L"\\pelodra.ini"));
  EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, AppPathsKey, L""),
            product_.folder + L"\\Pelodra.exe");
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UninstallEntryKey));
  EXPECT_FALSE(CloseFolderWindow(L"Pelodra", 3000)) << "the program group was opened";
}

// Run by a user who may not change the machine (here: App Paths made
// read-only, as Windows keeps it from a standard user), setup cannot do its
// work: an installer learns it from the exit code, a user from a message
// instead of the done dialog.
TEST_F(SetupRun, ASetupWindowsRefusesEndsIncomplete) {
  ReadOnlyKey appPaths(HKEY_LOCAL_MACHINE, AppPathsKey);
  bool shown = true;
  RunResult run = RunUnseen(L"/setup", {{L"sfxcmd", L"/S"}}, shown);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 2u);
  EXPECT_FALSE(shown);

  std::vector<std::wstring> boxes;
  HWND done = nullptr;
  run = RunProgram(product_.exe, L"/setup", {{L"sfxcmd", L""}}, 60000, [&](DWORD process) {
    HWND dialog = WaitForDialogWith(process, IDC_EXPLANATION, 30000);
    ASSERT_NE(dialog, nullptr) << "no setup dialog";
    ClickButton(dialog, IDOK);
    done = WaitForDialogWhere(process, IsDoneDialog, 3000);
    boxes = AnswerBoxes(process, IDOK);
  });
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 2u);
  EXPECT_EQ(done, nullptr);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].find(L"not fully set up"), std::wstring::npos) << boxes[0].c_str();
  EXPECT_FALSE(CloseFolderWindow(L"Pelodra", 3000)) << "the program group was opened";
}
