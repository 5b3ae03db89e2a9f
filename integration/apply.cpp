#include "integration/apply.h"

#include <windows.h>

#include "base/best_effort.h"
#include "base/run_state.h"
#include "fs/file_ops.h"
#include "integration/associations.h"
#include "integration/shell_extension.h"
#include "integration/shortcuts.h"
#include "integration/uninstall_entry.h"
#include "settings/settings_store.h"

namespace {

// The icon the user chose for the product's shell items, if any.
constexpr wchar_t ThemesKey[] = L"Interface\\Themes";
constexpr wchar_t ShellIconValue[] = L"ShellExtIcon";

}  // namespace

bool ApplyIntegration(const IntegrationOptions& options, wchar_t* groupPath, size_t capacity) {
  unsigned refusedBefore = RefusedRegistryChanges();
  // Without write access to HKEY_LOCAL_MACHINE nothing else is attempted.
  if (!RegisterAppPaths()) return false;
  ApplyShellExtension(false, options);
  // Its refusals are counted with all others below.
  BestEffort(ApplyFileAssociations(options));
  // Refused class keys mean this run may not install for the machine; the
  // shortcuts stay as they were.
  if (!RegisterProgIds()) return false;
  wchar_t icon[MaxPathChars];
  GetUserString(ThemesKey, ShellIconValue, icon, L"", MaxPathChars);
  bool iconUsable = icon[0] && PathExists(icon);
  bool shortcutsMade = ApplyShortcuts(options, groupPath, capacity, iconUsable ? icon : nullptr);
  return shortcutsMade && RefusedRegistryChanges() == refusedBefore;
}
