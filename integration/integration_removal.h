// Takes back everything setup integration wrote into the registry and the
// shell.
#pragma once

#include <cstddef>

#include "integration/apply.h"

// Room for every extension of the table in RemoveIntegration's list.
constexpr unsigned RefusedExtensionsChars = 256;

// True when everything was taken back; false when Windows refused part of
// it. The uninstall entry and App Paths go only where the product owns the
// entry: an outside installer removes its own. The records of former owners that could not be given
// back then stay in the product's settings, so that a later run with the right can still give those
// extensions back. `refusedExtensions` (optional, `capacity` characters) receives those extensions,
// such as ".7z, .iso"; it is empty when every extension went back.
bool RemoveIntegration(EntryOwner entryOwner, wchar_t* refusedExtensions = nullptr,
                       size_t capacity = 0);
