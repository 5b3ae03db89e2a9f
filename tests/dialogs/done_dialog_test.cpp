#include "dialogs/done_dialog.h"

#include <gtest/gtest.h>

#include <string>

#include "base/program_path.h"
#include "base/run_state.h"
#include "base/win_handles.h"
#include "dialog_test_support.h"
#include "dialogs/common.h"
#include "dialogs/dialog_templates.h"
#include "language_samples.h"
#include "localization/language_module.h"
#include "resources/resource_ids.h"
#include "support/current_folder.h"
#include "support/test_files.h"

namespace {

class DoneDialogTest : public DialogTest {
 protected:
  void TearDown() override {
    ReleaseLanguageModule();
    DialogTest::TearDown();
  }
};

}  // namespace

// An installer may start the program from any folder: the folder shown is
// the program's own.
TEST_F(DoneDialogTest, ShowsTheProgramsFolderUnderABoldHeading) {
  std::wstring folder = folder_ + L"\\A & B";
  CreateDirectoryW(folder.c_str(), nullptr);
  SetProgramPathForTesting((folder + L"\\uninstall.exe").c_str());
  ScopedCurrentFolder current(folder_);
  GdiObject font(CreateFontW(-12, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, 0, 0, 0, 0,
                             L"MS Shell Dlg"));

  HWND dialog = OpenDialog(L"DONEDLG", DoneDialogProc, reinterpret_cast<LPARAM>(font.Get()));
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(TextOf(dialog, IDC_DONE_FOLDER), folder);
  EXPECT_EQ(
      reinterpret_cast<HFONT>(SendDlgItemMessageW(dialog, IDC_DONE_HEADING, WM_GETFONT, 0, 0)),
      font.Get());
  EXPECT_EQ(reinterpret_cast<HICON>(SendMessageW(dialog, WM_GETICON, ICON_BIG, 0)), ProductIcon());
  // A folder name is shown as it is, not read for access keys.
  EXPECT_TRUE(GetWindowLongW(GetDlgItem(dialog, IDC_DONE_FOLDER), GWL_STYLE) & SS_NOPREFIX);
  DestroyWindow(dialog);
}

// A language module may carry only some of the dialogs; the program's own
// templates stand in for the others.
TEST_F(DoneDialogTest, DialogsMissingFromTheLanguageModuleComeFromTheProgram) {
  std::wstring dll = folder_ + L"\\kellng.dll";
  ASSERT_TRUE(CopyFileW((std::wstring(LANGUAGE_SAMPLES_FOLDER) + L"\\kellng.dll").c_str(),
                        dll.c_str(), FALSE));
  LoadLanguageModule(GetModuleHandleW(nullptr));
  ASSERT_NE(ResourceModule(), ProgramModule());
  EXPECT_EQ(DialogTemplateModule(L"DONEDLG"), ResourceModule());
  EXPECT_EQ(DialogTemplateModule(L"SETUPDLG"), ProgramModule());
  EXPECT_EQ(DialogTemplateModule(L"SETUPCONTEXTITEMS"), ProgramModule());
}

namespace {

// Ends the dialog at once with 2 when it holds the program's help button.
INT_PTR CALLBACK TellsWhoseTemplate(HWND dialog, UINT message, WPARAM, LPARAM) {
  if (message != WM_INITDIALOG) return FALSE;
  EndDialog(dialog, GetDlgItem(dialog, IDC_DONE_HELP) ? 2 : 3);
  return TRUE;
}

}  // namespace

// The hostile module's done dialog names a control class nobody registers.
TEST_F(DoneDialogTest, ATemplateOfTheLanguageModuleThatCannotBeMadeGivesWayToTheProgramsOwn) {
  LoadSampleLanguageModule(L"hostile");
  ASSERT_EQ(DialogTemplateModule(L"DONEDLG"), ResourceModule());
  EXPECT_EQ(DialogBoxParamW(ResourceModule(), L"DONEDLG", nullptr, TellsWhoseTemplate, 0), -1);
  EXPECT_EQ(ShowTemplateDialog(L"DONEDLG", nullptr, TellsWhoseTemplate), 2);
}

// A translation names what the "how to order" button opens, and may come
// from a folder any user can write: only a web address, or a file that
// stays in the program's folder, is opened.
TEST_F(DoneDialogTest, TheOrderButtonOpensOnlyAnAddressOrAFileOfTheProgramsFolder) {
  auto resolved = [](const wchar_t* text) {
    wchar_t target[MaxPathChars] = L"untouched";
    return ResolveDoneDocument(text, target, MaxPathChars) ? std::wstring(target)
                                                           : std::wstring(L"(nothing)");
  };
  for (const wchar_t* name :
       {L"Order.htm", L"Bestellung \u00fcber Preise.htm", L"NULL.htm", L"com10.txt", L".htaccess"})
    EXPECT_EQ(resolved(name), folder_ + L"\\" + name);
  for (const wchar_t* address :
       {L"http://example.com/order", L"HTTPS://example.com/a?b=c&d=%20", L"https://example.com"})
    EXPECT_EQ(resolved(address), address);

  for (const wchar_t* refused : {L"",
                                 L".",
                                 L"..",
                                 L"...",
                                 L"..\\Order.htm",
                                 L"sub\\Order.htm",
                                 L"sub/Order.htm",
                                 L"C:\\Windows\\notepad.exe",
                                 L"C:Order.htm",
                                 L"\\\\server\\share\\Order.htm",
                                 L"\\Order.htm",
                                 L"Order.htm:hidden",
                                 L"Order.htm.",
                                 L"Order.htm ",
                                 L"*.htm",
                                 L"Order\t.htm",
                                 L"NUL",
                                 L"con.htm",
                                 L"Aux .txt",
                                 L"COM1",
                                 L"lpt9.txt",
                                 L"COM\u00b9",
                                 L"CONOUT$",
                                 L"file:///C:/Windows/notepad.exe",
                                 L"mailto:order@example.com",
                                 L"javascript:alert(1)",
                                 L"http://",
                                 L"http:///etc/passwd",
                                 L"http://a b",
                                 L"http://example.com/\" --new-window C:\\x",
                                 L"https://example.com/<script>",
                                 L"http://\u0435xample.com",
                                 L"ftp://example.com"})
    EXPECT_EQ(resolved(refused), L"(nothing)") << refused;

  // A result that would be cut is no result.
  wchar_t small[8];
  EXPECT_FALSE(ResolveDoneDocument(L"Order.htm", small, 8));
  std::wstring longName(MaxPathChars - folder_.size() - 1, L'x');
  wchar_t target[MaxPathChars];
  EXPECT_FALSE(ResolveDoneDocument(longName.c_str(), target, MaxPathChars));
  EXPECT_TRUE(ResolveDoneDocument(longName.substr(1).c_str(), target, MaxPathChars));
}
