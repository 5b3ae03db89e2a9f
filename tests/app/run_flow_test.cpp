#include "app/run_flow.h"

#include <gtest/gtest.h>

#include "app/setup_run.h"
#include "base/error_state.h"
#include "base/log.h"
#include "base/program_path.h"
#include "base/run_state.h"
#include "fs/log_file.h"
#include "settings/settings_file.h"
#include "support/current_folder.h"
#include "support/log_lines.h"
#include "support/private_hive.h"
#include "support/test_files.h"
#include "support/test_registry.h"

namespace {

// Counts the windows this thread makes while it lives: dialogs, message
// boxes and their controls alike.
class WindowCreationCount {
 public:
  WindowCreationCount() : hook_(SetWindowsHookExW(WH_CBT, Count, nullptr, GetCurrentThreadId())) {
    created_ = 0;
  }
  ~WindowCreationCount() { UnhookWindowsHookEx(hook_); }
  bool Hooked() const { return hook_ != nullptr; }
  int Created() const { return created_; }

 private:
  static LRESULT CALLBACK Count(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) ++created_;
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }
  HHOOK hook_;
  static int created_;
};
int WindowCreationCount::created_ = 0;

RunRequest RequestFor(const std::wstring& folder) {
  RunRequest request{};
  wcscpy(request.folder, folder.c_str());
  wcscpy(request.program, (folder + L"\\uninstall.exe").c_str());
  return request;
}

}  // namespace

// The installer's settings file goes beside the program, wherever the
// installer started it from; never over a file that is there, and without
// the read-only attribute of an installer's medium.
TEST(CopySettingsFromInstaller, CopiesOnlyAnExistingFileIntoTheProgramsFolder) {
  std::wstring installer = FreshFolder(L"installer");
  std::wstring product = FreshFolder(L"product");
  std::wstring elsewhere = FreshFolder(L"elsewhere");
  std::wstring program = product + L"\\uninstall.exe";
  ScopedCurrentFolder current(elsewhere);
  std::wstring archive = installer + L"\\pelodra-setup.exe";
  wchar_t copy[MaxPathChars] = {};
  ASSERT_TRUE(GetSettingsCopyPath(program.c_str(), copy));
  EXPECT_EQ(std::wstring(copy), product + L"\\Pelodra.ini");

  SetEnvironmentVariableW(L"sfxname", nullptr);
  EXPECT_FALSE(CopySettingsFromInstaller(program.c_str()));
  SetEnvironmentVariableW(L"sfxname", archive.c_str());
  EXPECT_FALSE(CopySettingsFromInstaller(program.c_str()));
  EXPECT_FALSE(Exists(product + L"\\pelodra.ini"));

  ASSERT_TRUE(WriteBytes(installer + L"\\pelodra.ini", "from installer"));
  SetFileAttributesW((installer + L"\\pelodra.ini").c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_TRUE(CopySettingsFromInstaller(program.c_str()));
  EXPECT_EQ(ReadBytes(product + L"\\pelodra.ini"), "from installer");
  EXPECT_FALSE(GetFileAttributesW((product + L"\\pelodra.ini").c_str()) & FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(Exists(elsewhere + L"\\pelodra.ini"));

  SetFileAttributesW((installer + L"\\pelodra.ini").c_str(), FILE_ATTRIBUTE_NORMAL);
  ASSERT_TRUE(WriteBytes(installer + L"\\pelodra.ini", "newer"));
  EXPECT_FALSE(CopySettingsFromInstaller(program.c_str()));
  EXPECT_EQ(ReadBytes(product + L"\\pelodra.ini"), "from installer");
  SetEnvironmentVariableW(L"sfxname", nullptr);
}

// A silent setup asks nothing and shows nothing: no dialog is even made,
// also not for a refusal. It still saves the choices the command line
// amended, and ends with the code for what Windows refused.
TEST(RunSetup, ASilentSetupMakesNoWindow) {
  PrivateHive user(L"SilentSetupUser");
  PrivateHive machine(L"SilentSetupMachine", HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(user.Active() && machine.Active());
  std::wstring folder = FreshFolder(L"silent setup");
  SetProgramPathForTesting((folder + L"\\uninstall.exe").c_str());
  ResetSettingsStoreForTesting();
  RunRequest request = RequestFor(folder);
  request.setup = request.silent = request.msi = true;
  wcscpy(request.initOptions, L"D1P0");
  {
    ReadOnlyKey appPaths(HKEY_LOCAL_MACHINE,
                         L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Pelodra.exe");
    WindowCreationCount windows;
    ASSERT_TRUE(windows.Hooked());
    EXPECT_EQ(RunSetup(request), ExitIncomplete);
    EXPECT_EQ(windows.Created(), 0);
  }
  EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, L"Software\\Pelodra\\Setup\\Links", L"Desktop"), 1u);
  EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, L"Software\\Pelodra\\Setup\\Links", L"Programs"), 0u);
  SetProgramPathForTesting(nullptr);
  ResetSettingsStoreForTesting();
  RemoveTree(folder);
}

TEST(RestrictDllSearch, TakesTheCurrentFolderOutOfTheSearch) {
  SetDllDirectoryW(L"C:\\windows");
  RestrictDllSearch();
  wchar_t folder[MAX_PATH] = L"unchanged";
  EXPECT_EQ(GetDllDirectoryW(MAX_PATH, folder), 0u);
  EXPECT_STREQ(folder, L"");
  SetDllDirectoryW(nullptr);
}

// The run ends what it started itself, in order: the settings file is
// written and let go, and only then does the log get its last line.
TEST(EndRun, TheLogEndsAfterWhatTheTeardownWrites) {
  std::wstring folder = FreshFolder(L"end run");
  SetProgramPathForTesting((folder + L"\\uninstall.exe").c_str());
  ASSERT_TRUE(WriteBytes(folder + L"\\Pelodra.ini", "HKCU\\Setup\\Links\\Desktop=1\r\n"));
  ResetSettingsStoreForTesting();
  LoadIniFile();
  ASSERT_TRUE(IsIniActive());
  std::wstring log = folder + L"\\end.log";
  ASSERT_TRUE(OpenLogFile(log.c_str(), nullptr, 0));
  EndRun(ExitIncomplete);
  EXPECT_FALSE(IsIniActive());
  EXPECT_FALSE(IsLogging());
  std::vector<LogLine> lines = ReadLog(log);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].what, "settings file written");
  EXPECT_EQ(lines[1].what, "end");
  EXPECT_EQ(lines[1].result, "exit code 2 (incomplete)");
  ErrorState.Reset();
  SetProgramPathForTesting(nullptr);
  ResetSettingsStoreForTesting();
  RemoveTree(folder);
}
