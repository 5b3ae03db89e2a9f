#include "integration/options.h"

#include <initializer_list>

#include "base/best_effort.h"
#include "base/conversion.h"
#include "base/format.h"
#include "base/product.h"
#include "resources/resource_ids.h"
#include "settings/settings_store.h"

const ExtensionRow ExtensionTable[ExtensionRowCount] = {
    {L".kel", L".kel", ArchiveClass, IDC_ASSOCIATE_KEL},
    {L".zip", L".zip", ZipClass, IDC_ASSOCIATE_ZIP},
    {L".cab", L".cab", ArchiveClass, IDC_ASSOCIATE_CAB},
    {L".arj", L".arj", ArchiveClass, IDC_ASSOCIATE_ARJ},
    {L".lz.tlz", L".lz", ArchiveClass, IDC_ASSOCIATE_LZ},
    {L".lzh.lha", L".lzh", ArchiveClass, IDC_ASSOCIATE_LZH},
    {L".ace", L".ace", ArchiveClass, IDC_ASSOCIATE_ACE},
    {L".7z", L".7z", ArchiveClass, IDC_ASSOCIATE_7Z},
    {L".tar", L".tar", ArchiveClass, IDC_ASSOCIATE_TAR},
    {L".gz.tgz", L".gz", ArchiveClass, IDC_ASSOCIATE_GZ},
    {L".uue.xxe.uu", L".uue", ArchiveClass, IDC_ASSOCIATE_UUE},
    {L".bz2.tbz2.bz.tbz", L".bz2", ArchiveClass, IDC_ASSOCIATE_BZ2},
    {L".jar", L".jar", ArchiveClass, IDC_ASSOCIATE_JAR},
    {L".iso", L".iso", ArchiveClass, IDC_ASSOCIATE_ISO},
    {L".z.taz", L".z", ArchiveClass, IDC_ASSOCIATE_Z},
    {L".xz.txz", L".xz", ArchiveClass, IDC_ASSOCIATE_XZ},
    {L".zipx", L".zipx", ArchiveClass, IDC_ASSOCIATE_ZIPX},
    {L".001", L".001", ArchiveClass, IDC_ASSOCIATE_001},
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
  BestEffort(SetUserInt(keyPath, valueName, value ? 1 : 0));
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

bool IsProductClass(const wchar_t* className) {
  return CompareNoCase(className, ArchiveClass) == 0 || CompareNoCase(className, ZipClass) == 0;
}

bool IsOwnAssociation(const wchar_t* extension) {
  wchar_t owner[ClassNameChars];
  GetString(HKEY_CLASSES_ROOT, extension, L"", owner, L"", ClassNameChars);
  return IsProductClass(owner);
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
