// The real program, copied into a stand-in installation and started as the
// installer, the uninstall entry or its own batch file would start it.
#include <gtest/gtest.h>

#include "support/e2e.h"
#include "support/gui_driver.h"
#include "support/test_files.h"
#include "support/test_registry.h"

namespace {

const wchar_t ProductKey[] = L"Software\\Pelodra";

std::vector<std::wstring> FilesIn(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (wcscmp(data.cFileName, L".") && wcscmp(data.cFileName, L".."))
      names.push_back(data.cFileName);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

}  // namespace

TEST(CommandLine, WaitEndsWithZeroAfterTwoSeconds) {
  Installation product = MakeInstallation(L"Pelodra wait");
  RunResult run = RunProgram(product.exe, L"/wait");
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_GE(run.elapsedMs, 2000u);
  EXPECT_LT(run.elapsedMs, 15000u);
}

TEST(CommandLine, UnknownSwitchDoesNothing) {
  Installation product = MakeInstallation(L"Pelodra unknown");
  RunResult run = RunProgram(product.exe, L"/x", {{L"sfxcmd", L"/S"}});
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_LT(run.elapsedMs, 10000u);
  EXPECT_EQ(FilesIn(product.folder), std::vector<std::wstring>{L"uninstall.exe"});
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, ProductKey));
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, ProductKey));
}

// The clean-up batch file starts the program so when its own file is left;
// the user is told which file, and the run ends with 0.
TEST(CommandLine, WarningShowsTheProgramsPath) {
  Installation product = MakeInstallation(L"Pelodra warning");
  std::wstring shown;
  RunResult run = RunProgram(product.exe, L"/warning", {}, 60000, [&](DWORD process) {
    HWND box = WaitForDialog(process, 30000);
    ASSERT_NE(box, nullptr) << "no message box";
    shown = WindowTextOf(box) + L"\n" + StaticTexts(box);
    ClickButton(box, IDOK);
  });
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_NE(shown.find(product.exe), std::wstring::npos) << shown.c_str();
  EXPECT_NE(shown.find(L"Pelodra"), std::wstring::npos);
}

// From the installer's text only the silent switch counts: a "warning"
// there shows nothing, and the run ends with 0.
TEST(CommandLine, WarningInTheInstallersTextIsIgnored) {
  Installation product = MakeInstallation(L"Pelodra sfxcmd");
  HWND box = nullptr;
  RunResult run = RunProgram(product.exe, L"/x", {{L"sfxcmd", L"/warning"}}, 30000,
                             [&](DWORD process) { box = WaitForDialog(process, 3000); });
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(box, nullptr);
}
