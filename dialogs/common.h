// The first step of every dialog procedure of the program.
#pragma once

#include <windows.h>

// Localizes the dialog when it starts, mirrors it for right-to-left
// languages and answers F1 and the help button with `helpTopic` (none: F1
// shows nothing). True when the message needs no further handling.
[[nodiscard]] bool HandleCommonDialogMessage(HWND dialog, UINT message, WPARAM wParam,
                                             LPARAM lParam, const wchar_t* dialogName,
                                             const wchar_t* helpTopic);

// The product's icon "KELICON" for a dialog's title: the language module's,
// else the program's own; null when neither has one. Shared by the system,
// so never destroyed.
HICON ProductIcon();
