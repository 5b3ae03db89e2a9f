// File associations: the product's class names, the archive extensions with
// their former owners kept for restoring, the volume extensions of the
// product's own format and the empty-archive templates.
#pragma once

#include "integration/options.h"

// The extensions whose give-back Windows refused. The records of their
// former owners are the only way a later run with the right can still give
// them back.
struct RefusedGiveBacks {
  unsigned count;
  wchar_t extensions[TableExtensionCount][ExtensionChars];
};

// For every extension of every row: take it when the row is selected, give
// it back to its former owner when it is not (and it is still the
// product's). The record of a former owner is read from the store in use,
// else from the registry. False when Windows refused part of it; `refused`
// (optional) then names the extensions it could not give back.
bool ApplyFileAssociations(const IntegrationOptions& options, RefusedGiveBacks* refused = nullptr);

void AssociateExtension(const wchar_t* extension, bool selected, bool templatesWanted,
                        bool isOwnFormat, bool isZip);

// Writes the three class names and ".rev"; false when the system refuses
// access (nothing is written then).
[[nodiscard]] bool RegisterProgIds();
