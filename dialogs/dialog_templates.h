// Where the templates of the program's dialogs come from.
#pragma once

#include <windows.h>

#include <cstddef>

// The language module when it holds the dialog `name` in a sound template,
// else the program itself: a language module that lacks one of the dialogs
// still leaves the program usable.
HMODULE DialogTemplateModule(const wchar_t* name);

// Shows the dialog `name` modally from DialogTemplateModule, or from the
// program itself when the language module's template cannot be made (a
// control of a class nobody registered, say). `parameter` reaches the
// procedure with WM_INITDIALOG. DialogBoxParamW's result.
INT_PTR ShowTemplateDialog(const wchar_t* name, HWND owner, DLGPROC procedure,
                           LPARAM parameter = 0);

// True when the dialog template at `data` describes itself and every control
// it counts within its `size` bytes, names no menu and has no picture
// control that would load a bitmap from the module. The system reads a
// template to its last control without bounds.
bool IsSoundDialogTemplate(const void* data, size_t size);
