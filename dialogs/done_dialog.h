// The done dialog DONEDLG that closes a confirmed setup.
#pragma once

#include <windows.h>

// Shows the dialog modally, with no owner; it closes at once in silent mode.
void ShowDoneDialog();

INT_PTR CALLBACK DoneDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
