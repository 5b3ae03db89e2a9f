// The language DLL, the module that localized resources come from, and the
// user's language folder.
#pragma once

#include <windows.h>

#include <cstddef>

// Loads the language DLL "kellng.dll" from the language folder or from
// beside the program when one is there; remembers the program instance.
void LoadLanguageModule(HINSTANCE program);
// Frees a loaded language DLL; resources come from the program afterwards.
void ReleaseLanguageModule();
// The language DLL while one is loaded, else the program.
HMODULE ResourceModule();
HMODULE ProgramModule();

// The folder named by the value "LanguageFolder" of
// HKCU\Software\Pelodra\General, its variables expanded, into `folder`
// (MaxPathChars); false and an empty folder when there is none.
bool GetLanguageFolder(wchar_t* folder);
// Leaves in `result` either `name` or, when the folder named by the value
// "LanguageFolder" of HKCU\Software\Pelodra\General holds a file of the
// same name, that file's full path. `result` may be `name` itself.
void FindInLanguageFolder(const wchar_t* name, wchar_t* result, size_t capacity);
