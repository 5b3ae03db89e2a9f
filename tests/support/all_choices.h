// Every choice of the setup dialog ticked, for tests of setup and its dialog.
#pragma once

#include "integration/options.h"

inline IntegrationOptions AllSet() {
  IntegrationOptions options{};
  for (bool& flag : options.Associate) flag = true;
  options.Desktop = options.StartMenu = options.Programs = true;
  options.ShellExt = options.CascadedMenu = options.MenuIcons = true;
  return options;
}
