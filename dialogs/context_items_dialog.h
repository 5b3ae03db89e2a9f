// The context menu items dialog SETUPCONTEXTITEMS: which commands the shell
// extension shows, stored at once when the user confirms.
#pragma once

#include <windows.h>

#include <cstdint>

constexpr unsigned MenuItemCount = 17;
// The file masks of "AlwaysArc", terminator included.
constexpr unsigned AlwaysArchiveChars = 1024;

struct MenuItem {
  const wchar_t* valueName;  // under "Setup\MenuItems"
  int checkBoxId;
  int32_t defaultValue;
};

extern const MenuItem MenuItems[MenuItemCount];
extern const wchar_t MenuItemsKey[];

// Shows the dialog modally, owned by `owner`; 1 after OK, 0 after Cancel.
INT_PTR ShowContextItemsDialog(HWND owner);

INT_PTR CALLBACK ContextItemsDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
