#include "settings/settings_store.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "app/shared/error_state.h"
#include "app/shared/format.h"
#include "app/shared/log.h"
#include "app/shared/product.h"
#include "app/shared/program_path.h"
#include "app/shared/run_state.h"
#include "app/shared/win_handles.h"
#include "fs/file_ops.h"
#include "fs/path_names.h"
#include "text/conversion.h"
#include "text/disk_file.h"
#include "text/text_lines.h"

namespace {

constexpr unsigned NumberChars = 20;

bool loadAttempted = false;
bool iniActive = false;
wchar_t iniPath[MaxPathChars];
bool integrationFlag = true;
bool saveSettingsFlag = true;
bool appDataFlag = true;
IniEntry* firstEntry = nullptr;
IniEntry* lastEntry = nullptr;
unsigned refusedChanges = 0;

// A registry name in the log: the hive, the key, the view under WOW64 (where
// the two views differ for some keys), and the value name.
constexpr unsigned LogWhereChars = ResolvedKeyChars + 64 + 256;

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
bool AppendEntry(const wchar_t* name, size_t nameLength, const wchar_t* value, size_t valueLength,
                 EntryKind kind) {
  auto* entry = static_cast<IniEntry*>(std::calloc(1, sizeof(IniEntry)));
  if (!entry) return false;
  entry->name = DuplicateText(name, nameLength);
  entry->value = DuplicateText(value, valueLength);
  if (!entry->name || !entry->value) {
    FreeEntry(entry);
    return false;
  }
  entry->kind = kind;
  if (lastEntry)
    lastEntry->next = entry;
  else
    firstEntry = entry;
  lastEntry = entry;
  return true;
}

IniEntry* FindEntry(const wchar_t* name) {
  for (IniEntry* entry = firstEntry; entry; entry = entry->next)
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
  for (IniEntry* entry = firstEntry; entry;) {
    IniEntry* next = entry->next;
    if (matches(entry->name)) {
      LogEvent(L"setting deleted", entry->name, L"done");
      if (previous)
        previous->next = next;
      else
        firstEntry = next;
      if (lastEntry == entry) lastEntry = previous;
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
bool ParseLine(const wchar_t* line) {
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
  iniPath[0] = 0;
  if (GetProgramPath(iniPath, MaxPathChars)) {
    ReplaceNamePart(iniPath, SettingsFileName, MaxPathChars);
    if (std::wcscmp(FindNamePart(iniPath), SettingsFileName) != 0) iniPath[0] = 0;
  }
  if (iniPath[0] && PathExists(iniPath)) return;
  wchar_t folder[MaxPathChars];
  if (!GetAppDataFolder(folder, MaxPathChars, false)) return;
  JoinPath(folder, SettingsFileName, iniPath, MaxPathChars);
  if (std::wcscmp(FindNamePart(iniPath), SettingsFileName) != 0) iniPath[0] = 0;
}

// False when the file cannot be read. Exhausted memory ends the reading but
// keeps what was read, and ErrorState records it: the file is in use all
// the same.
bool ReadIniFile() {
  LineList lines;
  if (!LoadTextLines(iniPath, lines)) return false;
  const wchar_t* line = nullptr;
  while (lines.NextString(&line)) {
    if (!ParseLine(line)) {
      ErrorState.Record(KEL_MEMORY_ERROR);
      break;
    }
  }
  return true;
}

// The flags are written back at once, so that the file always shows them.
void ReadGlobalFlags() {
  appDataFlag = GetInt(GlobalRoot, L"Global", L"AppData", 1) != 0;
  integrationFlag = GetInt(GlobalRoot, L"Global", L"Integration", 1) != 0;
  saveSettingsFlag = GetInt(GlobalRoot, L"Global", L"SaveSettings", 1) != 0;
  SetInt(GlobalRoot, L"Global", L"AppData", appDataFlag ? 1 : 0);
  SetInt(GlobalRoot, L"Global", L"Integration", integrationFlag ? 1 : 0);
  SetInt(GlobalRoot, L"Global", L"SaveSettings", saveSettingsFlag ? 1 : 0);
}

void LogSettingsPlace() {
  if (!iniActive)
    LogEvent(L"settings", L"registry", L"in use");
  else
    LogEvent(L"settings", iniPath, integrationFlag ? L"in use" : L"in use, no registry access");
}

void LoadIniFile() {
  if (iniActive || loadAttempted) return;
  loadAttempted = true;
  LocateIniFile();
  if (iniPath[0] && PathExists(iniPath) && ReadIniFile()) {
    iniActive = true;
    ReadGlobalFlags();
  }
  LogSettingsPlace();
}

enum class Route { File, Blocked, Registry };

Route RouteCall(HKEY root, const wchar_t* keyPath) {
  LoadIniFile();
  if (iniActive &&
      (root == GlobalRoot || root == HKEY_CURRENT_USER || root == HKEY_LOCAL_MACHINE) &&
      keyPath[0] != L'\\')
    return Route::File;
  return integrationFlag ? Route::Registry : Route::Blocked;
}

REGSAM ReadAccess() { return KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS | RegistryViewFlags; }

// Anyone can store anything under a value name. Text is no number (read as
// bytes, the text "0" would set a flag); binary data of up to four bytes
// is one.
bool IsNumberType(DWORD type) { return type == REG_DWORD || type == REG_BINARY; }

// Terminates the text read into `buffer` behind its `size` bytes (an odd
// last byte is dropped). False for a value that is no text, or that fills
// the buffer without a terminator of its own: it does not fit, and cut it
// would be another text, such as another class name or file path.
bool TerminateRegistryText(DWORD type, wchar_t* buffer, DWORD size, size_t capacity) {
  if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
  size_t length = size / sizeof(wchar_t);
  if (length < capacity) {
    buffer[length] = 0;
    return true;
  }
  return std::wmemchr(buffer, 0, length) != nullptr;
}

LONG OpenKey(HKEY root, const wchar_t* name, REGSAM access, RegKey& key) {
  HKEY handle = nullptr;
  LONG result = RegOpenKeyExW(root, name, 0, access, &handle);
  if (result == ERROR_SUCCESS) key.Reset(handle);
  return result;
}

// A name refused for the file: one that was cut, or that would not read
// back as the same single line.
LONG CheckEntryName(bool complete, const wchar_t* name) {
  if (!complete) return ERROR_FILENAME_EXCED_RANGE;
  if (std::wcschr(name, L'=') || HasLineBreak(name)) return ERROR_INVALID_PARAMETER;
  return ERROR_SUCCESS;
}

LONG WriteRegistryValue(HKEY root, const wchar_t* keyPath, const wchar_t* valueName, DWORD type,
                        const void* data, DWORD size) {
  wchar_t resolved[ResolvedKeyChars];
  if (!ResolveKeyPath(root, keyPath, resolved)) return ERROR_FILENAME_EXCED_RANGE;
  HKEY handle = nullptr;
  DWORD disposition = 0;
  LONG result = RegCreateKeyExW(root, resolved, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_WRITE | RegistryViewFlags, nullptr, &handle, &disposition);
  if (result != ERROR_SUCCESS) {
    LogRegistryChange(L"registry set", root, resolved, valueName, result);
    return NoteRegistryChange(result);
  }
  RegKey key(handle);
  if (disposition == REG_CREATED_NEW_KEY)
    LogRegistryChange(L"registry key created", root, resolved, nullptr, ERROR_SUCCESS);
  result = RegSetValueExW(key.Get(), valueName, 0, type, static_cast<const BYTE*>(data), size);
  LogRegistryChange(L"registry set", root, resolved, valueName, result);
  return NoteRegistryChange(result);
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

bool MakeEntryName(HKEY root, const wchar_t* keyPath, const wchar_t* valueName, wchar_t* name) {
  NameBuilder builder(name, EntryNameChars);
  if (root == HKEY_CURRENT_USER) builder.Append(L"HKCU\\");
  if (root == HKEY_LOCAL_MACHINE) builder.Append(L"HKLM\\");
  builder.Append(OrEmpty(keyPath));
  if (builder.Length() && !builder.EndsWith(L'\\')) builder.Append(L"\\");
  builder.Append(OrEmpty(valueName));
  return builder.Complete();
}

bool ResolveKeyPath(HKEY root, const wchar_t* keyPath, wchar_t* resolved) {
  keyPath = OrEmpty(keyPath);
  int written;
  if (root == HKEY_CURRENT_USER || root == HKEY_LOCAL_MACHINE) {
    if (keyPath[0] == L'\\')
      written = FormatText(resolved, ResolvedKeyChars, L"%s", keyPath + 1);
    else  // below the product's key, named without the store's root mark
      written = FormatText(resolved, ResolvedKeyChars, L"%s%s%s", ProductKey + 1,
                           keyPath[0] ? L"\\" : L"", keyPath);
  } else {
    written = FormatText(resolved, ResolvedKeyChars, L"%s", keyPath);
  }
  return written >= 0;
}

bool KeyExists(HKEY root, const wchar_t* keyPath) {
  keyPath = OrEmpty(keyPath);
  switch (RouteCall(root, keyPath)) {
    case Route::Blocked:
      return false;
    case Route::File: {
      wchar_t prefix[EntryNameChars];
      if (!MakeEntryName(root, keyPath, L"", prefix)) return false;
      for (const IniEntry* entry = firstEntry; entry; entry = entry->next)
        if (StartsWith(entry->name, prefix)) return true;
      return false;
    }
    case Route::Registry:
      break;
  }
  wchar_t resolved[ResolvedKeyChars];
  if (!ResolveKeyPath(root, keyPath, resolved)) return false;
  RegKey key;
  return OpenKey(root, resolved, KEY_QUERY_VALUE, key) == ERROR_SUCCESS;
}

int32_t GetInt(HKEY root, const wchar_t* keyPath, const wchar_t* valueName, int32_t defaultValue) {
  keyPath = OrEmpty(keyPath);
  valueName = OrEmpty(valueName);
  switch (RouteCall(root, keyPath)) {
    case Route::Blocked:
      return defaultValue;
    case Route::File: {
      wchar_t name[EntryNameChars];
      if (!MakeEntryName(root, keyPath, valueName, name)) return defaultValue;
      const IniEntry* entry = FindEntry(name);
      return entry ? static_cast<int32_t>(static_cast<uint32_t>(ParseNumber(entry->value)))
                   : defaultValue;
    }
    case Route::Registry:
      break;
  }
  wchar_t resolved[ResolvedKeyChars];
  RegKey key;
  if (!ResolveKeyPath(root, keyPath, resolved) ||
      OpenKey(root, resolved, ReadAccess(), key) != ERROR_SUCCESS)
    return defaultValue;
  // A value shorter than four bytes counts with zero bytes above it.
  uint8_t bytes[4] = {};
  DWORD size = sizeof bytes;
  DWORD type = REG_NONE;
  if (RegQueryValueExW(key.Get(), valueName, nullptr, &type, bytes, &size) != ERROR_SUCCESS ||
      size == 0 || !IsNumberType(type))
    return defaultValue;
  uint32_t value;
  std::memcpy(&value, bytes, sizeof value);
  return static_cast<int32_t>(value);
}

bool GetString(HKEY root, const wchar_t* keyPath, const wchar_t* valueName, wchar_t* buffer,
               const wchar_t* defaultText, size_t capacity) {
  if (capacity == 0) return false;
  keyPath = OrEmpty(keyPath);
  valueName = OrEmpty(valueName);
  defaultText = OrEmpty(defaultText);
  switch (RouteCall(root, keyPath)) {
    case Route::Blocked:
      BoundedCopy(buffer, defaultText, capacity);
      return true;
    case Route::File: {
      wchar_t name[EntryNameChars];
      const IniEntry* entry = MakeEntryName(root, keyPath, valueName, name) ? FindEntry(name) : nullptr;
      BoundedCopy(buffer, entry ? entry->value : defaultText, capacity);
      return true;
    }
    case Route::Registry:
      break;
  }
  BoundedCopy(buffer, defaultText, capacity);
  wchar_t resolved[ResolvedKeyChars];
  RegKey key;
  if (!ResolveKeyPath(root, keyPath, resolved) ||
      OpenKey(root, resolved, ReadAccess(), key) != ERROR_SUCCESS)
    return false;
  size_t usable = capacity < MAXDWORD / sizeof(wchar_t) ? capacity : MAXDWORD / sizeof(wchar_t);
  DWORD size = static_cast<DWORD>(usable * sizeof(wchar_t));
  DWORD type = REG_NONE;
  if (RegQueryValueExW(key.Get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                       &size) != ERROR_SUCCESS ||
      !TerminateRegistryText(type, buffer, size, capacity)) {
    // A value that did not fit may have left part of itself in the buffer.
    BoundedCopy(buffer, defaultText, capacity);
    return false;
  }
  return true;
}

// Sets an entry of the settings file, refusing a name that had to be cut or
// a name or text that would break its line apart.
static LONG SetFileEntry(HKEY root, const wchar_t* keyPath, const wchar_t* valueName,
                         const wchar_t* text, EntryKind kind) {
  wchar_t name[EntryNameChars];
  LONG refused = CheckEntryName(MakeEntryName(root, keyPath, valueName, name), name);
  if (refused == ERROR_SUCCESS && HasLineBreak(text)) refused = ERROR_INVALID_PARAMETER;
  if (refused == ERROR_SUCCESS) SetEntry(name, text, kind);
  LogOutcome(L"setting set", name, static_cast<DWORD>(refused));
  return refused;
}

LONG SetString(HKEY root, const wchar_t* keyPath, const wchar_t* valueName, const wchar_t* text) {
  keyPath = OrEmpty(keyPath);
  valueName = OrEmpty(valueName);
  text = OrEmpty(text);
  switch (RouteCall(root, keyPath)) {
    case Route::Blocked:
      return ERROR_SUCCESS;
    case Route::File:
      return SetFileEntry(root, keyPath, valueName, text, Quoted);
    case Route::Registry:
      break;
  }
  size_t bytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
  if (bytes > MAXDWORD) return ERROR_INVALID_PARAMETER;
  return WriteRegistryValue(root, keyPath, valueName, REG_SZ, text, static_cast<DWORD>(bytes));
}

LONG SetInt(HKEY root, const wchar_t* keyPath, const wchar_t* valueName, int32_t value) {
  keyPath = OrEmpty(keyPath);
  valueName = OrEmpty(valueName);
  switch (RouteCall(root, keyPath)) {
    case Route::Blocked:
      return ERROR_SUCCESS;
    case Route::File: {
      wchar_t number[NumberChars];
      NumberToText(static_cast<uint32_t>(value), number, NumberChars);
      return SetFileEntry(root, keyPath, valueName, number, Plain);
    }
    case Route::Registry:
      break;
  }
  uint32_t data = static_cast<uint32_t>(value);
  return WriteRegistryValue(root, keyPath, valueName, REG_DWORD, &data, sizeof data);
}

int32_t GetUserInt(const wchar_t* keyPath, const wchar_t* valueName, int32_t defaultValue) {
  return GetInt(HKEY_CURRENT_USER, keyPath, valueName, defaultValue);
}

bool GetUserString(const wchar_t* keyPath, const wchar_t* valueName, wchar_t* buffer,
                   const wchar_t* defaultText, size_t capacity) {
  return GetString(HKEY_CURRENT_USER, keyPath, valueName, buffer, defaultText, capacity);
}

LONG SetUserString(const wchar_t* keyPath, const wchar_t* valueName, const wchar_t* text) {
  return SetString(HKEY_CURRENT_USER, keyPath, valueName, text);
}

LONG SetUserInt(const wchar_t* keyPath, const wchar_t* valueName, int32_t value) {
  return SetInt(HKEY_CURRENT_USER, keyPath, valueName, value);
}

bool DeleteIniEntries(HKEY root, const wchar_t* keyPath, const wchar_t* valueName) {
  valueName = OrEmpty(valueName);
  if (!valueName[0]) return DeleteIniTree(root, keyPath, nullptr, 0);
  keyPath = OrEmpty(keyPath);
  switch (RouteCall(root, keyPath)) {
    case Route::Registry:
      return false;
    case Route::Blocked:
      return true;
    case Route::File:
      break;
  }
  wchar_t name[EntryNameChars];
  // A cut name would also match entries that were not meant.
  if (!MakeEntryName(root, keyPath, valueName, name)) return true;
  RemoveEntries([&](const wchar_t* entryName) { return std::wcscmp(entryName, name) == 0; });
  return true;
}

bool DeleteIniTree(HKEY root, const wchar_t* keyPath, const wchar_t* const* spared,
                   unsigned sparedCount) {
  keyPath = OrEmpty(keyPath);
  switch (RouteCall(root, keyPath)) {
    case Route::Registry:
      return false;
    case Route::Blocked:
      return true;
    case Route::File:
      break;
  }
  wchar_t prefix[EntryNameChars];
  if (!MakeEntryName(root, keyPath, L"", prefix)) return true;
  wchar_t kept[EntryNameChars];
  for (unsigned i = 0; i < sparedCount; ++i)
    if (!MakeEntryName(root, spared[i], L"", kept)) return true;
  RemoveEntries([&](const wchar_t* entryName) {
    if (!StartsWith(entryName, prefix)) return false;
    for (unsigned i = 0; i < sparedCount; ++i)
      if (MakeEntryName(root, spared[i], L"", kept) && StartsWith(entryName, kept)) return false;
    return true;
  });
  return true;
}

unsigned RefusedRegistryChanges() { return refusedChanges; }

void LogRegistryChange(const wchar_t* what, HKEY root, const wchar_t* resolved,
                       const wchar_t* valueName, LONG result) {
  if (!IsLogging()) return;
  const wchar_t* hive = root == HKEY_CLASSES_ROOT    ? L"HKCR"
                        : root == HKEY_CURRENT_USER  ? L"HKCU"
                        : root == HKEY_LOCAL_MACHINE ? L"HKLM"
                                                     : L"?";
  const wchar_t* view = !IsWow64()                              ? L""
                        : (RegistryViewFlags & KEY_WOW64_64KEY) ? L" (64-bit view)"
                                                                : L" (32-bit view)";
  wchar_t where[LogWhereChars];
  if (!valueName)
    FormatText(where, LogWhereChars, L"%s\\%s%s", hive, resolved, view);
  else
    FormatText(where, LogWhereChars, L"%s\\%s%s : %s", hive, resolved, view,
               valueName[0] ? valueName : L"(default)");
  LogOutcome(what, where, static_cast<DWORD>(result));
}

LONG NoteRegistryChange(LONG result) {
  if (result == ERROR_ACCESS_DENIED) ++refusedChanges;
  return result;
}

bool IsIntegrationEnabled() { return integrationFlag; }

bool SaveIniFile() {
  if (!iniActive || !saveSettingsFlag) return false;
  DiskFile file;
  if (!file.Create(iniPath, CreateShareRead)) {
    LogOutcome(L"settings file written", iniPath, FailureCode());
    return false;
  }

  uint32_t count = 0;
  for (const IniEntry* entry = firstEntry; entry; entry = entry->next) ++count;
  GrowableArray<SortedEntry> sorted;
  sorted.SetSize(count);
  uint32_t i = 0;
  for (const IniEntry* entry = firstEntry; entry; entry = entry->next, ++i) sorted[i] = {entry, i};
  HeapSort(sorted.Data(), count, sizeof(SortedEntry), CompareEntries);

  GrowableArray<wchar_t> text;
  AppendText(text, L"\xFEFF");
  for (i = 0; i < count; ++i) AppendEntryLine(text, *sorted[i].entry);
  bool written = file.Write(text.Data(), text.Count() * sizeof(wchar_t));
  written = file.Close() && written;
  LogOutcome(L"settings file written", iniPath, written ? ERROR_SUCCESS : FailureCode());
  return written;
}

void ReleaseIni() {
  while (firstEntry) {
    IniEntry* next = firstEntry->next;
    FreeEntry(firstEntry);
    firstEntry = next;
  }
  lastEntry = nullptr;
  loadAttempted = false;
  iniActive = false;
}

const IniEntry* FirstIniEntry() { return firstEntry; }

bool IsIniActive() { return iniActive; }

const wchar_t* IniFilePath() { return iniPath; }

void ResetSettingsStoreForTesting() {
  ReleaseIni();
  iniPath[0] = 0;
  integrationFlag = true;
  saveSettingsFlag = true;
  appDataFlag = true;
}
