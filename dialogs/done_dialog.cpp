#include "dialogs/done_dialog.h"

#include <shellapi.h>

#include "app/shared/run_state.h"
#include "dialogs/common.h"
#include "dialogs/dialog_templates.h"
#include "dialogs/help.h"
#include "fs/path_names.h"
#include "localization/language_module.h"
#include "resources/resource_ids.h"

namespace {

constexpr wchar_t DialogName[] = L"DONEDLG";

void Open(const wchar_t* document) {
  ShellExecuteW(nullptr, L"open", document, nullptr, L"", SW_SHOWNORMAL);
}

// Empty when the system cannot tell, or the folder does not fit.
void GetCurrentFolder(wchar_t* folder) {
  DWORD n = GetCurrentDirectoryW(MaxPathChars, folder);
  if (n == 0 || n >= MaxPathChars) folder[0] = 0;
}

// A translated licence in the language folder is preferred.
void OpenLicense() {
  wchar_t path[MaxPathChars];
  GetCurrentFolder(path);
  AddTrailingSeparator(path, MaxPathChars);
  BoundedAppend(path, L"license.txt", MaxPathChars);
  FindInLanguageFolder(path, path, MaxPathChars);
  Open(path);
}

void InitDoneDialog(HWND dialog) {
  SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(ApplicationIcon));
  SendDlgItemMessageW(dialog, IDC_DONE_HEADING, WM_SETFONT, reinterpret_cast<WPARAM>(BoldFont), 0);
  wchar_t folder[MaxPathChars];
  GetCurrentFolder(folder);
  SetDlgItemTextW(dialog, IDC_DONE_FOLDER, folder);
  if (SilentMode) SendMessageW(dialog, WM_COMMAND, IDOK, 0);
}

}  // namespace

void ShowDoneDialog() {
  ShowTemplateDialog(DialogName, nullptr, DoneDialogProc);
}

INT_PTR CALLBACK DoneDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (HandleCommonDialogMessage(dialog, message, wParam, lParam, DialogName, nullptr)) return TRUE;
  if (message == WM_INITDIALOG) {
    InitDoneDialog(dialog);
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  switch (LOWORD(wParam)) {
    case IDOK:
    case IDCANCEL:
      EndDialog(dialog, 1);
      break;
    case IDC_DONE_HELP:
      ShowHelp(nullptr);
      break;
    case IDC_DONE_LICENSE:
      OpenLicense();
      break;
    case IDC_DONE_DOCUMENT: {
      // An empty text would open the current folder instead of a document.
      const wchar_t* document = LoadMessage(IDS_DONE_DOCUMENT);
      if (document[0]) Open(document);
      break;
    }
    default:
      break;
  }
  return TRUE;
}
