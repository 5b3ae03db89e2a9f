// The shell extension's registration on the Windows the test runs on: this
// program runs once on 64-bit Windows (under WOW64) and once on 32-bit
// Windows, and starts itself again as an older Windows.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "base/program_path.h"
#include "base/run_state.h"
#include "fs/file_ops.h"
#include "integration/shell_extension.h"
#include "settings/settings_store.h"
#include "support/e2e.h"
#include "support/test_files.h"
#include "support/test_registry.h"

namespace {

const wchar_t Server32Clsid[] = L"{D3A57C10-4B21-11D2-8F3A-0C5E2B7A91F4}";
const wchar_t Server64Clsid[] = L"{D3A57C10-6A21-11D2-8F3A-0C5E2B7A91F4}";
const std::wstring Approved =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const std::wstring RegisteredApplications = L"Software\\RegisteredApplications";
const HKEY Classes = HKEY_CLASSES_ROOT;
const HKEY Machine = HKEY_LOCAL_MACHINE;

std::wstring Clsid(const wchar_t* clsid) { return L"CLSID\\" + std::wstring(clsid); }

IntegrationOptions ShellExtOn() {
  IntegrationOptions options{};
  options.ShellExt = true;
  return options;
}

std::wstring ExeName() {
  wchar_t self[MAX_PATH * 4] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
  std::wstring path = self;
  return path.substr(path.rfind(L'\\') + 1);
}

// A stand-in installation of the product's files, and every key the
// registration touches kept and put back.
class ShellRegistration : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetSettingsStoreForTesting();
    for (const wchar_t* clsid : {Server32Clsid, Server64Clsid}) {
      for (REGSAM view : {REGSAM{0}, REGSAM{KEY_WOW64_64KEY}}) Keep(Classes, Clsid(clsid), view);
    }
    for (const wchar_t* path :
         {L"Pelodra", L"Pelodra.ZIP", L"exefile\\shellex", L"*\\shellex\\ContextMenuHandlers",
          L"Folder\\shellex\\ContextMenuHandlers", L"Folder\\shellex\\DragDropHandlers", L"Drive",
          L"Directory\\shellex"})
      Keep(Classes, path);
    for (REGSAM view : {REGSAM{0}, REGSAM{KEY_WOW64_64KEY}}) {
      Keep(Machine, Approved, view);
      Keep(Machine, RegisteredApplications, view);
      Keep(Machine, L"Software\\Pelodra", view);
    }
    folder_ = FreshFolder(L"e2e_shell_registration");
    SetProgramPathForTesting((folder_ + L"\\uninstall.exe").c_str());
    for (const wchar_t* file : {L"Pelodra.exe", L"kelext.dll", L"kelext64.dll"})
      ASSERT_TRUE(WriteBytes(folder_ + L"\\" + file, "MZ"));
  }
  void TearDown() override {
    ResetSettingsStoreForTesting();
    SetProgramPathForTesting(nullptr);
    kept_.clear();
    RemoveTree(folder_);
  }
  void Keep(HKEY root, const std::wstring& path, REGSAM view = 0) {
    kept_.push_back(std::make_unique<SavedRegistryKey>(root, path, view));
  }

  std::wstring folder_;
  std::vector<std::unique_ptr<SavedRegistryKey>> kept_;
};

}  // namespace

TEST_F(ShellRegistration, ServersFollowTheWindowsTheyRunOn) {
  ApplyShellExtension(false, ShellExtOn());
  std::wstring dll32 = folder_ + L"\\kelext.dll";
  EXPECT_EQ(RegistryString(Classes, Clsid(Server32Clsid) + L"\\InProcServer32", L""), dll32);
  if (IsWow64()) {
    EXPECT_FALSE(RegistryKeyExists(Classes, Clsid(Server32Clsid), KEY_WOW64_64KEY));
    EXPECT_EQ(
        RegistryString(Classes, Clsid(Server64Clsid) + L"\\InProcServer32", L"", KEY_WOW64_64KEY),
        folder_ + L"\\kelext64.dll");
    EXPECT_FALSE(RegistryKeyExists(Classes, Clsid(Server64Clsid)));
    EXPECT_EQ(RegistryString(Classes, L"*\\shellex\\ContextMenuHandlers\\Pelodra32", L""),
              Server32Clsid);
    EXPECT_EQ(RegistryString(Classes, L"*\\shellex\\ContextMenuHandlers\\Pelodra", L""),
              Server64Clsid);
  } else {
    // One server, under the plain handler name; the 64-bit one appears
    // nowhere (a 64-bit view does not exist: asking for it reads the only
    // one).
    EXPECT_EQ(RegistryString(Classes, L"*\\shellex\\ContextMenuHandlers\\Pelodra", L""),
              Server32Clsid);
    EXPECT_FALSE(RegistryKeyExists(Classes, L"*\\shellex\\ContextMenuHandlers\\Pelodra32"));
    EXPECT_FALSE(RegistryKeyExists(Classes, L"Drive\\shellex\\DragDropHandlers\\Pelodra32"));
    EXPECT_FALSE(RegistryKeyExists(Classes, Clsid(Server64Clsid), KEY_WOW64_64KEY));
    EXPECT_FALSE(RegistryKeyExists(
        Classes, L"Pelodra\\shellex\\ContextMenuHandlers\\" + std::wstring(Server64Clsid)));
    EXPECT_FALSE(RegistryValue(Machine, Approved, Server64Clsid));
    EXPECT_EQ(RegistryString(Classes, L"Pelodra\\shellex\\DropHandler", L""), Server32Clsid);
  }
  EXPECT_EQ(RegistryString(Machine, Approved, Server32Clsid), L"Pelodra shell extension");
  EXPECT_EQ(RegistryString(Machine, RegisteredApplications, L"Pelodra"),
            L"Software\\Pelodra\\Capabilities");

  ApplyShellExtension(true, IntegrationOptions{});
  EXPECT_FALSE(RegistryKeyExists(Classes, L"*\\shellex\\ContextMenuHandlers\\Pelodra"));
  for (REGSAM view : {REGSAM{0}, REGSAM{KEY_WOW64_64KEY}}) {
    EXPECT_FALSE(RegistryKeyExists(Classes, Clsid(Server32Clsid), view));
    EXPECT_FALSE(RegistryKeyExists(Classes, Clsid(Server64Clsid), view));
    for (const wchar_t* clsid : {Server32Clsid, Server64Clsid})
      EXPECT_FALSE(RegistryValue(Machine, Approved, clsid, view)) << view;
    EXPECT_FALSE(RegistryValue(Machine, RegisteredApplications, L"Pelodra", view));
    EXPECT_FALSE(RegistryKeyExists(Machine, L"Software\\Pelodra", view)) << view;
  }
}

// Run by the test below in a process that sees an older Windows.
TEST_F(ShellRegistration, DISABLED_BeforeWindows6NoDefaultProgramsEntry) {
  ASSERT_LT(GetWindowsVersion(), 0x0600u);
  ApplyShellExtension(false, ShellExtOn());
  EXPECT_EQ(RegistryString(Machine, Approved, Server32Clsid), L"Pelodra shell extension");
  EXPECT_FALSE(RegistryValue(Machine, RegisteredApplications, L"Pelodra"));
  EXPECT_FALSE(RegistryKeyExists(Machine, L"Software\\Pelodra\\Capabilities"));
  ApplyShellExtension(true, IntegrationOptions{});
  EXPECT_FALSE(RegistryValue(Machine, Approved, Server32Clsid));
}

TEST(ShellRegistrationOnOlderWindows, NeitherRegisteredApplicationsNorCapabilities) {
  // The only XP choices: 5.2 on 64-bit Windows, 5.1 on 32-bit Windows.
  std::wstring defaults = L"Software\\Wine\\AppDefaults\\" + ExeName();
  SavedRegistryKey keep(HKEY_CURRENT_USER, defaults);
  std::wstring version = IsWow64() ? L"winxp64" : L"winxp";
  ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, defaults, L"Version", version));

  wchar_t self[MAX_PATH * 4] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
  std::wstring report = FreshFolder(L"e2e_older_windows") + L"\\result.xml";
  RunResult run = RunProgram(self,
                             L"--gtest_also_run_disabled_tests "
                             L"--gtest_filter=ShellRegistration.DISABLED_BeforeWindows6* "
                             L"--gtest_output=xml:\"" +
                                 report + L"\"");
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0u) << "the run as an older Windows failed";
  std::string result = ReadBytes(report);
  EXPECT_NE(result.find("tests=\"1\" failures=\"0\""), std::string::npos) << result;
  RemoveTree(report.substr(0, report.rfind(L'\\')));
}
