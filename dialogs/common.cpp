#include "dialogs/common.h"

#include "dialogs/help.h"
#include "localization/dialog_localization.h"
#include "localization/language_module.h"

bool HandleCommonDialogMessage(HWND dialog, UINT message, WPARAM wParam, LPARAM,
                               const wchar_t* dialogName, const wchar_t* helpTopic) {
  switch (message) {
    case WM_INITDIALOG:
      LocalizeDialog(dialog, dialogName);
      return false;
    case WM_SETFONT:
      // Sent before the controls exist, so that they are created mirrored.
      ApplyRightToLeft(dialog);
      return false;
    case WM_HELP:
      if (helpTopic) ShowHelp(helpTopic);
      return true;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDHELP && helpTopic) ShowHelp(helpTopic);
      return false;
    default:
      return false;
  }
}

HICON ProductIcon() {
  HICON icon = LoadIconW(ResourceModule(), L"KELICON");
  if (!icon && ResourceModule() != ProgramModule()) icon = LoadIconW(ProgramModule(), L"KELICON");
  return icon;
}
