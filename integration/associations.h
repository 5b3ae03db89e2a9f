// File associations: the product's class names, the archive extensions with
// their former owners kept for restoring, the volume extensions of the
// product's own format and the empty-archive templates.
#pragma once

#include "integration/options.h"

// For every extension of every row: take it when the row is selected, give
// it back to its former owner when it is not (and it is still the
// product's).
void ApplyFileAssociations(const IntegrationOptions& options);

void AssociateExtension(const wchar_t* extension, bool selected, bool templatesWanted,
                        bool isOwnFormat, bool isZip);

// Writes the three class names and ".rev"; false when the system refuses
// access (nothing is written then).
bool RegisterProgIds();
