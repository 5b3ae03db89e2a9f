// Every message box of the program goes through here.
#pragma once

#include <windows.h>

// MessageBoxW, reading right to left when the current language does.
int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style);
