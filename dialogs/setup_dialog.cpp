#include "dialogs/setup_dialog.h"

#include <richedit.h>

#include "base/run_state.h"
#include "dialogs/common.h"
#include "dialogs/context_items_dialog.h"
#include "dialogs/dialog_templates.h"
#include "fs/path_names.h"
#include "localization/messages.h"
#include "resources/resource_ids.h"

namespace {

constexpr wchar_t DialogName[] = L"SETUPDLG";
constexpr unsigned ExplanationChars = 4096;

// The shortcut and shell boxes, in the order of their fields.
struct FlagControl {
  int id;
  bool IntegrationOptions::*field;
};
constexpr FlagControl FlagControls[] = {
    {IDC_DESKTOP, &IntegrationOptions::Desktop},
    {IDC_START_MENU, &IntegrationOptions::StartMenu},
    {IDC_PROGRAMS, &IntegrationOptions::Programs},
    {IDC_SHELL_EXT, &IntegrationOptions::ShellExt},
    {IDC_CASCADED_MENU, &IntegrationOptions::CascadedMenu},
    {IDC_MENU_ICONS, &IntegrationOptions::MenuIcons},
};

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void SetChecked(HWND dialog, int id, bool checked) {
  CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

// A box the dialog lacks leaves its option alone: read as unchecked, it
// would turn off what the user never saw.
void ReadBox(HWND dialog, int id, bool& option) {
  if (GetDlgItem(dialog, id)) option = IsChecked(dialog, id);
}

void SetExplanation(HWND dialog) {
  wchar_t text[ExplanationChars];
  BoundedCopy(text, L"   ", ExplanationChars);
  for (uint32_t id = IDS_SETUP_EXPLAIN_1; id <= IDS_SETUP_EXPLAIN_5; ++id) {
    BoundedAppend(text, L" ", ExplanationChars);
    BoundedAppend(text, LoadMessage(id), ExplanationChars);
  }
  BoundedAppend(text, L"\r\n    ", ExplanationChars);
  BoundedAppend(text, LoadMessage(IDS_SETUP_EXPLAIN_LINE2), ExplanationChars);
  SetDlgItemTextW(dialog, IDC_EXPLANATION, text);
}

IntegrationOptions* ChoicesOf(HWND dialog) {
  return reinterpret_cast<IntegrationOptions*>(GetWindowLongPtrW(dialog, DWLP_USER));
}

void InitSetupDialog(HWND dialog, IntegrationOptions* choices) {
  SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(choices));
  SetExplanation(dialog);
  if (choices) ShowOptionControls(dialog, *choices);
  SetForegroundWindow(dialog);
  SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(ProductIcon()));
  SendDlgItemMessageW(dialog, IDC_EXPLANATION, EM_SETBKGNDCOLOR, 0, GetSysColor(COLOR_BTNFACE));
}

void ConfirmSetup(HWND dialog) {
  // A language module's template may lack some boxes; their options stay
  // as the dialog started with them.
  if (IntegrationOptions* choices = ChoicesOf(dialog)) ReadOptionControls(dialog, *choices);
  EndDialog(dialog, 1);
}

void RefreshShellControls(HWND dialog) {
  IntegrationOptions options{};
  ReadOptionControls(dialog, options);
  ShowOptionControls(dialog, options);
}

}  // namespace

bool AskSetupChoices(IntegrationOptions& choices) {
  // The dialog works on a copy: a cancelled one leaves the caller's as it was.
  IntegrationOptions shown = choices;
  INT_PTR result =
      ShowTemplateDialog(DialogName, nullptr, SetupDialogProc, reinterpret_cast<LPARAM>(&shown));
  // A dialog that could not be shown (-1) confirmed nothing.
  if (result != 1) return false;
  choices = shown;
  return true;
}

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (HandleCommonDialogMessage(dialog, message, wParam, lParam, DialogName,
                                L"HELPIntegrationSettings"))
    return TRUE;
  if (message == WM_INITDIALOG) {
    InitSetupDialog(dialog, reinterpret_cast<IntegrationOptions*>(lParam));
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  switch (LOWORD(wParam)) {
    case IDOK:
      ConfirmSetup(dialog);
      break;
    case IDCANCEL:
      EndDialog(dialog, 0);
      break;
    case IDC_SHELL_EXT:
      RefreshShellControls(dialog);
      break;
    case IDC_SELECT_ALL:
      ToggleAllAssociations(dialog);
      break;
    case IDC_CONTEXT_ITEMS:
      ShowContextItemsDialog(dialog);
      break;
    default:
      break;
  }
  return TRUE;
}

void ReadOptionControls(HWND dialog, IntegrationOptions& options) {
  for (unsigned row = 0; row < ExtensionRowCount; ++row)
    ReadBox(dialog, ExtensionTable[row].checkBoxId, options.Associate[row]);
  for (const FlagControl& control : FlagControls)
    ReadBox(dialog, control.id, options.*control.field);
}

void ShowOptionControls(HWND dialog, const IntegrationOptions& options) {
  for (unsigned row = 0; row < ExtensionRowCount; ++row)
    SetChecked(dialog, ExtensionTable[row].checkBoxId, options.Associate[row]);
  for (const FlagControl& control : FlagControls)
    SetChecked(dialog, control.id, options.*control.field);
  EnableDlgItem(dialog, IDC_CASCADED_MENU, options.ShellExt);
  EnableDlgItem(dialog, IDC_MENU_ICONS, options.ShellExt);
}

void ToggleAllAssociations(HWND dialog) {
  bool anyUnchecked = false;
  for (const ExtensionRow& row : ExtensionTable)
    if (GetDlgItem(dialog, row.checkBoxId) && !IsChecked(dialog, row.checkBoxId))
      anyUnchecked = true;
  for (const ExtensionRow& row : ExtensionTable) SetChecked(dialog, row.checkBoxId, anyUnchecked);
}

void EnableDlgItem(HWND dialog, int id, bool enable) {
  EnableWindow(GetDlgItem(dialog, id), enable);
}
