// Desktop and Start-menu shortcuts and the program group.
#pragma once

#include <cstddef>

#include "integration/options.h"

// Makes or removes the shortcuts and both copies of the program group.
// `groupPath` (optional, `capacity` characters) receives the group's folder;
// `icon` (optional) is the icon file of the product's shortcuts.
void ApplyShortcuts(const IntegrationOptions& options, wchar_t* groupPath, size_t capacity,
                    const wchar_t* icon);

// Saves a shortcut, loading an existing one first so that properties not
// set here survive. True when the shortcut file was saved.
bool CreateShortcut(const wchar_t* target, const wchar_t* shortcut, const wchar_t* workingFolder,
                    const wchar_t* description, const wchar_t* icon);

// The path of a special folder (CSIDL) into `buffer` (MaxPathChars); false
// and an empty buffer when the system has none.
bool GetSpecialFolderPath(int csidl, wchar_t* buffer);

// Deletes a folder with all its content; true when it existed and went.
bool DeleteFolderTree(const wchar_t* folder);
