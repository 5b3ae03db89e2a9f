#include "dialogs/setup_dialog.h"

#include <richedit.h>

#include "base/conversion.h"
#include "base/run_state.h"
#include "dialogs/common.h"
#include "dialogs/context_items_dialog.h"
#include "dialogs/dialog_templates.h"
#include "fs/path_names.h"
#include "integration/apply.h"
#include "integration/uninstall_entry.h"
#include "localization/messages.h"
#include "resources/resource_ids.h"
#include "settings/registry_deletion.h"
#include "settings/settings_store.h"

namespace {

constexpr wchar_t DialogName[] = L"SETUPDLG";
constexpr unsigned ExplanationChars = 4096;
constexpr wchar_t MiscKey[] = L"Interface\\Misc";
constexpr wchar_t RemShownValue[] = L"RemShown";

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

// The letters of the option string other than "A", with their fields.
struct OptionLetter {
  wchar_t letter;
  bool IntegrationOptions::*field;
};
constexpr OptionLetter OptionLetters[] = {
    {L'C', &IntegrationOptions::CascadedMenu}, {L'D', &IntegrationOptions::Desktop},
    {L'I', &IntegrationOptions::MenuIcons},    {L'M', &IntegrationOptions::StartMenu},
    {L'P', &IntegrationOptions::Programs},     {L'S', &IntegrationOptions::ShellExt},
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

bool IsDecimalDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

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

// The stored options amended by the command line: what the dialog shows
// as it starts.
void LoadStartingOptions(IntegrationOptions& options) {
  LoadIntegrationOptions(options);
  ApplySetupOptionString(InitOptionsText, options);
}

void InitSetupDialog(HWND dialog) {
  SetExplanation(dialog);
  IntegrationOptions options{};
  LoadStartingOptions(options);
  ShowOptionControls(dialog, options);
  SetForegroundWindow(dialog);
  SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(ApplicationIcon));
  SendDlgItemMessageW(dialog, IDC_EXPLANATION, EM_SETBKGNDCOLOR, 0, GetSysColor(COLOR_BTNFACE));
  // Silent setups confirm before the dialog is ever shown.
  if (SilentMode) SendMessageW(dialog, WM_COMMAND, IDOK, 0);
}

void ConfirmSetup(HWND dialog) {
  // A language module's template may lack some boxes; their options stay
  // as the dialog started with them.
  IntegrationOptions options{};
  LoadStartingOptions(options);
  ReadOptionControls(dialog, options);
  unsigned refusedBefore = RefusedRegistryChanges();
  SaveIntegrationOptions(options);
  bool complete = ApplyIntegration(options, ProgramGroupPath, MaxPathChars);
  ClearRemShown();
  // An outside installer keeps its own uninstall entry.
  if (!MsiMode) WriteUninstallEntry();
  // A user without the right to change the machine gets little or nothing
  // written: the run must not end as if setup were done.
  if (!complete || RefusedRegistryChanges() != refusedBefore) ExitCode = ExitIncomplete;
  EndDialog(dialog, 1);
}

void RefreshShellControls(HWND dialog) {
  IntegrationOptions options{};
  ReadOptionControls(dialog, options);
  ShowOptionControls(dialog, options);
}

}  // namespace

INT_PTR ShowSetupDialog() {
  INT_PTR result = ShowTemplateDialog(DialogName, nullptr, SetupDialogProc);
  if (result == -1) {
    // Nothing was applied, so the run must not end as a confirmed setup.
    ExitCode = ExitCancelled;
    return 0;
  }
  return result;
}

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (HandleCommonDialogMessage(dialog, message, wParam, lParam, DialogName,
                                L"HELPIntegrationSettings"))
    return TRUE;
  if (message == WM_INITDIALOG) {
    InitSetupDialog(dialog);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  switch (LOWORD(wParam)) {
    case IDOK:
      ConfirmSetup(dialog);
      break;
    case IDCANCEL:
      ExitCode = ExitCancelled;
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

void ApplySetupOptionString(const wchar_t* text, IntegrationOptions& options) {
  if (!text) return;
  const wchar_t* p = text;
  // Every step looks at two characters, so a lone letter at the end is
  // ignored rather than read past the terminator.
  while (p[0] && p[1]) {
    wchar_t letter = ToUpperChar(p[0]);
    if (letter == L'A') {
      ++p;
      for (unsigned i = 0; i < AssociateFlagCount && IsDecimalDigit(*p); ++i, ++p)
        options.Associate[i] = *p == L'1';
      continue;
    }
    for (const OptionLetter& option : OptionLetters)
      if (option.letter == letter) options.*option.field = p[1] == L'1';
    p += 2;
  }
}

void ClearRemShown() { DeleteUserValue(MiscKey, RemShownValue); }

void EnableDlgItem(HWND dialog, int id, bool enable) {
  EnableWindow(GetDlgItem(dialog, id), enable);
}
