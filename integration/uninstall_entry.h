// The App Paths entry of Pelodra.exe and the uninstall entry.
#pragma once

#include <cstddef>

// False when the first write is refused with access denied.
[[nodiscard]] bool RegisterAppPaths();
void WriteUninstallEntry();
// Appends " 5.61 <word> 1 (<note>)" to the product name in `buffer`.
void FormatDisplayName(wchar_t* buffer, size_t capacity);
