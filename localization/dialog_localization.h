// Translation, resizing and mirroring of the program's dialogs, driven by
// the language file.
#pragma once

#include <windows.h>

// The size entry of a dialog: width and height percentages ("120*110"). True
// unless both are 100.
bool GetDialogScale(const wchar_t* dialogName, int& widthPercent, int& heightPercent);

// Translates the caption and every control text of a starting dialog, and
// applies its size entry to the dialog and every control.
void LocalizeDialog(HWND dialog, const wchar_t* dialogName);

// Gives a window the right-to-left layout when the language is written so.
void ApplyRightToLeft(HWND window);
