#include "dialogs/setup_dialog.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "base/program_path.h"
#include "base/run_state.h"
#include "dialog_test_support.h"
#include "dialogs/dialog_templates.h"
#include "integration/apply.h"
#include "localization/language_module.h"
#include "resources/resource_ids.h"
#include "support/all_choices.h"
#include "support/test_registry.h"

namespace {

IntegrationOptions Cleared() {
  IntegrationOptions options{};
  return options;
}

std::string AssociateDigits(const IntegrationOptions& options) {
  std::string digits;
  for (bool flag : options.Associate) digits += flag ? '1' : '0';
  return digits;
}

}  // namespace

class SetupDialogTest : public DialogTest {
 protected:
  HWND Open() {
    return OpenDialog(L"SETUPDLG", SetupDialogProc, reinterpret_cast<LPARAM>(&choices_));
  }
  IntegrationOptions choices_{};
};

// The boxes are numbered by extension, not by row: rows 4, 14 and 15 sit
// on 5116, 5115 and 5114. Every field must travel to its own box and back.
TEST_F(SetupDialogTest, EveryFieldHasItsOwnBox) {
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  const int rowBoxes[ExtensionRowCount] = {5101, 5102, 5103, 5104, 5116, 5105, 5106, 5107, 5108,
                                           5109, 5110, 5111, 5112, 5113, 5115, 5114, 5117, 5118};
  for (unsigned row = 0; row < ExtensionRowCount; ++row) {
    IntegrationOptions options = Cleared();
    options.Associate[row] = true;
    ShowOptionControls(dialog, options);
    for (int id = 5101; id <= 5124; ++id)
      EXPECT_EQ(IsDlgButtonChecked(dialog, id) == BST_CHECKED, id == rowBoxes[row])
          << "row " << row << " box " << id;
    IntegrationOptions read = AllSet();
    ReadOptionControls(dialog, read);
    EXPECT_EQ(AssociateDigits(read).substr(0, ExtensionRowCount),
              std::string(row, '0') + '1' + std::string(ExtensionRowCount - row - 1, '0'));
  }

  bool IntegrationOptions::*fields[] = {
      &IntegrationOptions::Desktop,      &IntegrationOptions::StartMenu,
      &IntegrationOptions::Programs,     &IntegrationOptions::ShellExt,
      &IntegrationOptions::CascadedMenu, &IntegrationOptions::MenuIcons};
  for (int i = 0; i < 6; ++i) {
    IntegrationOptions options = Cleared();
    options.*fields[i] = true;
    ShowOptionControls(dialog, options);
    for (int id = 5101; id <= 5124; ++id)
      EXPECT_EQ(IsDlgButtonChecked(dialog, id) == BST_CHECKED, id == IDC_DESKTOP + i) << id;
    IntegrationOptions read = AllSet();
    ReadOptionControls(dialog, read);
    EXPECT_TRUE(read.*fields[i]);
    EXPECT_EQ(read.Desktop + read.StartMenu + read.Programs + read.ShellExt + read.CascadedMenu +
                  read.MenuIcons,
              1);
    // Spare elements have no box and are left as they were.
    EXPECT_TRUE(read.Associate[18] && read.Associate[19]);
  }
  DestroyWindow(dialog);
}

TEST_F(SetupDialogTest, SelectAllChecksEveryTypeUnlessAllAreCheckedAlready) {
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  IntegrationOptions options = AllSet();
  options.Associate[17] = false;
  options.Desktop = false;
  ShowOptionControls(dialog, options);

  SendDlgItemMessageW(dialog, IDC_SELECT_ALL, BM_CLICK, 0, 0);
  IntegrationOptions read = Cleared();
  ReadOptionControls(dialog, read);
  EXPECT_EQ(AssociateDigits(read), "11111111111111111100");
  SendDlgItemMessageW(dialog, IDC_SELECT_ALL, BM_CLICK, 0, 0);
  ReadOptionControls(dialog, read);
  EXPECT_EQ(AssociateDigits(read), "00000000000000000000");
  // The shortcut and shell boxes are not the button's business.
  EXPECT_FALSE(read.Desktop);
  EXPECT_TRUE(read.StartMenu && read.Programs && read.ShellExt && read.CascadedMenu &&
              read.MenuIcons);
  DestroyWindow(dialog);
}

TEST_F(SetupDialogTest, TheShellBoxEnablesTheMenuBoxesAndKeepsTheirState) {
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  IntegrationOptions options = AllSet();
  options.CascadedMenu = false;
  ShowOptionControls(dialog, options);
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_CASCADED_MENU)));

  SendDlgItemMessageW(dialog, IDC_SHELL_EXT, BM_CLICK, 0, 0);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_CASCADED_MENU)));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_MENU_ICONS)));
  IntegrationOptions read = Cleared();
  ReadOptionControls(dialog, read);
  EXPECT_FALSE(read.ShellExt);
  EXPECT_FALSE(read.CascadedMenu);
  EXPECT_TRUE(read.MenuIcons);

  SendDlgItemMessageW(dialog, IDC_SHELL_EXT, BM_CLICK, 0, 0);
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_MENU_ICONS)));
  DestroyWindow(dialog);
}

TEST_F(SetupDialogTest, TheDialogStartsFromTheStoredOptionsAmendedByTheCommandLine) {
  ASSERT_TRUE(SetRegistryDword(HKEY_CURRENT_USER, L"Software\\Pelodra\\Setup\\.zip", L"Set", 0));
  ASSERT_TRUE(SetRegistryDword(HKEY_CURRENT_USER, L"Software\\Pelodra\\Setup", L"ShellExt", 0));
  LoadStartingOptions(L"A0D1", choices_);
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  EXPECT_FALSE(IsDlgButtonChecked(dialog, IDC_ASSOCIATE_KEL));
  EXPECT_FALSE(IsDlgButtonChecked(dialog, IDC_ASSOCIATE_ZIP));
  EXPECT_TRUE(IsDlgButtonChecked(dialog, IDC_ASSOCIATE_CAB));
  EXPECT_TRUE(IsDlgButtonChecked(dialog, IDC_DESKTOP));
  EXPECT_FALSE(IsDlgButtonChecked(dialog, IDC_SHELL_EXT));
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_MENU_ICONS)));
  EXPECT_TRUE(IsDlgButtonChecked(dialog, IDC_MENU_ICONS));

  // Four blanks open each of the two lines of the explanation.
  std::wstring explanation = TextOf(dialog, IDC_EXPLANATION);
  EXPECT_EQ(explanation.rfind(L"    Check the archive types", 0), 0u) << explanation.c_str();
  size_t second = explanation.find(L"    You can change");
  ASSERT_NE(second, std::wstring::npos) << explanation.c_str();
  EXPECT_TRUE(explanation[second - 1] == L'\n' || explanation[second - 1] == L'\r');
  DestroyWindow(dialog);
}

// The dialog only asks: neither answer writes anything, and only OK hands
// the boxes back.
TEST_F(SetupDialogTest, TheAnswerHandsTheBoxesBackAndWritesNothing) {
  for (int answer : {IDCANCEL, IDOK}) {
    choices_ = Cleared();
    HWND dialog = Open();
    ASSERT_NE(dialog, nullptr);
    SendDlgItemMessageW(dialog, IDC_ASSOCIATE_KEL, BM_CLICK, 0, 0);
    SendDlgItemMessageW(dialog, IDC_DESKTOP, BM_CLICK, 0, 0);
    SendMessageW(dialog, WM_COMMAND, answer, 0);
    EXPECT_EQ(choices_.Associate[0] && choices_.Desktop, answer == IDOK) << answer;
    EXPECT_FALSE(choices_.StartMenu || choices_.Associate[1]) << answer;
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, L"Software\\Pelodra")) << answer;
    DestroyWindow(dialog);
  }
}

TEST_F(SetupDialogTest, EnableHelperActsOnTheControl) {
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  HWND button = GetDlgItem(dialog, IDC_CONTEXT_ITEMS);
  EnableDlgItem(dialog, IDC_CONTEXT_ITEMS, false);
  EXPECT_FALSE(IsWindowEnabled(button));
  DestroyWindow(dialog);
}

// A dialog that cannot be made (here: its rich-edit class is missing) has
// applied nothing; the run must not go on as if it had been confirmed.
TEST_F(SetupDialogTest, ADialogThatCannotBeShownCountsAsCancelled) {
  HMODULE richEdit = GetModuleHandleW(L"riched20.dll");
  ASSERT_NE(richEdit, nullptr);
  ASSERT_TRUE(UnregisterClassW(L"RichEdit20W", richEdit));
  IntegrationOptions choices = AllSet();
  EXPECT_FALSE(AskSetupChoices(choices));
  EXPECT_TRUE(choices.Desktop && choices.ShellExt);
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, L"Software\\Pelodra"));
  // Loading the library afresh registers its classes again.
  while (FreeLibrary(richEdit) && GetModuleHandleW(L"riched20.dll")) {
  }
  ASSERT_NE(LoadLibraryW(L"riched20.dll"), nullptr);
  HWND dialog = Open();
  EXPECT_NE(dialog, nullptr);
  DestroyWindow(dialog);
}

// The hostile language module's setup template comes in the old form,
// without a caption, as large as a template can say, with a box of its own
// and only the boxes of ZIP, the desktop and the shell extension. What it
// has no box for keeps the value the dialog started with.
TEST_F(SetupDialogTest, OptionsWithoutABoxInALanguageModulesTemplateKeepTheirValues) {
  const std::wstring setupKey = L"Software\\Pelodra\\Setup";
  // Nothing to associate, link or register: confirming changes no shared state.
  for (const ExtensionRow& row : ExtensionTable)
    ASSERT_TRUE(
        SetRegistryDword(HKEY_CURRENT_USER, setupKey + L"\\" + row.keyExtension, L"Set", 0));
  ASSERT_TRUE(SetRegistryDword(HKEY_CURRENT_USER, setupKey + L"\\Links", L"Programs", 0));
  ASSERT_TRUE(SetRegistryDword(HKEY_CURRENT_USER, setupKey + L"\\Links", L"Desktop", 1));
  ASSERT_TRUE(SetRegistryDword(HKEY_CURRENT_USER, setupKey, L"ShellExt", 0));
  ASSERT_TRUE(SetRegistryDword(HKEY_CURRENT_USER, setupKey, L"CascadedMenu", 1));
  LoadSampleLanguageModule(L"hostile");
  ASSERT_EQ(DialogTemplateModule(L"SETUPDLG"), ResourceModule());
  LoadStartingOptions(nullptr, choices_);
  HWND dialog = CreateDialogParamW(ResourceModule(), L"SETUPDLG", nullptr, SetupDialogProc,
                                   reinterpret_cast<LPARAM>(&choices_));
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(GetWindowTextLengthW(dialog), 0);
  ASSERT_EQ(GetDlgItem(dialog, IDC_CASCADED_MENU), nullptr);

  IntegrationOptions read = AllSet();
  ReadOptionControls(dialog, read);
  EXPECT_EQ(AssociateDigits(read), "10111111111111111111");
  EXPECT_FALSE(read.ShellExt);
  EXPECT_TRUE(read.Desktop && read.StartMenu && read.Programs && read.CascadedMenu &&
              read.MenuIcons);

  // Select all weighs only the boxes there are.
  ToggleAllAssociations(dialog);
  EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_ASSOCIATE_ZIP), BST_CHECKED);
  ToggleAllAssociations(dialog);
  EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_ASSOCIATE_ZIP), BST_UNCHECKED);

  SendDlgItemMessageW(dialog, IDC_DESKTOP, BM_CLICK, 0, 0);
  SendMessageW(dialog, WM_COMMAND, IDOK, 0);
  DestroyWindow(dialog);
  wchar_t group[MaxPathChars] = {};
  EXPECT_TRUE(ApplySetup(choices_, EntryOwner::OutsideInstaller, group, MaxPathChars));
  EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, setupKey + L"\\Links", L"Desktop"), 0u);
  EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, setupKey + L"\\Links", L"Programs"), 0u);
  EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, setupKey, L"ShellExt"), 0u);
  EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, setupKey, L"CascadedMenu"), 1u);
  EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, setupKey, L"MenuIcons"), 1u);
}
