// Where the templates of the program's dialogs come from.
#pragma once

#include <windows.h>

// The language module when it holds the dialog `name`, else the program
// itself: a language module that lacks one of the dialogs still leaves the
// program usable.
HMODULE DialogTemplateModule(const wchar_t* name);

// Shows the dialog `name` modally from DialogTemplateModule, or from the
// program itself when the language module's template cannot be made (a
// control of a class nobody registered, say). DialogBoxParamW's result.
INT_PTR ShowTemplateDialog(const wchar_t* name, HWND owner, DLGPROC procedure);
