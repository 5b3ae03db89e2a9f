#include "dialogs/context_items_dialog.h"

#include "base/best_effort.h"
#include "base/run_state.h"
#include "dialogs/common.h"
#include "dialogs/dialog_templates.h"
#include "resources/resource_ids.h"
#include "settings/settings_store.h"

const wchar_t MenuItemsKey[] = L"Setup\\MenuItems";

// Each item is a value of its own; the shell extension reads them by name.
const MenuItem MenuItems[MenuItemCount] = {
    {L"ExtrTo", IDC_ITEM_EXTRACT_TO, 1},
    {L"ExtrHere", IDC_ITEM_EXTRACT_HERE, 1},
    {L"Extr", IDC_ITEM_EXTRACT, 1},
    {L"ExtrSep", IDC_ITEM_EXTRACT_SEPARATE, 1},
    {L"OpenSFX", IDC_ITEM_OPEN_SFX, 1},
    {L"OpenArc", IDC_ITEM_OPEN_ARCHIVE, 1},
    {L"AddTo", IDC_ITEM_ADD_TO, 1},
    {L"AddArc", IDC_ITEM_ADD_ARCHIVE, 1},
    {L"EmailArc", IDC_ITEM_EMAIL_ARCHIVE, 1},
    {L"EmailOpt", IDC_ITEM_EMAIL_NAMED, 1},
    {L"Test", IDC_ITEM_TEST, 0},
    {L"Convert", IDC_ITEM_CONVERT, 0},
    {L"SFXLocal", IDC_ITEM_SFX_LOCAL, 1},
    {L"SFXNetwork", IDC_ITEM_SFX_NETWORK, 1},
    {L"SFXOther", IDC_ITEM_SFX_OTHER, 1},
    {L"DragAdd", IDC_ITEM_DRAG_ADD, 1},
    {L"DragExtr", IDC_ITEM_DRAG_EXTRACT, 1},
};

namespace {

constexpr wchar_t DialogName[] = L"SETUPCONTEXTITEMS";
constexpr wchar_t AlwaysArchiveValue[] = L"AlwaysArc";

void ShowStoredItems(HWND dialog) {
  for (const MenuItem& item : MenuItems) {
    bool checked = GetUserInt(MenuItemsKey, item.valueName, item.defaultValue) != 0;
    CheckDlgButton(dialog, item.checkBoxId, checked ? BST_CHECKED : BST_UNCHECKED);
  }
  wchar_t masks[AlwaysArchiveChars];
  GetUserString(MenuItemsKey, AlwaysArchiveValue, masks, L"*.iso", AlwaysArchiveChars);
  SendDlgItemMessageW(dialog, IDC_ALWAYS_ARCHIVE, EM_LIMITTEXT, AlwaysArchiveChars - 1, 0);
  SetDlgItemTextW(dialog, IDC_ALWAYS_ARCHIVE, masks);
  if (IsRightToLeft()) {
    // File masks read left to right in every language.
    HWND edit = GetDlgItem(dialog, IDC_ALWAYS_ARCHIVE);
    LONG style = GetWindowLongW(edit, GWL_EXSTYLE);
    SetWindowLongW(edit, GWL_EXSTYLE, style & ~WS_EX_RTLREADING);
  }
}

// Only what the dialog holds is stored: a language module's template may
// lack some controls, and their settings stay as they were.
void StoreItems(HWND dialog) {
  for (const MenuItem& item : MenuItems)
    if (GetDlgItem(dialog, item.checkBoxId))
      BestEffort(SetUserInt(MenuItemsKey, item.valueName,
                            IsDlgButtonChecked(dialog, item.checkBoxId) == BST_CHECKED ? 1 : 0));
  if (GetDlgItem(dialog, IDC_ALWAYS_ARCHIVE)) {
    wchar_t masks[AlwaysArchiveChars] = {};
    GetDlgItemTextW(dialog, IDC_ALWAYS_ARCHIVE, masks, AlwaysArchiveChars);
    BestEffort(SetUserString(MenuItemsKey, AlwaysArchiveValue, masks));
  }
  // The shell extension may read the settings file before this run ends.
  BestEffort(SaveIniFile());
}

}  // namespace

INT_PTR ShowContextItemsDialog(HWND owner) {
  return ShowTemplateDialog(DialogName, owner, ContextItemsDialogProc);
}

INT_PTR CALLBACK ContextItemsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (HandleCommonDialogMessage(dialog, message, wParam, lParam, DialogName, L"HELPContextItems") ||
      message == WM_HELP)
    return TRUE;
  if (message == WM_INITDIALOG) {
    ShowStoredItems(dialog);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  switch (LOWORD(wParam)) {
    case IDOK:
      StoreItems(dialog);
      EndDialog(dialog, 1);
      return TRUE;
    case IDCANCEL:
      EndDialog(dialog, 0);
      return TRUE;
    default:
      return FALSE;
  }
}
