#include "settings/registry_deletion.h"

#include <cwchar>

#include "base/best_effort.h"
#include "base/conversion.h"
#include "base/format.h"
#include "base/run_state.h"
#include "base/win_handles.h"
#include "settings/settings_store.h"

namespace {

// What the log says: a missing key or value was not deleted, nor refused.
void LogDeletion(HKEY root, const wchar_t* path, const wchar_t* valueName, LONG result) {
  if (result != ERROR_FILE_NOT_FOUND)
    LogRegistryChange(valueName ? L"registry deleted" : L"registry key deleted", root, path,
                      valueName, result);
}

// More than the longest key name the registry accepts (255 characters,
// 256 under Wine): a subkey whose name did not fit would end the
// enumeration of its parent and leave the tree behind.
constexpr DWORD SubkeyNameChars = MAX_PATH;
// Value names have at most 16,383 characters.
constexpr DWORD ValueNameChars = 16384;
unsigned keysDeletedThisPass = 0;

// Every key is opened as itself: a registry link at the end of a path is
// the link key, never the key it points to, which may lie anywhere.
LONG OpenItself(HKEY root, const wchar_t* path, REGSAM access, RegKey& key) {
  return RegOpenKeyExW(root, path, REG_OPTION_OPEN_LINK, access | RegistryViewFlags, key.Put());
}

// RegDeleteKeyW and RegDeleteKeyExW open the key by name and so delete the
// target of a link; the native call deletes the key its handle was opened
// for. Both native calls exist on every Windows the program runs on.
LONG DeleteKeyItself(HKEY root, const wchar_t* path) {
  using NtStatus = LONG;
  using NtDeleteKey = NtStatus(NTAPI*)(HANDLE);
  using StatusToError = ULONG(NTAPI*)(NtStatus);
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  auto deleteKey = ntdll ? reinterpret_cast<NtDeleteKey>(
                               reinterpret_cast<void*>(GetProcAddress(ntdll, "NtDeleteKey")))
                         : nullptr;
  auto toError = ntdll ? reinterpret_cast<StatusToError>(reinterpret_cast<void*>(
                             GetProcAddress(ntdll, "RtlNtStatusToDosError")))
                       : nullptr;
  if (!deleteKey || !toError) return ERROR_CALL_NOT_IMPLEMENTED;
  RegKey key;
  LONG opened = OpenItself(root, path, DELETE, key);
  if (opened != ERROR_SUCCESS) return opened;
  NtStatus status = deleteKey(key.Get());
  return status >= 0 ? ERROR_SUCCESS : static_cast<LONG>(toError(status));
}

// How many subkeys and values a key holds; false when it cannot be asked.
bool CountContent(HKEY root, const wchar_t* path, DWORD& subkeys, DWORD& values) {
  RegKey key;
  if (OpenItself(root, path, KEY_QUERY_VALUE, key) != ERROR_SUCCESS) return false;
  return RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                          nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool HasSubkeys(HKEY root, const wchar_t* path) {
  DWORD subkeys = 0, values = 0;
  return CountContent(root, path, subkeys, values) && subkeys != 0;
}

// Windows answers "access denied" both for a key the caller may not delete
// and for one that still has subkeys; only the first is a refusal.
LONG DeleteOneKey(HKEY root, const wchar_t* path) {
  LONG result = DeleteKeyItself(root, path);
  if (result == ERROR_ACCESS_DENIED && HasSubkeys(root, path)) return result;
  LogDeletion(root, path, nullptr, result);
  return NoteRegistryChange(result);
}

// Key paths of the caller, resolved as they are compared.
struct SparedKeys {
  HKEY root;
  const wchar_t* const* paths;
  unsigned count;
  bool Contains(const wchar_t* path) const {
    wchar_t resolved[ResolvedKeyChars];
    for (unsigned i = 0; i < count; ++i)
      if (ResolveKeyPath(root, paths[i], resolved) && CompareNoCase(resolved, path) == 0)
        return true;
    return false;
  }
  // True when a spared key lies below `path`, which then stays for it.
  bool Below(const wchar_t* path) const {
    wchar_t resolved[ResolvedKeyChars];
    size_t length = wcslen(path);
    for (unsigned i = 0; i < count; ++i)
      if (ResolveKeyPath(root, paths[i], resolved) && wcslen(resolved) > length &&
          resolved[length] == L'\\' && CompareNoCaseN(resolved, path, length) == 0)
        return true;
    return false;
  }
};

// Empties a key that stays only because a spared key lies below it: its
// own values were not spared. Deleting by index 0 until none is left.
void DeleteValues(HKEY root, const wchar_t* path) {
  RegKey key;
  LONG opened = OpenItself(root, path, KEY_READ | KEY_SET_VALUE, key);
  if (opened != ERROR_SUCCESS) {
    LogDeletion(root, path, L"*", opened);
    NoteRegistryChange(opened);
    return;
  }
  wchar_t name[ValueNameChars];
  for (DWORD index = 0;;) {
    DWORD length = ValueNameChars;
    if (RegEnumValueW(key.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      return;
    LONG result = RegDeleteValueW(key.Get(), name);
    LogDeletion(root, path, name, result);
    // One that stays would be met again at the same index.
    if (NoteRegistryChange(result) != ERROR_SUCCESS) ++index;
  }
}

// Enumerating by rising index while deleting skips keys; the caller repeats
// whole passes to catch them.
void DeleteTreePass(HKEY root, const wchar_t* path, const SparedKeys& spared) {
  if (!path[0] || spared.Contains(path)) return;
  RegKey key;
  // A link key has no subkeys of its own: it goes as it is.
  LONG opened = OpenItself(root, path, KEY_READ, key);
  if (opened != ERROR_SUCCESS) {
    LogDeletion(root, path, nullptr, opened);
    NoteRegistryChange(opened);
    return;
  }
  wchar_t name[SubkeyNameChars];
  for (DWORD index = 0;; ++index) {
    DWORD length = SubkeyNameChars;
    if (RegEnumKeyExW(key.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    wchar_t child[ResolvedKeyChars];
    // A cut path would name another key; such a subkey stays, and so does
    // its parent.
    if (FormatText(child, ResolvedKeyChars, L"%s\\%s", path, name) < 0) continue;
    DeleteTreePass(root, child, spared);
  }
  key.Reset();
  if (spared.Below(path))
    DeleteValues(root, path);
  else if (DeleteOneKey(root, path) == ERROR_SUCCESS)
    ++keysDeletedThisPass;
}

}  // namespace

unsigned DeleteKeyTree(HKEY root, const wchar_t* keyPath) {
  return DeleteKeyTreeSparing(root, keyPath, nullptr, 0);
}

unsigned DeleteKeyTreeSparing(HKEY root, const wchar_t* keyPath, const wchar_t* const* spared,
                              unsigned sparedCount) {
  if (DeleteIniTree(root, keyPath, spared, sparedCount)) return 0;
  wchar_t resolved[ResolvedKeyChars];
  if (!ResolveKeyPath(root, keyPath, resolved)) return 0;
  wchar_t check[ResolvedKeyChars];
  // Better to leave the whole tree than to miss a key that was to stay.
  for (unsigned i = 0; i < sparedCount; ++i)
    if (!ResolveKeyPath(root, spared[i], check)) return 0;
  const SparedKeys kept{root, spared, sparedCount};
  unsigned passes = 0;
  do {
    keysDeletedThisPass = 0;
    DeleteTreePass(root, resolved, kept);
    ++passes;
  } while (keysDeletedThisPass != 0);
  return passes;
}

LONG DeleteKey(HKEY root, const wchar_t* keyPath) {
  if (DeleteIniEntries(root, keyPath, L"")) return ERROR_SUCCESS;
  wchar_t resolved[ResolvedKeyChars];
  if (!ResolveKeyPath(root, keyPath, resolved)) return ERROR_FILENAME_EXCED_RANGE;
  // An empty name would address the root itself.
  if (!resolved[0]) return ERROR_INVALID_PARAMETER;
  return DeleteOneKey(root, resolved);
}

void DeleteValue(HKEY root, const wchar_t* keyPath, const wchar_t* valueName) {
  if (DeleteIniEntries(root, keyPath, valueName)) return;
  wchar_t resolved[ResolvedKeyChars];
  if (!ResolveKeyPath(root, keyPath, resolved)) return;
  RegKey key;
  valueName = valueName ? valueName : L"";
  LONG opened = OpenItself(root, resolved, KEY_WRITE, key);
  if (opened != ERROR_SUCCESS) {
    LogDeletion(root, resolved, valueName, opened);
    NoteRegistryChange(opened);
    return;
  }
  LONG result = RegDeleteValueW(key.Get(), valueName);
  LogDeletion(root, resolved, valueName, result);
  NoteRegistryChange(result);
}

void DeleteKeyIfEmpty(HKEY root, const wchar_t* keyPath) {
  if (PlaceOf(root, keyPath) != SettingsPlace::Registry) return;
  wchar_t resolved[ResolvedKeyChars];
  if (!ResolveKeyPath(root, keyPath, resolved) || !resolved[0]) return;
  DWORD subkeys = 0, values = 0;
  if (CountContent(root, resolved, subkeys, values) && subkeys == 0 && values == 0)
    BestEffort(DeleteOneKey(root, resolved));
}

void DeleteUserValue(const wchar_t* keyPath, const wchar_t* valueName) {
  DeleteValue(HKEY_CURRENT_USER, keyPath, valueName);
}
