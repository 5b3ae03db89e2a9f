// A language module cut to half its length beside the program, as an
// interrupted copy leaves it: the setup, the warning and the uninstall all
// still run, in the program's own language, and the uninstall removes the
// damaged module with the rest.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup_test_support.h"
#include "support/e2e.h"
#include "support/gui_driver.h"
#include "support/test_files.h"

namespace {

std::wstring HalfModule() {
  wchar_t program[MAX_PATH * 4] = {};
  GetEnvironmentVariableW(L"UNINSTALL_EXE", program, MAX_PATH * 4);
  std::wstring path = program;
  return path.substr(0, path.rfind(L'\\')) + L"\\samples\\damaged\\half\\kellng.dll";
}

bool Holds(const std::vector<std::wstring>& shown, size_t index, const wchar_t* text) {
  return index < shown.size() && shown[index].find(text) != std::wstring::npos;
}

class DamagedLanguage : public ::testing::Test {
 protected:
  void SetUp() override {
    product_ = MakeInstallation(L"Pelodra damaged language");
    ASSERT_TRUE(
        CopyFileW(HalfModule().c_str(), (product_.folder + L"\\kellng.dll").c_str(), FALSE));
  }
  void TearDown() override { RemoveTree(product_.folder); }

  // Runs the program, answering its boxes with `answer`; their texts.
  std::vector<std::wstring> RunAnswering(const wchar_t* args, int answer) {
    std::vector<std::wstring> shown;
    RunResult run = RunProgram(product_.exe, args, {}, 60000,
                               [&](DWORD process) { shown = AnswerBoxes(process, answer); });
    EXPECT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 0u);
    return shown;
  }

  Installation product_;
};

}  // namespace

TEST_F(DamagedLanguage, SetupShowsTheProgramsOwnDialog) {
  SetupTraces traces;
  std::wstring cancel;
  RunResult run = RunProgram(product_.exe, L"/setup", {}, 60000, [&](DWORD process) {
    HWND dialog = WaitForDialogWith(process, IDC_EXPLANATION, 30000);
    ASSERT_NE(dialog, nullptr) << "no setup dialog";
    cancel = ControlText(dialog, IDCANCEL);
    ClickButton(dialog, IDCANCEL);
  });
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(cancel, L"Cancel");
}

TEST_F(DamagedLanguage, TheWarningIsShownInTheProgramsOwnWords) {
  std::vector<std::wstring> shown = RunAnswering(L"/warning", IDOK);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_TRUE(Holds(shown, 0, L"could not remove every file")) << shown[0].c_str();
}

TEST_F(DamagedLanguage, TheUninstallAsksInTheProgramsOwnWordsAndRemovesTheModuleToo) {
  WriteBytes(product_.folder + L"\\Pelodra.exe", "stand-in");
  WriteBytes(product_.folder + L"\\Uninstall.lst",
             "Pelodra.exe\r\nkellng.dll\r\nuninstall.exe\r\n");
  std::vector<std::wstring> shown = RunAnswering(L"", IDYES);
  ASSERT_FALSE(shown.empty());
  EXPECT_TRUE(Holds(shown, 0, L"Do you want to remove Pelodra")) << shown[0].c_str();
  EXPECT_TRUE(WaitUntilGone(product_.folder, 30000)) << "installation folder left";
}
