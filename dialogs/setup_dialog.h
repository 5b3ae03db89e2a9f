// The setup dialog SETUPDLG.
#pragma once

#include <windows.h>

// Shows the setup dialog modally; 1 after the integration was applied.
INT_PTR ShowSetupDialog();
