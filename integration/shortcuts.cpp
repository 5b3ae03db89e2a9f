#include "integration/shortcuts.h"

void ApplyShortcuts(const IntegrationOptions&, wchar_t*, size_t, const wchar_t*) {}
bool CreateShortcut(const wchar_t*, const wchar_t*, const wchar_t*, const wchar_t*,
                    const wchar_t*) {
  return false;
}
bool GetSpecialFolderPath(int, wchar_t* buffer) {
  buffer[0] = 0;
  return false;
}
bool DeleteFolderTree(const wchar_t*) { return false; }
