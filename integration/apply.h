// Brings the registry and the shell into line with the user's choices.
#pragma once

#include <cstddef>

#include "integration/options.h"

// App Paths, shell extension, associations and class names, shortcuts, in
// this order. False when Windows refused part of it; without the right to
// write App Paths or the product's class names it stops there.
[[nodiscard]] bool ApplyIntegration(const IntegrationOptions& options, wchar_t* groupPath,
                                    size_t capacity);

// Who keeps the uninstall entry: the product's own, or an outside installer
// that writes one of its own.
enum class EntryOwner { Product, OutsideInstaller };

// The whole of a confirmed setup, with or without a dialog: saves the
// choices, applies them, forgets that the removal note was shown and writes
// the uninstall entry where the product owns it. `groupPath` (`capacity`
// characters) receives the program group made, if any. False when Windows
// refused part of it: a user without the right to change the machine gets
// little or nothing written, and the run must not end as if setup were done.
[[nodiscard]] bool ApplySetup(const IntegrationOptions& choices, EntryOwner entryOwner,
                              wchar_t* groupPath, size_t capacity);

// The choices a setup starts from: the stored options amended by the
// command line's option string (null: none).
void LoadStartingOptions(const wchar_t* optionString, IntegrationOptions& options);

// Amends `options` by an option string such as "A1101D1S0" (from the
// command line): a letter, in either case, and "1" sets its field, any
// other character clears it; "A" takes a run of up to 20 digits, one per
// association row. Unknown letters are skipped with the character after
// them; fields the string does not name keep their values.
void ApplySetupOptionString(const wchar_t* text, IntegrationOptions& options);

// Deletes "RemShown" of "Interface\Misc" on the current user's side.
void ClearRemShown();
