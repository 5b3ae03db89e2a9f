#include "integration/uninstall_entry.h"

bool RegisterAppPaths() { return true; }
void WriteUninstallEntry() {}
void FormatDisplayName(wchar_t*, size_t) {}
