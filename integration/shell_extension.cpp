#include "integration/shell_extension.h"

void ApplyShellExtension(bool, const IntegrationOptions&) {}
void RegisterShellExtension(bool, const wchar_t*, const wchar_t*, const wchar_t*, bool) {}
