// The setup dialog SETUPDLG: the user's integration choices, saved and
// applied when confirmed.
#pragma once

#include <windows.h>

#include "integration/options.h"

// Shows the dialog modally, with no owner. 1 after the integration was
// saved and applied (ExitCode is ExitIncomplete when Windows refused part
// of it); 0 when the user cancelled or the dialog could not be shown
// (ExitCode is then ExitCancelled).
[[nodiscard]] INT_PTR ShowSetupDialog();

INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The check boxes are the dialog's only state: these two move it between
// the boxes and an options record. Options without a box in the dialog keep
// their values.
void ReadOptionControls(HWND dialog, IntegrationOptions& options);
// Also enables the two shell-menu boxes exactly while the shell box is set.
void ShowOptionControls(HWND dialog, const IntegrationOptions& options);

// Checks every association box when any is unchecked, else clears them all.
void ToggleAllAssociations(HWND dialog);

// Amends `options` by an option string such as "A1101D1S0" (from the
// command line): a letter, in either case, and "1" sets its field, any
// other character clears it; "A" takes a run of up to 20 digits, one per
// association row. Unknown letters are skipped with the character after
// them; fields the string does not name keep their values.
void ApplySetupOptionString(const wchar_t* text, IntegrationOptions& options);

// Deletes "RemShown" of "Interface\Misc" on the current user's side.
void ClearRemShown();

void EnableDlgItem(HWND dialog, int id, bool enable);
