// Desktop and Start-menu shortcuts and the program group.
#pragma once

#include <cstddef>

#include "integration/options.h"

// Makes or removes the shortcuts and both copies of the program group. The
// run's log is left where it lies, in the place of a shortcut or in a group,
// and counts as no refusal.
// `groupPath` (optional, `capacity` characters) receives the group's folder;
// `icon` (optional) is the icon file of the product's shortcuts. False when
// the system refused to save or delete one of them.
bool ApplyShortcuts(const IntegrationOptions& options, wchar_t* groupPath, size_t capacity,
                    const wchar_t* icon);

// Saves a shortcut, loading an existing one first so that properties not
// set here survive. True when the shortcut file was saved.
[[nodiscard]] bool CreateShortcut(const wchar_t* target, const wchar_t* shortcut,
                                  const wchar_t* workingFolder, const wchar_t* description,
                                  const wchar_t* icon);

// Takes a program group out of its programs folder: the files directly in
// it (the product's items, and those of earlier releases), then the folder
// itself when nothing else is left. Subfolders are the user's and stay, and
// the group with them; so does the run's log, which is never removed. A
// group that is a link to another folder is removed as a link; what it
// leads to is left alone. False when the system refused to remove a file
// or the link.
[[nodiscard]] bool RemoveProgramGroup(const wchar_t* group);
