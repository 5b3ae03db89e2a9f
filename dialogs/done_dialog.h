// The done dialog DONEDLG that closes a confirmed setup.
#pragma once

#include <windows.h>

#include <cstddef>

// Shows the dialog modally, with no owner.
void ShowDoneDialog();

// Takes the heading's font as the creation parameter (an HFONT, which
// outlives the dialog).
INT_PTR CALLBACK DoneDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// What the "how to order" button opens for the text `document` of its
// message: an http or https address as it is, or a plain file name joined
// to the program's folder. False, and nothing to open, for anything else: a
// translation may come from a folder any user can write while the program
// runs with an administrator's rights.
[[nodiscard]] bool ResolveDoneDocument(const wchar_t* document, wchar_t* target, size_t capacity);
