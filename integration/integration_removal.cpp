#include "integration/integration_removal.h"

#include <windows.h>
#include <shlobj.h>

#include "base/best_effort.h"
#include "base/format.h"
#include "base/product.h"
#include "base/run_state.h"
#include "integration/associations.h"
#include "integration/options.h"
#include "integration/shell_extension.h"
#include "integration/shortcuts.h"
#include "settings/registry_deletion.h"
#include "settings/settings_store.h"

namespace {

// The class names and the extension key that setup writes for the product.
const wchar_t* const ProductClassKeys[] = {ArchiveClass, ZipClass, RecoveryClass,
                                           RecoveryExtension};

// The extensions one after another, as a message names them.
void ListExtensions(const RefusedGiveBacks& refused, wchar_t* list, size_t capacity) {
  if (!list || capacity == 0) return;
  list[0] = 0;
  for (unsigned i = 0; i < refused.count; ++i) {
    if (i) BoundedAppend(list, L", ", capacity);
    BoundedAppend(list, refused.extensions[i], capacity);
  }
}

}  // namespace

bool RemoveIntegration(EntryOwner entryOwner, wchar_t* refusedExtensions, size_t capacity) {
  unsigned refusedBefore = RefusedRegistryChanges();
  // "All clear" makes every applier take its removal path.
  const IntegrationOptions none{};
  RefusedGiveBacks refused;
  // Its refusals are counted with all others below.
  BestEffort(ApplyFileAssociations(none, &refused));
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_FLUSH, nullptr, nullptr);
  ApplyShellExtension(true, none);
  bool shortcutsGone = ApplyShortcuts(none, nullptr, 0, nullptr);
  for (const wchar_t* key : ProductClassKeys) DeleteKeyTree(HKEY_CLASSES_ROOT, key);
  ListExtensions(refused, refusedExtensions, capacity);
  // A record goes when its extension went back or had nothing to go back
  // to; in either store, as the give-back read it from either.
  wchar_t keys[TableExtensionCount][ExtensionSettingsKeyChars];
  const wchar_t* kept[TableExtensionCount];
  for (unsigned i = 0; i < refused.count; ++i) {
    FormatExtensionSettingsKey(refused.extensions[i], keys[i]);
    kept[i] = keys[i];
  }
  DeleteKeyTreeSparing(HKEY_CURRENT_USER, L"", kept, refused.count);
  // The user's settings tree goes from the registry also while the
  // settings live in the settings file.
  DeleteKeyTreeSparing(HKEY_CURRENT_USER, ProductKey, kept, refused.count);
  if (entryOwner == EntryOwner::Product) {
    BestEffort(DeleteKey(HKEY_LOCAL_MACHINE, UninstallKey));
    BestEffort(DeleteKey(HKEY_LOCAL_MACHINE, AppPathsKey));
    // Setup wrote App Paths a second time in the 64-bit view.
    ScopedRegistryView view64(true);
    BestEffort(DeleteKey(HKEY_LOCAL_MACHINE, AppPathsKey));
  }
  return shortcutsGone && RefusedRegistryChanges() == refusedBefore;
}
