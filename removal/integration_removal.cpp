#include "removal/integration_removal.h"

#include <windows.h>
#include <shlobj.h>

#include "app/shared/run_state.h"
#include "integration/associations.h"
#include "integration/options.h"
#include "integration/shell_extension.h"
#include "integration/shortcuts.h"
#include "settings/registry_deletion.h"

namespace {

// The class names and the extension key that setup writes for the product.
const wchar_t* const ProductClassKeys[] = {L"Pelodra", L"Pelodra.ZIP", L"Pelodra.REV", L".rev"};

constexpr wchar_t UninstallKey[] =
    L"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelodra archiver";
constexpr wchar_t AppPathsKey[] =
    L"\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Pelodra.exe";

}  // namespace

void RemoveIntegration() {
  // "All clear" makes every applier take its removal path.
  const IntegrationOptions none{};
  ApplyFileAssociations(none);
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_FLUSH, nullptr, nullptr);
  ApplyShellExtension(true, none);
  ApplyShortcuts(none, nullptr, 0, nullptr);
  for (const wchar_t* key : ProductClassKeys) DeleteKeyTree(HKEY_CLASSES_ROOT, key);
  DeleteKeyTree(HKEY_CURRENT_USER, L"");
  if (MsiMode) return;
  DeleteKey(HKEY_LOCAL_MACHINE, UninstallKey);
  DeleteKey(HKEY_LOCAL_MACHINE, AppPathsKey);
  // Setup wrote App Paths a second time in the 64-bit view.
  DeleteKeyIn64BitView(HKEY_LOCAL_MACHINE, AppPathsKey);
}
