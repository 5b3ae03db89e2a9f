#include "dialogs/common.h"

#include <gtest/gtest.h>

#include <string>

#include "base/program_path.h"
#include "base/run_state.h"
#include "dialog_template.h"
#include "dialogs/help.h"
#include "language_test_support.h"
#include "support/test_files.h"
#include "support/test_registry.h"

namespace {

constexpr wchar_t DialogName[] = L"SETUPDLG";
constexpr wchar_t Topic[] = L"HELPIntegrationSettings";
constexpr wchar_t GeneralKey[] = L"Software\\Pelodra\\General";

// What the common step answered for the last help request of each kind.
struct Answers {
  const wchar_t* topic = Topic;
  int helpMessage = -1;
  int helpButton = -1;
};
Answers answers;

INT_PTR CALLBACK Procedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  bool handled =
      HandleCommonDialogMessage(dialog, message, wParam, lParam, DialogName, answers.topic);
  if (message == WM_HELP) answers.helpMessage = handled;
  if (message == WM_COMMAND && LOWORD(wParam) == IDHELP) answers.helpButton = handled;
  if (handled) return TRUE;
  return message == WM_INITDIALOG;
}

DialogTemplate HelpDialog() {
  DialogTemplate tpl(DS_MODALFRAME | WS_POPUP | WS_CAPTION | WS_VISIBLE, L"Setup", 200, 100);
  tpl.Add(ControlClass::Static, 100, L"Choose", 10, 10, 100, 10)
      .Add(ControlClass::Button, IDHELP, L"Help", 10, 70, 50, 14, BS_PUSHBUTTON | WS_TABSTOP)
      .Add(ControlClass::Button, IDOK, L"OK", 140, 70, 50, 14, BS_DEFPUSHBUTTON | WS_TABSTOP);
  return tpl;
}

BOOL CALLBACK CountVisible(HWND window, LPARAM count) {
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process == GetCurrentProcessId() && IsWindowVisible(window)) ++*reinterpret_cast<int*>(count);
  return TRUE;
}

int VisibleWindows() {
  int count = 0;
  EnumWindows(CountVisible, reinterpret_cast<LPARAM>(&count));
  return count;
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

class CommonDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    answers = Answers();
    folder_ = FreshFolder(L"common_dialog");
    SetProgramPathForTesting((folder_ + L"\\uninstall.exe").c_str());
  }
  void TearDown() override {
    ResetHelpForTesting();
    ResetLanguageFileForTesting();
    SetProgramPathForTesting(nullptr);
    DeleteRegistryValue(HKEY_CURRENT_USER, GeneralKey, L"LanguageFolder");
    RemoveTree(folder_);
  }
  std::wstring folder_;
};

}  // namespace

TEST_F(CommonDialogTest, F1AndTheHelpButtonWithoutAHelpFileShowNothing) {
  HWND dialog = CreateTestDialog(HelpDialog(), Procedure, DialogName);
  ASSERT_NE(dialog, nullptr);
  Pump();
  int windows = VisibleWindows();

  HELPINFO info = {sizeof info, HELPINFO_WINDOW, 100, GetDlgItem(dialog, 100), 0, {0, 0}};
  SendMessageW(dialog, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(answers.helpMessage, 1);
  SendDlgItemMessageW(dialog, IDHELP, BM_CLICK, 0, 0);
  EXPECT_EQ(answers.helpButton, 0);
  Pump();
  EXPECT_EQ(VisibleWindows(), windows);
  EXPECT_TRUE(IsWindow(dialog));
  EXPECT_EQ(std::wstring(HelpFilePathForTesting()), folder_ + L"\\Pelodra.chm");

  // Without a topic F1 is swallowed before it asks for help at all.
  ResetHelpForTesting();
  answers.topic = nullptr;
  SendMessageW(dialog, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
  EXPECT_EQ(answers.helpMessage, 1);
  EXPECT_STREQ(HelpFilePathForTesting(), L"");
  DestroyWindow(dialog);
  CloseHelp();
}

TEST_F(CommonDialogTest, TheDialogIsLocalizedAndMirroredAsItStarts) {
  LoadSection(std::wstring(Marker) + L"\r\n" + KeyOf(L"Setup", TextKind::DialogText, DialogName) +
              L"=\"Einrichtung\"\r\n" + KeyOf(L"Help", TextKind::DialogText, DialogName) +
              L"=\"Hilfe\"\r\n");
  SetRightToLeft(true);
  HWND dialog = CreateTestDialog(HelpDialog(), Procedure, DialogName);
  SetRightToLeft(false);
  ASSERT_NE(dialog, nullptr);
  wchar_t text[64];
  GetWindowTextW(dialog, text, 64);
  EXPECT_STREQ(text, L"Einrichtung");
  GetDlgItemTextW(dialog, IDHELP, text, 64);
  EXPECT_STREQ(text, L"Hilfe");
  EXPECT_TRUE(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
  DestroyWindow(dialog);
}

TEST_F(CommonDialogTest, AHelpFileInTheLanguageFolderIsPreferred) {
  std::wstring lang = folder_ + L"\\lang";
  CreateDirectoryW(lang.c_str(), nullptr);
  WriteBytes(lang + L"\\Pelodra.chm", "not really a help file");
  ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, GeneralKey, L"LanguageFolder", lang));
  EXPECT_EQ(ShowHelp(nullptr), nullptr);
  EXPECT_EQ(std::wstring(HelpFilePathForTesting()), lang + L"\\Pelodra.chm");
}

TEST_F(CommonDialogTest, APathOutsideTheAnsiCodePageIsRetriedOnceInItsShortForm) {
  std::wstring greek = folder_ + L"\\\u0395\u03BB\u03BB\u03B7\u03BD\u03B9\u03BA\u03AC folder";
  ASSERT_TRUE(CreateDirectoryW(greek.c_str(), nullptr));
  std::wstring program = greek + L"\\uninstall.exe";
  WriteBytes(program, "MZ");
  SetProgramPathForTesting(program.c_str());
  wchar_t shortForm[MaxPathChars] = {};
  GetShortPathNameW(program.c_str(), shortForm, MaxPathChars);

  EXPECT_EQ(ShowHelp(Topic), nullptr);
  std::wstring retried = HelpFilePathForTesting();
  EXPECT_NE(retried, greek + L"\\Pelodra.chm");
  std::wstring expected = shortForm;
  expected = expected.substr(0, expected.rfind(L'\\')) + L"\\Pelodra.chm";
  EXPECT_EQ(retried, expected);

  // No second retry in this process: the rebuilt path stays.
  SetProgramPathForTesting((folder_ + L"\\other.exe").c_str());
  EXPECT_EQ(ShowHelp(nullptr), nullptr);
  EXPECT_EQ(std::wstring(HelpFilePathForTesting()), retried);
}
