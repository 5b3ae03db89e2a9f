#include "integration/uninstall_entry.h"

#include <windows.h>

#include "base/best_effort.h"
#include "base/conversion.h"
#include "base/format.h"
#include "base/product.h"
#include "base/program_path.h"
#include "base/run_state.h"
#include "fs/file_ops.h"
#include "fs/path_names.h"
#include "localization/messages.h"
#include "resources/resource_ids.h"
#include "settings/settings_store.h"
#include "text/file_list.h"

namespace {

constexpr wchar_t Publisher[] = L"Brenmark";
// The product name and the version text, with room for long translations.
constexpr unsigned DisplayNameChars = 2148;
constexpr unsigned VersionChars = 32;
// The program's path, the quotation marks around it and the silent switch.
constexpr unsigned UninstallCommandChars = MaxPathChars + 8;
// "YYYYMMDD".
constexpr unsigned DateChars = 12;

// The product's main program beside the running one.
void GetMainProgramPath(wchar_t* path) {
  GetProgramPath(path, MaxPathChars);
  ReplaceNamePart(path, ProgramFileName, MaxPathChars);
}

// The size of a file; 0 for a folder or a name that reaches nothing.
uint64_t FileSize(const wchar_t* path) {
  wchar_t exact[ListEntryChars + 8];
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!ExactName(path, exact, ListEntryChars + 8) ||
      !GetFileAttributesExW(exact, GetFileExInfoStandard, &data) ||
      IsDirectory(data.dwFileAttributes))
    return 0;
  return uint64_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow;
}

// What the uninstall would remove: the program, its list and every file
// the list names, in KB (1,024 bytes) rounded up; what the list names
// twice counts twice. Beyond 4 TB it stays at the largest number.
uint32_t EstimateSize(const wchar_t* program) {
  wchar_t folder[MaxPathChars];
  BoundedCopy(folder, program, MaxPathChars);
  *FindNamePart(folder) = 0;
  wchar_t entry[ListEntryChars];
  FormatText(entry, ListEntryChars, L"%s%s", folder, FileListName);
  uint64_t bytes = FileSize(program) + FileSize(entry);
  wchar_t exact[ListEntryChars + 8];
  Stream list(ExactName(entry, exact, ListEntryChars + 8) ? OpenStream(exact, L"rb") : nullptr);
  char line[ListLineBytes];
  wchar_t wide[ListLineBytes];
  ListLine kind;
  uint32_t consumed;
  unsigned depth;
  while (list && ReadListLine(list.Get(), line, kind, consumed))
    if (kind == ListLine::Name && ToWide(line, wide, ListLineBytes) &&
        ListEntryName(folder, wide, entry, ListEntryChars, depth))
      bytes += FileSize(entry);
  uint64_t kilobytes = bytes / 1024 + (bytes % 1024 != 0);
  return kilobytes > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(kilobytes);
}

// Each value of the uninstall entry is written by itself: a value Windows
// refuses is counted by the store, and the others are written all the same.
void WriteEntryText(const wchar_t* name, const wchar_t* text) {
  BestEffort(SetString(HKEY_LOCAL_MACHINE, UninstallKey, name, text));
}

void WriteEntryNumber(const wchar_t* name, int32_t value) {
  BestEffort(SetInt(HKEY_LOCAL_MACHINE, UninstallKey, name, value));
}

}  // namespace

bool RegisterAppPaths() {
  wchar_t program[MaxPathChars];
  GetMainProgramPath(program);
  // Without the right to write below HKEY_LOCAL_MACHINE nothing else is
  // tried.
  if (SetString(HKEY_LOCAL_MACHINE, AppPathsKey, L"", program) == ERROR_ACCESS_DENIED) return false;
  BestEffort(SetString(HKEY_LOCAL_MACHINE, L"", L"exe32", program));
  wchar_t folder[MaxPathChars];
  BoundedCopy(folder, program, MaxPathChars);
  RemoveNamePart(folder);
  BestEffort(SetString(HKEY_LOCAL_MACHINE, AppPathsKey, L"Path", folder));
  // 64-bit programs look the name up in their own view.
  ScopedRegistryView view64(true);
  BestEffort(SetString(HKEY_LOCAL_MACHINE, AppPathsKey, L"", program));
  BestEffort(SetString(HKEY_LOCAL_MACHINE, AppPathsKey, L"Path", folder));
  return true;
}

void WriteUninstallEntry() {
  wchar_t displayName[DisplayNameChars];
  BoundedCopy(displayName, ProductName, DisplayNameChars);
  FormatDisplayName(displayName, DisplayNameChars);
  WriteEntryText(L"DisplayName", displayName);
  wchar_t version[VersionChars];
  FormatText(version, VersionChars, L"%d.%02d.%d", PRODUCT_VERSION_MAJOR, PRODUCT_VERSION_MINOR,
             PRODUCT_VERSION_BUILD);
  WriteEntryText(L"DisplayVersion", version);
  WriteEntryNumber(L"VersionMajor", PRODUCT_VERSION_MAJOR);
  WriteEntryNumber(L"VersionMinor", PRODUCT_VERSION_MINOR);

  wchar_t program[MaxPathChars];
  GetProgramPath(program, MaxPathChars);
  // Windows runs this value as a command line: unquoted, a path with blanks
  // would first start "C:\Program.exe", whoever put it there.
  wchar_t command[UninstallCommandChars];
  FormatText(command, UninstallCommandChars, L"\"%s\"", program);
  WriteEntryText(L"UninstallString", command);
  // Deployment tools run this one where nobody answers a question.
  FormatText(command, UninstallCommandChars, L"\"%s\" /S", program);
  WriteEntryText(L"QuietUninstallString", command);
  wchar_t path[MaxPathChars];
  BoundedCopy(path, program, MaxPathChars);
  ReplaceNamePart(path, ProgramFileName, MaxPathChars);
  WriteEntryText(L"DisplayIcon", path);
  BoundedCopy(path, program, MaxPathChars);
  *FindNamePart(path) = 0;
  WriteEntryText(L"InstallLocation", path);
  WriteEntryNumber(L"EstimatedSize", static_cast<int32_t>(EstimateSize(program)));

  WriteEntryNumber(L"NoModify", 1);
  WriteEntryNumber(L"NoRepair", 1);
  WriteEntryNumber(L"Language", 0);
  WriteEntryText(L"Publisher", Publisher);
  SYSTEMTIME today;
  GetLocalTime(&today);
  wchar_t date[DateChars];
  FormatText(date, DateChars, L"%04u%02u%02u", today.wYear, today.wMonth, today.wDay);
  WriteEntryText(L"InstallDate", date);
}

void FormatDisplayName(wchar_t* buffer, size_t capacity) {
  if (capacity == 0) return;
  if (buffer[0]) BoundedAppend(buffer, L" ", capacity);
  wchar_t part[DisplayNameChars];
  FormatText(part, DisplayNameChars, L"%d.%02d", PRODUCT_VERSION_MAJOR, PRODUCT_VERSION_MINOR);
  BoundedAppend(buffer, part, capacity);
  // Message texts are arguments here, never formats.
  FormatText(part, DisplayNameChars, L" %s %d", LoadMessage(IDS_DISPLAY_VERSION_WORD),
             PRODUCT_VERSION_BUILD);
  BoundedAppend(buffer, part, capacity);
  FormatText(part, DisplayNameChars, L" (%s)", LoadMessage(IDS_DISPLAY_NAME_NOTE));
  BoundedAppend(buffer, part, capacity);
}
