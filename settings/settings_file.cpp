#include "settings/settings_file.h"

#include <cstdlib>
#include <cwchar>

#include "base/best_effort.h"
#include "base/conversion.h"
#include "base/error_state.h"
#include "base/format.h"
#include "base/log.h"
#include "base/product.h"
#include "base/program_path.h"
#include "base/run_state.h"
#include "fs/file_ops.h"
#include "fs/path_names.h"
#include "text/disk_file.h"
#include "text/text_lines.h"

namespace {

constexpr wchar_t GlobalKey[] = L"Global";

// All zero at start, so that it takes no room in the program file.
struct SettingsFile {
  bool loadAttempted;
  bool active;
  // The file's "Global" flags Integration and SaveSettings, set to 0.
  bool registryForbidden;
  bool savingForbidden;
  // Reading stopped before the end (a read error, memory running out): the
  // entries are only part of the file, and saving them would lose the rest.
  bool readInPart;
  // SaveIniFile wrote the file since it was read.
  bool saved;
  wchar_t path[MaxPathChars];
  IniEntry* first;
  IniEntry* last;
};

SettingsFile file;

const wchar_t* OrEmpty(const wchar_t* text) { return text ? text : L""; }

// A heap copy of `length` characters; null when memory has run out.
wchar_t* DuplicateText(const wchar_t* text, size_t length) {
  auto* copy = static_cast<wchar_t*>(std::malloc((length + 1) * sizeof(wchar_t)));
  if (!copy) return nullptr;
  std::wmemcpy(copy, text, length);
  copy[length] = 0;
  return copy;
}

void FreeEntry(IniEntry* entry) {
  std::free(entry->name);
  std::free(entry->value);
  std::free(entry);
}

// Appends an entry at the end of the list; false when memory has run out
// (nothing is appended then).
[[nodiscard]] bool AppendEntry(const wchar_t* name, size_t nameLength, const wchar_t* value,
                               size_t valueLength, EntryKind kind) {
  auto* entry = static_cast<IniEntry*>(std::calloc(1, sizeof(IniEntry)));
  if (!entry) return false;
  entry->name = DuplicateText(name, nameLength);
  entry->value = DuplicateText(value, valueLength);
  if (!entry->name || !entry->value) {
    FreeEntry(entry);
    return false;
  }
  entry->kind = kind;
  if (file.last)
    file.last->next = entry;
  else
    file.first = entry;
  file.last = entry;
  return true;
}

IniEntry* FindEntry(const wchar_t* name) {
  for (IniEntry* entry = file.first; entry; entry = entry->next)
    if (std::wcscmp(entry->name, name) == 0) return entry;
  return nullptr;
}

bool StartsWith(const wchar_t* text, const wchar_t* prefix) {
  return std::wcsncmp(text, prefix, std::wcslen(prefix)) == 0;
}

// Unlinks and frees every entry that `matches` accepts.
template <typename Matches>
void RemoveEntries(Matches matches) {
  IniEntry* previous = nullptr;
  for (IniEntry* entry = file.first; entry;) {
    IniEntry* next = entry->next;
    if (matches(entry->name)) {
      LogEvent(L"setting deleted", entry->name, L"done");
      if (previous)
        previous->next = next;
      else
        file.first = next;
      if (file.last == entry) file.last = previous;
      FreeEntry(entry);
    } else {
      previous = entry;
    }
    entry = next;
  }
}

void SetEntry(const wchar_t* name, const wchar_t* value, EntryKind kind) {
  IniEntry* entry = FindEntry(name);
  if (!entry) {
    if (!AppendEntry(name, std::wcslen(name), value, std::wcslen(value), kind))
      ErrorState.OutOfMemory();
    return;
  }
  wchar_t* copy = DuplicateText(value, std::wcslen(value));
  if (!copy) ErrorState.OutOfMemory();
  std::free(entry->value);
  entry->value = copy;
  entry->kind = kind;
}

bool IsAsciiLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

bool HasLineBreak(const wchar_t* text) { return std::wcspbrk(text, L"\r\n") != nullptr; }

// One line of the file: name=value, name="value" or name=bin:value. Other
// lines (sections, comments, anything that does not begin with a letter or
// has no "=") are not settings. False when memory has run out.
[[nodiscard]] bool ParseLine(const wchar_t* line) {
  if (!IsAsciiLetter(line[0])) return true;
  const wchar_t* equals = std::wcschr(line, L'=');
  if (!equals) return true;
  const wchar_t* value = equals + 1;
  size_t valueLength;
  EntryKind kind = Plain;
  if (*value == L'"') {
    kind = Quoted;
    ++value;
    valueLength = std::wcslen(value);
    if (valueLength && value[valueLength - 1] == L'"') --valueLength;
  } else if (std::wcsncmp(value, L"bin:", 4) == 0) {
    kind = Binary;
    value += 4;
    valueLength = std::wcslen(value);
  } else {
    valueLength = std::wcslen(value);
  }
  return AppendEntry(line, static_cast<size_t>(equals - line), value, valueLength, kind);
}

// Beside the program, else in the product's folder of the user's
// application data. Empty when neither place can hold the name uncut.
void LocateIniFile() {
  file.path[0] = 0;
  if (GetProgramPath(file.path, MaxPathChars)) {
    ReplaceNamePart(file.path, SettingsFileName, MaxPathChars);
    if (std::wcscmp(FindNamePart(file.path), SettingsFileName) != 0) file.path[0] = 0;
  }
  if (file.path[0] && PathExists(file.path)) return;
  wchar_t folder[MaxPathChars];
  if (!GetAppDataFolder(folder, MaxPathChars, false)) return;
  JoinPath(folder, SettingsFileName, file.path, MaxPathChars);
  if (std::wcscmp(FindNamePart(file.path), SettingsFileName) != 0) file.path[0] = 0;
}

// False when the file cannot be read.
[[nodiscard]] bool ReadIniFile() {
  LineList lines;
  bool whole = false;
  if (!LoadTextLines(file.path, lines, &whole)) return false;
  file.readInPart = !whole;
  const wchar_t* line = nullptr;
  while (lines.NextString(&line)) {
    if (!ParseLine(line)) {
      ErrorState.Record(KEL_MEMORY_ERROR);
      file.readInPart = true;
      break;
    }
  }
  return true;
}

// A flag is on unless the file says 0, and is written back at once, so that
// the file always shows it.
bool ReadGlobalFlag(const wchar_t* name) {
  const wchar_t* value = IniValue(GlobalRoot, GlobalKey, name);
  bool on = !value || IniNumber(value) != 0;
  BestEffort(SetIniEntry(GlobalRoot, GlobalKey, name, on ? L"1" : L"0", Plain));
  return on;
}

void LogSettingsPlace() {
  if (!file.active)
    LogEvent(L"settings", L"registry", L"in use");
  else if (file.readInPart)
    LogEvent(L"settings", file.path, L"in use, read in part: never written");
  else
    LogEvent(L"settings", file.path,
             file.registryForbidden ? L"in use, no registry access" : L"in use");
}

// A name refused for the file: one that was cut, or that would not read
// back as the same single line.
LONG CheckEntryName(bool complete, const wchar_t* name) {
  if (!complete) return ERROR_FILENAME_EXCED_RANGE;
  if (std::wcschr(name, L'=') || HasLineBreak(name)) return ERROR_INVALID_PARAMETER;
  return ERROR_SUCCESS;
}

// An entry and its place in the list. Entries of the same name keep their
// order in the saved file, so that the one that reads and writes use stays
// first when the file is read again.
struct SortedEntry {
  const IniEntry* entry;
  uint32_t place;
};

// The saved file's order: names by UTF-16 code units, then list order.
int CompareEntries(const void* a, const void* b) {
  const auto* left = static_cast<const SortedEntry*>(a);
  const auto* right = static_cast<const SortedEntry*>(b);
  for (const wchar_t *l = left->entry->name, *r = right->entry->name;; ++l, ++r) {
    auto lc = static_cast<uint16_t>(*l);
    auto rc = static_cast<uint16_t>(*r);
    if (lc != rc) return lc < rc ? -1 : 1;
    if (lc == 0) break;
  }
  return left->place < right->place ? -1 : left->place > right->place ? 1 : 0;
}

void AppendText(GrowableArray<wchar_t>& text, const wchar_t* part) {
  size_t length = std::wcslen(part);
  if (length > UINT32_MAX) ErrorState.OutOfMemory();
  uint32_t at = text.Count();
  text.Add(static_cast<uint32_t>(length));
  std::wmemcpy(text.Data() + at, part, length);
}

void AppendEntryLine(GrowableArray<wchar_t>& text, const IniEntry& entry) {
  AppendText(text, entry.name);
  AppendText(text, L"=");
  if (entry.kind == Quoted) AppendText(text, L"\"");
  if (entry.kind == Binary) AppendText(text, L"bin:");
  AppendText(text, entry.value);
  if (entry.kind == Quoted) AppendText(text, L"\"");
  AppendText(text, L"\r\n");
}

// Appends to a fixed buffer and remembers whether anything was cut.
class NameBuilder {
 public:
  NameBuilder(wchar_t* buffer, size_t size) : buffer_(buffer), size_(size) { buffer_[0] = 0; }
  void Append(const wchar_t* text) {
    for (; *text; ++text) {
      if (length_ + 1 >= size_) {
        cut_ = true;
        return;
      }
      buffer_[length_++] = *text;
    }
    buffer_[length_] = 0;
  }
  size_t Length() const { return length_; }
  bool EndsWith(wchar_t c) const { return length_ && buffer_[length_ - 1] == c; }
  bool Complete() const { return !cut_; }

 private:
  wchar_t* buffer_;
  size_t size_;
  size_t length_ = 0;
  bool cut_ = false;
};

}  // namespace

void LoadIniFile() {
  if (file.active || file.loadAttempted) return;
  file.loadAttempted = true;
  LocateIniFile();
  if (file.path[0] && PathExists(file.path) && ReadIniFile()) {
    file.active = true;
    // AppData is read only to be written back: nothing here acts on it.
    ReadGlobalFlag(L"AppData");
    file.registryForbidden = !ReadGlobalFlag(L"Integration");
    file.savingForbidden = !ReadGlobalFlag(L"SaveSettings");
  }
  LogSettingsPlace();
}

bool IsIniActive() { return file.active; }

bool IsIntegrationEnabled() { return !file.registryForbidden; }

const wchar_t* IniFilePath() { return file.path; }

const IniEntry* FirstIniEntry() { return file.first; }

bool MakeEntryName(HKEY root, const wchar_t* keyPath, const wchar_t* valueName, wchar_t* name) {
  NameBuilder builder(name, EntryNameChars);
  if (root == HKEY_CURRENT_USER) builder.Append(L"HKCU\\");
  if (root == HKEY_LOCAL_MACHINE) builder.Append(L"HKLM\\");
  builder.Append(OrEmpty(keyPath));
  if (builder.Length() && !builder.EndsWith(L'\\')) builder.Append(L"\\");
  builder.Append(OrEmpty(valueName));
  return builder.Complete();
}

bool IniKeyExists(HKEY root, const wchar_t* keyPath) {
  wchar_t prefix[EntryNameChars];
  if (!MakeEntryName(root, keyPath, L"", prefix)) return false;
  for (const IniEntry* entry = file.first; entry; entry = entry->next)
    if (StartsWith(entry->name, prefix)) return true;
  return false;
}

const wchar_t* IniValue(HKEY root, const wchar_t* keyPath, const wchar_t* valueName) {
  wchar_t name[EntryNameChars];
  if (!MakeEntryName(root, keyPath, valueName, name)) return nullptr;
  const IniEntry* entry = FindEntry(name);
  return entry ? entry->value : nullptr;
}

int32_t IniNumber(const wchar_t* value) {
  return static_cast<int32_t>(static_cast<uint32_t>(ParseNumber(value)));
}

LONG SetIniEntry(HKEY root, const wchar_t* keyPath, const wchar_t* valueName, const wchar_t* text,
                 EntryKind kind) {
  wchar_t name[EntryNameChars];
  LONG refused = CheckEntryName(MakeEntryName(root, keyPath, valueName, name), name);
  if (refused == ERROR_SUCCESS && HasLineBreak(text)) refused = ERROR_INVALID_PARAMETER;
  if (refused == ERROR_SUCCESS) SetEntry(name, text, kind);
  LogOutcome(L"setting set", name, static_cast<DWORD>(refused));
  return refused;
}

void RemoveIniValue(HKEY root, const wchar_t* keyPath, const wchar_t* valueName) {
  wchar_t name[EntryNameChars];
  // A cut name would also match entries that were not meant.
  if (!MakeEntryName(root, keyPath, valueName, name)) return;
  RemoveEntries([&](const wchar_t* entryName) { return std::wcscmp(entryName, name) == 0; });
}

void RemoveIniTree(HKEY root, const wchar_t* keyPath, const wchar_t* const* spared,
                   unsigned sparedCount) {
  wchar_t prefix[EntryNameChars];
  if (!MakeEntryName(root, keyPath, L"", prefix)) return;
  wchar_t kept[EntryNameChars];
  for (unsigned i = 0; i < sparedCount; ++i)
    if (!MakeEntryName(root, spared[i], L"", kept)) return;
  RemoveEntries([&](const wchar_t* entryName) {
    if (!StartsWith(entryName, prefix)) return false;
    for (unsigned i = 0; i < sparedCount; ++i)
      if (MakeEntryName(root, spared[i], L"", kept) && StartsWith(entryName, kept)) return false;
    return true;
  });
}

bool SaveIniFile() {
  if (!file.active || file.savingForbidden || file.readInPart) return false;
  DiskFile out;
  if (!out.Create(file.path, CreateShareRead)) {
    LogOutcome(L"settings file written", file.path, FailureCode());
    return false;
  }

  uint32_t count = 0;
  for (const IniEntry* entry = file.first; entry; entry = entry->next) ++count;
  GrowableArray<SortedEntry> sorted;
  sorted.SetSize(count);
  uint32_t i = 0;
  for (const IniEntry* entry = file.first; entry; entry = entry->next, ++i) sorted[i] = {entry, i};
  HeapSort(sorted.Data(), count, sizeof(SortedEntry), CompareEntries);

  GrowableArray<wchar_t> text;
  AppendText(text, L"\xFEFF");
  for (i = 0; i < count; ++i) AppendEntryLine(text, *sorted[i].entry);
  bool written = out.Write(text.Data(), text.Count() * sizeof(wchar_t));
  written = out.Close() && written;
  LogOutcome(L"settings file written", file.path, written ? ERROR_SUCCESS : FailureCode());
  file.saved = file.saved || written;
  return written;
}

bool IniFileSaved() { return file.active && file.saved; }

void ReleaseIni() {
  while (file.first) {
    IniEntry* next = file.first->next;
    FreeEntry(file.first);
    file.first = next;
  }
  file.last = nullptr;
  file.loadAttempted = false;
  file.active = false;
  file.readInPart = false;
  file.saved = false;
}

void ResetSettingsStoreForTesting() {
  ReleaseIni();
  file.path[0] = 0;
  file.registryForbidden = false;
  file.savingForbidden = false;
}
