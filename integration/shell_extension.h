// Registration of the Explorer shell extension servers and of the product
// among the system's default programs.
#pragma once

#include "integration/options.h"

// Registers both servers (the 64-bit one under WOW64) when the options'
// ShellExt is set, removes them otherwise; with `removal` also the
// default-programs entry and the product's machine-wide settings (in the
// 64-bit view only what setup wrote there).
void ApplyShellExtension(bool removal, const IntegrationOptions& options);

void RegisterShellExtension(bool install, const wchar_t* dllName, const wchar_t* clsid,
                            const wchar_t* handlerName, bool is64Bit);
