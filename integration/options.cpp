#include "integration/options.h"

#include <initializer_list>

#include "app/shared/format.h"
#include "settings/settings_store.h"
#include "text/conversion.h"

const ExtensionRow ExtensionTable[ExtensionRowCount] = {
    {L".kel", L".kel", L"Pelodra", 5101},
    {L".zip", L".zip", L"Pelodra.ZIP", 5102},
    {L".cab", L".cab", L"Pelodra", 5103},
    {L".arj", L".arj", L"Pelodra", 5104},
    {L".lz.tlz", L".lz", L"Pelodra", 5116},
    {L".lzh.lha", L".lzh", L"Pelodra", 5105},
    {L".ace", L".ace", L"Pelodra", 5106},
    {L".7z", L".7z", L"Pelodra", 5107},
    {L".tar", L".tar", L"Pelodra", 5108},
    {L".gz.tgz", L".gz", L"Pelodra", 5109},
    {L".uue.xxe.uu", L".uue", L"Pelodra", 5110},
    {L".bz2.tbz2.bz.tbz", L".bz2", L"Pelodra", 5111},
    {L".jar", L".jar", L"Pelodra", 5112},
    {L".iso", L".iso", L"Pelodra", 5113},
    {L".z.taz", L".z", L"Pelodra", 5115},
    {L".xz.txz", L".xz", L"Pelodra", 5114},
    {L".zipx", L".zipx", L"Pelodra", 5117},
    {L".001", L".001", L"Pelodra", 5118},
};

namespace {

constexpr wchar_t LinksKey[] = L"Setup\\Links";
constexpr wchar_t ShellKey[] = L"Setup";
// Room for any class name another program can own an extension with: key
// names have at most 255 characters.
constexpr unsigned OwnerNameChars = 256;

bool ReadFlag(const wchar_t* keyPath, const wchar_t* valueName, bool defaultValue) {
  return GetUserInt(keyPath, valueName, defaultValue ? 1 : 0) != 0;
}

void WriteFlag(const wchar_t* keyPath, const wchar_t* valueName, bool value) {
  SetUserInt(keyPath, valueName, value ? 1 : 0);
}

}  // namespace

bool RowExtensions::Next() {
  if (!*rest_) return false;
  unsigned n = 0;
  do {
    if (n + 1 < ExtensionChars) current_[n++] = *rest_;
    ++rest_;
  } while (*rest_ && *rest_ != L'.');
  current_[n] = 0;
  return true;
}

void FormatExtensionSettingsKey(const wchar_t* extension, wchar_t* key) {
  FormatText(key, ExtensionSettingsKeyChars, L"Setup\\%s", extension);
}

bool IsOwnAssociation(const wchar_t* extension) {
  wchar_t owner[ClassNameChars];
  GetString(HKEY_CLASSES_ROOT, extension, L"", owner, L"", ClassNameChars);
  return CompareNoCase(owner, L"Pelodra") == 0 || CompareNoCase(owner, L"Pelodra.ZIP") == 0;
}

void LoadIntegrationOptions(IntegrationOptions& options) {
  options = IntegrationOptions{};
  wchar_t key[ExtensionSettingsKeyChars];
  for (unsigned row = 0; row < ExtensionRowCount; ++row) {
    const wchar_t* extension = ExtensionTable[row].keyExtension;
    FormatExtensionSettingsKey(extension, key);
    options.Associate[row] = ReadFlag(key, L"Set", true);
  }
  // ".jar" is taken only when it is the product's already, ".iso" only when
  // no other program has it, whatever was stored.
  for (unsigned row : {JarRow, IsoRow}) {
    const wchar_t* extension = ExtensionTable[row].keyExtension;
    if (IsOwnAssociation(extension)) continue;
    wchar_t owner[OwnerNameChars];
    GetString(HKEY_CLASSES_ROOT, extension, L"", owner, L"", OwnerNameChars);
    if (owner[0] || row == JarRow) options.Associate[row] = false;
  }
  options.Desktop = ReadFlag(LinksKey, L"Desktop", false);
  options.StartMenu = ReadFlag(LinksKey, L"StartMenu", false);
  options.Programs = ReadFlag(LinksKey, L"Programs", true);
  options.ShellExt = ReadFlag(ShellKey, L"ShellExt", true);
  options.CascadedMenu = ReadFlag(ShellKey, L"CascadedMenu", false);
  options.MenuIcons = ReadFlag(ShellKey, L"MenuIcons", true);
}

void SaveIntegrationOptions(const IntegrationOptions& options) {
  wchar_t key[ExtensionSettingsKeyChars];
  for (unsigned row = 0; row < ExtensionRowCount; ++row) {
    FormatExtensionSettingsKey(ExtensionTable[row].keyExtension, key);
    WriteFlag(key, L"Set", options.Associate[row]);
  }
  WriteFlag(LinksKey, L"Desktop", options.Desktop);
  WriteFlag(LinksKey, L"StartMenu", options.StartMenu);
  WriteFlag(LinksKey, L"Programs", options.Programs);
  WriteFlag(ShellKey, L"ShellExt", options.ShellExt);
  WriteFlag(ShellKey, L"CascadedMenu", options.CascadedMenu);
  WriteFlag(ShellKey, L"MenuIcons", options.MenuIcons);
}
