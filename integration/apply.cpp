#include "integration/apply.h"

#include <windows.h>

#include "base/best_effort.h"
#include "base/conversion.h"
#include "base/run_state.h"
#include "fs/file_ops.h"
#include "integration/associations.h"
#include "integration/shell_extension.h"
#include "integration/shortcuts.h"
#include "integration/uninstall_entry.h"
#include "settings/registry_deletion.h"
#include "settings/settings_store.h"

namespace {

// The icon the user chose for the product's shell items, if any.
constexpr wchar_t ThemesKey[] = L"Interface\\Themes";
constexpr wchar_t ShellIconValue[] = L"ShellExtIcon";
constexpr wchar_t MiscKey[] = L"Interface\\Misc";
constexpr wchar_t RemShownValue[] = L"RemShown";

// The letters of the option string other than "A", with their fields.
struct OptionLetter {
  wchar_t letter;
  bool IntegrationOptions::*field;
};
constexpr OptionLetter OptionLetters[] = {
    {L'C', &IntegrationOptions::CascadedMenu}, {L'D', &IntegrationOptions::Desktop},
    {L'I', &IntegrationOptions::MenuIcons},    {L'M', &IntegrationOptions::StartMenu},
    {L'P', &IntegrationOptions::Programs},     {L'S', &IntegrationOptions::ShellExt},
};

bool IsDecimalDigit(wchar_t c) { return c >= L'0' && c <= L'9'; }

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

bool ApplySetup(const IntegrationOptions& choices, EntryOwner entryOwner, wchar_t* groupPath,
                size_t capacity) {
  unsigned refusedBefore = RefusedRegistryChanges();
  SaveIntegrationOptions(choices);
  bool complete = ApplyIntegration(choices, groupPath, capacity);
  ClearRemShown();
  if (entryOwner == EntryOwner::Product) WriteUninstallEntry();
  return complete && RefusedRegistryChanges() == refusedBefore;
}

void LoadStartingOptions(const wchar_t* optionString, IntegrationOptions& options) {
  LoadIntegrationOptions(options);
  ApplySetupOptionString(optionString, options);
}

void ApplySetupOptionString(const wchar_t* text, IntegrationOptions& options) {
  if (!text) return;
  const wchar_t* p = text;
  // Every step looks at two characters, so a lone letter at the end is
  // ignored rather than read past the terminator.
  while (p[0] && p[1]) {
    wchar_t letter = ToUpperChar(p[0]);
    if (letter == L'A') {
      ++p;
      for (unsigned i = 0; i < AssociateFlagCount && IsDecimalDigit(*p); ++i, ++p)
        options.Associate[i] = *p == L'1';
      continue;
    }
    for (const OptionLetter& option : OptionLetters)
      if (option.letter == letter) options.*option.field = p[1] == L'1';
    p += 2;
  }
}

void ClearRemShown() { DeleteUserValue(MiscKey, RemShownValue); }
