#include "integration/associations.h"

#include <windows.h>

#include <shlobj.h>

#include <cstdio>

#include "base/best_effort.h"
#include "base/conversion.h"
#include "base/format.h"
#include "base/log.h"
#include "base/product.h"
#include "base/program_path.h"
#include "base/run_state.h"
#include "base/win_handles.h"
#include "fs/dir_scanner.h"
#include "fs/file_ops.h"
#include "fs/path_names.h"
#include "localization/messages.h"
#include "resources/resource_ids.h"
#include "settings/registry_deletion.h"
#include "settings/settings_store.h"

namespace {

// A former class name longer than this counts as unreadable.
constexpr unsigned FormerClassChars = 512;
// Only whether a "NullFile" value can be read matters, not its text.
constexpr unsigned NullFileChars = 10;
// "%s\ShellNew", ".k%02u" and the like.
constexpr unsigned ClassKeyChars = 80;
constexpr unsigned OpenCommandChars = 2080;
// An extension and its former class in the log.
constexpr unsigned OwnerChars = ClassKeyChars + FormerClassChars + 32;
// A record's key: the settings key, or the same key named from the
// registry's root.
constexpr unsigned RecordKeyChars = ExtensionSettingsKeyChars + 32;

// The volume extensions of the product's own format: ".k00", ".k01", ...
constexpr wchar_t VolumeExtensionFormat[] = L".k%02u";
constexpr unsigned TakenVolumeCount = 30;
// Earlier releases made volume extensions up to .k99; giving the format back
// clears all of them that are still the product's.
constexpr unsigned ReleasedVolumeCount = 100;
// In the record of the product's own format: bit n is set when the product
// made the volume extension n, which did not exist before. Such a key goes
// when the format is given back; one that existed is given back.
constexpr wchar_t MadeVolumesValue[] = L"MadeVolumes";

// The empty archives that Explorer's New menu copies. Their first bytes are
// stored as zero and set before use, so that the program's own file holds no
// archive signature that a scanner could take it for.
constexpr size_t KelTemplateSize = 24;
constexpr size_t ZipTemplateSize = 22;
unsigned char kelTemplate[KelTemplateSize] = {
    0x00, 0x65, 0x6C, 0x21, 0x1A, 0x07, 0x01, 0x00,  // signature
    0xC1, 0xDF, 0x5F, 0x56, 0x03, 0x01, 0x04, 0x00,  // archive header
    0x1D, 0x77, 0x56, 0x51, 0x03, 0x05, 0x04, 0x00,  // end of archive
};
unsigned char zipTemplate[ZipTemplateSize] = {0x00, 0x4B, 0x05, 0x06};

void ProductFilePath(const wchar_t* name, wchar_t* path) {
  GetProgramPath(path, MaxPathChars);
  ReplaceNamePart(path, name, MaxPathChars);
}

void FormatShellNewKey(const wchar_t* extension, wchar_t* key) {
  FormatText(key, ClassKeyChars, L"%s\\ShellNew", extension);
}

void LogFormerOwner(const wchar_t* what, const wchar_t* extension, bool existed,
                    const wchar_t* former, LONG result) {
  if (!IsLogging()) return;
  wchar_t where[OwnerChars];
  if (!existed)
    FormatText(where, OwnerChars, L"%s (no key before)", extension);
  else if (!former[0])
    FormatText(where, OwnerChars, L"%s (no class before)", extension);
  else
    FormatText(where, OwnerChars, L"%s (class %s)", extension, former);
  LogOutcome(what, where, static_cast<DWORD>(result));
}

bool HoldsRecord(const wchar_t* key) {
  return ValueExists(HKEY_CURRENT_USER, key, L"Exist") ||
         ValueExists(HKEY_CURRENT_USER, key, L"Type");
}

// Where the record of an extension's former owner lies, into `recordKey`:
// the extension's settings key in the store in use, else that key in the
// registry. An earlier release recorded there before the installation's
// settings file came in, and the record is the only way back to the
// former owner. The settings key when neither holds one.
void FindFormerOwnerRecord(const wchar_t* settingsKey, wchar_t* recordKey) {
  BoundedCopy(recordKey, settingsKey, RecordKeyChars);
  if (HoldsRecord(settingsKey) || PlaceOf(HKEY_CURRENT_USER, settingsKey) != SettingsPlace::File)
    return;
  wchar_t inRegistry[RecordKeyChars];
  if (FormatText(inRegistry, RecordKeyChars, L"%s\\%s", ProductKey, settingsKey) >= 0 &&
      HoldsRecord(inRegistry))
    BoundedCopy(recordKey, inRegistry, RecordKeyChars);
}

void RecordFormerAssociation(const wchar_t* extension, const wchar_t* settingsKey,
                             const wchar_t* shellNewKey) {
  wchar_t former[FormerClassChars];
  GetString(HKEY_CLASSES_ROOT, extension, L"", former, L"", FormerClassChars);
  wchar_t fileName[MaxPathChars];
  GetString(HKEY_CLASSES_ROOT, shellNewKey, L"FileName", fileName, L"", MaxPathChars);
  wchar_t nullFile[NullFileChars];
  bool hasNullFile =
      GetString(HKEY_CLASSES_ROOT, shellNewKey, L"NullFile", nullFile, L"", NullFileChars);
  bool existed = KeyExists(HKEY_CLASSES_ROOT, extension);
  LONG exist = SetUserInt(settingsKey, L"Exist", existed ? 1 : 0);
  LONG type = SetUserString(settingsKey, L"Type", former);
  LONG shellNew =
      SetUserString(settingsKey, L"ShellNew", !fileName[0] && hasNullFile ? L"*" : fileName);
  LogFormerOwner(L"former owner recorded", extension, existed, former,
                 exist  ? exist
                 : type ? type
                        : shellNew);
}

// A template of the wrong size is rewritten; one of the right size is
// trusted, whatever it holds.
void WriteTemplateFile(const wchar_t* path, const unsigned char* bytes, size_t size) {
  ScanEntry entry;
  if (ReadScanEntry(path, entry) && !entry.isFolder && entry.size == size) return;
  Stream file(OpenStream(path, L"wb"));
  if (!file) {
    LogOutcome(L"file written", path, FailureCode());
    return;
  }
  bool written = fwrite(bytes, 1, size, file.Get()) == size;
  written = fclose(file.Release()) == 0 && written;
  LogOutcome(L"file written", path, written ? ERROR_SUCCESS : FailureCode());
}

void OfferTemplate(const wchar_t* shellNewKey, bool isOwnFormat) {
  BestEffort(DeleteKey(HKEY_CLASSES_ROOT, shellNewKey));
  wchar_t path[MaxPathChars];
  ProductFilePath(isOwnFormat ? L"kelnew.dat" : L"zipnew.dat", path);
  if (isOwnFormat)
    WriteTemplateFile(path, kelTemplate, KelTemplateSize);
  else
    WriteTemplateFile(path, zipTemplate, ZipTemplateSize);
  BestEffort(SetString(HKEY_CLASSES_ROOT, shellNewKey, L"FileName", path));
}

// A volume extension is taken only when it is missing or the product's
// already: another program's (or a key someone keeps without a class) is
// left as it is, so there is nothing to give back for it. What was made is
// noted in the record of the format's former owner, wherever it lies.
void TakeVolumes(const wchar_t* settingsKey, bool firstTakeover) {
  wchar_t record[RecordKeyChars];
  FindFormerOwnerRecord(settingsKey, record);
  uint32_t made =
      firstTakeover ? 0 : static_cast<uint32_t>(GetUserInt(record, MadeVolumesValue, 0));
  wchar_t volume[ClassKeyChars];
  for (unsigned n = 0; n < TakenVolumeCount; ++n) {
    FormatText(volume, ClassKeyChars, VolumeExtensionFormat, n);
    if (!KeyExists(HKEY_CLASSES_ROOT, volume))
      made |= 1u << n;
    else if (!IsOwnAssociation(volume))
      continue;
    BestEffort(SetString(HKEY_CLASSES_ROOT, volume, L"", ArchiveClass));
  }
  BestEffort(SetUserInt(record, MadeVolumesValue, static_cast<int32_t>(made)));
}

void TakeExtension(const wchar_t* extension, const wchar_t* settingsKey, const wchar_t* shellNewKey,
                   bool templatesWanted, bool isOwnFormat, bool isZip) {
  // Only the first takeover records: later setups find the product's own
  // class there and keep the record of the real former owner.
  bool firstTakeover = !IsOwnAssociation(extension);
  if (firstTakeover)
    RecordFormerAssociation(extension, settingsKey, shellNewKey);
  else
    LogEvent(L"former owner kept", extension, L"recorded by an earlier setup");
  BestEffort(SetString(HKEY_CLASSES_ROOT, extension, L"", isZip ? ZipClass : ArchiveClass));
  if (isOwnFormat) TakeVolumes(settingsKey, firstTakeover);
  if (templatesWanted && (isOwnFormat || isZip)) OfferTemplate(shellNewKey, isOwnFormat);
}

// A key that keeps subkeys survives the deletion; its emptied default value
// is then what dissociates it. The result is the emptying's.
[[nodiscard]] LONG RemoveClassKey(const wchar_t* extension) {
  LONG result = SetString(HKEY_CLASSES_ROOT, extension, L"", L"");
  BestEffort(DeleteKey(HKEY_CLASSES_ROOT, extension));
  return result;
}

// Only volume extensions that are still the product's go back: another
// program's stay, and a key that is not there is not made. Those the
// product made go; others (made by earlier releases, which kept no record)
// get the format's former class, or go when it had none.
void GiveBackVolumes(const wchar_t* recordKey, bool existed, const wchar_t* former) {
  auto made = static_cast<uint32_t>(GetUserInt(recordKey, MadeVolumesValue, 0));
  wchar_t volume[ClassKeyChars];
  for (unsigned n = 0; n < ReleasedVolumeCount; ++n) {
    FormatText(volume, ClassKeyChars, VolumeExtensionFormat, n);
    if (!IsOwnAssociation(volume)) continue;
    bool madeByProduct = n < TakenVolumeCount && ((made >> n) & 1) != 0;
    if (!madeByProduct && existed && former[0])
      BestEffort(SetString(HKEY_CLASSES_ROOT, volume, L"", former));
    else
      BestEffort(RemoveClassKey(volume));
  }
}

void GiveBackExtension(const wchar_t* extension, const wchar_t* settingsKey,
                       const wchar_t* shellNewKey, bool isOwnFormat) {
  // An extension that another program (or nobody) holds now is not ours to
  // give back.
  if (!IsOwnAssociation(extension)) return;
  // Without any record the defaults say: a key that existed, with no class.
  wchar_t record[RecordKeyChars];
  FindFormerOwnerRecord(settingsKey, record);
  bool existed = GetUserInt(record, L"Exist", 1) != 0;
  wchar_t former[FormerClassChars];
  GetUserString(record, L"Type", former, L"", FormerClassChars);
  if (IsProductClass(former)) former[0] = 0;
  if (existed) {
    LogFormerOwner(L"former owner restored", extension, true, former,
                   SetString(HKEY_CLASSES_ROOT, extension, L"", former));
    wchar_t shellNew[MaxPathChars];
    GetUserString(record, L"ShellNew", shellNew, L"", MaxPathChars);
    DeleteValue(HKEY_CLASSES_ROOT, shellNewKey, L"FileName");
    if (shellNew[0] == L'*')
      BestEffort(SetString(HKEY_CLASSES_ROOT, shellNewKey, L"NullFile", L""));
    else if (shellNew[0])
      BestEffort(SetString(HKEY_CLASSES_ROOT, shellNewKey, L"FileName", shellNew));
  } else {
    BestEffort(DeleteKey(HKEY_CLASSES_ROOT, shellNewKey));
    LogFormerOwner(L"former owner restored", extension, false, former, RemoveClassKey(extension));
  }
  if (isOwnFormat) GiveBackVolumes(record, existed, former);
}

// Open command and, unless one is there already, icon of one class name.
void WriteClassKeys(const wchar_t* className, const wchar_t* openCommand,
                    const wchar_t* iconLocation) {
  wchar_t key[ClassKeyChars];
  FormatText(key, ClassKeyChars, L"%s\\shell\\open\\command", className);
  BestEffort(SetString(HKEY_CLASSES_ROOT, key, L"", openCommand));
  FormatText(key, ClassKeyChars, L"%s\\DefaultIcon", className);
  wchar_t icon[MaxPathChars];
  GetString(HKEY_CLASSES_ROOT, key, L"", icon, L"", MaxPathChars);
  if (!icon[0]) BestEffort(SetString(HKEY_CLASSES_ROOT, key, L"", iconLocation));
}

[[nodiscard]] LONG WriteClassDescription(const wchar_t* className, uint32_t messageId) {
  return SetString(HKEY_CLASSES_ROOT, className, L"", LoadMessage(messageId));
}

}  // namespace

bool ApplyFileAssociations(const IntegrationOptions& options, RefusedGiveBacks* refused) {
  if (refused) refused->count = 0;
  bool complete = true;
  for (unsigned row = 0; row < ExtensionRowCount; ++row) {
    for (RowExtensions e(ExtensionTable[row].extensions); e.Next();) {
      bool selected = options.Associate[row];
      unsigned refusedBefore = RefusedRegistryChanges();
      AssociateExtension(e.Current(), selected, options.ShellExt, row == 0, row == 1);
      if (RefusedRegistryChanges() == refusedBefore) continue;
      complete = false;
      if (!selected)
        LogEvent(L"former owner kept", e.Current(), L"refused by Windows; the record stays");
      if (refused && !selected && refused->count < TableExtensionCount)
        BoundedCopy(refused->extensions[refused->count++], e.Current(), ExtensionChars);
    }
  }
  return complete;
}

void AssociateExtension(const wchar_t* extension, bool selected, bool templatesWanted,
                        bool isOwnFormat, bool isZip) {
  kelTemplate[0] = 0x4B;
  zipTemplate[0] = 0x50;
  wchar_t settingsKey[ExtensionSettingsKeyChars];
  FormatExtensionSettingsKey(extension, settingsKey);
  wchar_t shellNewKey[ClassKeyChars];
  FormatShellNewKey(extension, shellNewKey);
  if (selected)
    TakeExtension(extension, settingsKey, shellNewKey, templatesWanted, isOwnFormat, isZip);
  else
    GiveBackExtension(extension, settingsKey, shellNewKey, isOwnFormat);
}

bool RegisterProgIds() {
  wchar_t program[MaxPathChars];
  ProductFilePath(ProgramFileName, program);
  wchar_t openCommand[OpenCommandChars];
  FormatText(openCommand, OpenCommandChars, L"\"%s\" \"%%1\"", program);
  wchar_t archiveIcon[MaxPathChars];
  FormatText(archiveIcon, MaxPathChars, L"%s,0", program);
  wchar_t recoveryIcon[MaxPathChars];
  FormatText(recoveryIcon, MaxPathChars, L"%s,1", program);

  // The first write alone tells whether the system lets us write class
  // keys at all.
  if (WriteClassDescription(ArchiveClass, IDS_TYPE_ARCHIVE) == ERROR_ACCESS_DENIED) return false;
  WriteClassKeys(ArchiveClass, openCommand, archiveIcon);
  BestEffort(WriteClassDescription(ZipClass, IDS_TYPE_ZIP_ARCHIVE));
  WriteClassKeys(ZipClass, openCommand, archiveIcon);
  BestEffort(SetString(HKEY_CLASSES_ROOT, RecoveryExtension, L"", RecoveryClass));
  BestEffort(WriteClassDescription(RecoveryClass, IDS_TYPE_RECOVERY_VOLUME));
  WriteClassKeys(RecoveryClass, openCommand, recoveryIcon);
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
  return true;
}
