// The setup dialog SETUPDLG: asks for the user's integration choices and
// hands them back; applying them is integration's work.
#pragma once

#include <windows.h>

#include "integration/options.h"

// Shows the dialog modally, with no owner, its boxes set from `choices`.
// True when the user confirmed: `choices` then holds the boxes as
// confirmed. False when the user cancelled or the dialog could not be
// shown; `choices` is then as it was.
[[nodiscard]] bool AskSetupChoices(IntegrationOptions& choices);

// Takes the choices it shows and fills on OK as the creation parameter
// (an IntegrationOptions*).
INT_PTR CALLBACK SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// The check boxes are the dialog's only state: these two move it between
// the boxes and an options record. Options without a box in the dialog keep
// their values.
void ReadOptionControls(HWND dialog, IntegrationOptions& options);
// Also enables the two shell-menu boxes exactly while the shell box is set.
void ShowOptionControls(HWND dialog, const IntegrationOptions& options);

// Checks every association box when any is unchecked, else clears them all.
void ToggleAllAssociations(HWND dialog);

void EnableDlgItem(HWND dialog, int id, bool enable);
