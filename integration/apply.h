// Brings the registry and the shell into line with the user's choices.
#pragma once

#include <cstddef>

#include "integration/options.h"

// App Paths, shell extension, associations and class names, shortcuts, in
// this order. False when Windows refused part of it; without the right to
// write App Paths or the product's class names it stops there.
[[nodiscard]] bool ApplyIntegration(const IntegrationOptions& options, wchar_t* groupPath,
                                    size_t capacity);
