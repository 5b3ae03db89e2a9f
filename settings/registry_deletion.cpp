#include "settings/registry_deletion.h"

#include "app/shared/format.h"
#include "app/shared/run_state.h"
#include "app/shared/win_handles.h"
#include "settings/settings_store.h"

namespace {

// More than the longest key name the registry accepts (255 characters,
// 256 under Wine): a subkey whose name did not fit would end the
// enumeration of its parent and leave the tree behind.
constexpr DWORD SubkeyNameChars = MAX_PATH;

unsigned keysDeletedThisPass = 0;

// Enumerating by rising index while deleting skips keys; the caller repeats
// whole passes to catch them.
void DeleteTreePass(HKEY root, const wchar_t* path) {
  if (!path[0]) return;
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, path, 0, KEY_READ, &handle) != ERROR_SUCCESS) return;
  RegKey key(handle);
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
    DeleteTreePass(root, child);
  }
  key.Reset();
  if (RegDeleteKeyW(root, path) == ERROR_SUCCESS) ++keysDeletedThisPass;
}

}  // namespace

unsigned DeleteKeyTree(HKEY root, const wchar_t* keyPath) {
  if (DeleteIniEntries(root, keyPath, L"")) return 0;
  wchar_t resolved[ResolvedKeyChars];
  if (!ResolveKeyPath(root, keyPath, resolved)) return 0;
  unsigned passes = 0;
  do {
    keysDeletedThisPass = 0;
    DeleteTreePass(root, resolved);
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
  return RegDeleteKeyW(root, resolved);
}

void DeleteValue(HKEY root, const wchar_t* keyPath, const wchar_t* valueName) {
  if (DeleteIniEntries(root, keyPath, valueName)) return;
  wchar_t resolved[ResolvedKeyChars];
  if (!ResolveKeyPath(root, keyPath, resolved)) return;
  HKEY handle = nullptr;
  if (RegOpenKeyExW(root, resolved, 0, KEY_WRITE, &handle) != ERROR_SUCCESS) return;
  RegKey key(handle);
  RegDeleteValueW(key.Get(), valueName ? valueName : L"");
}

void DeleteUserValue(const wchar_t* keyPath, const wchar_t* valueName) {
  DeleteValue(HKEY_CURRENT_USER, keyPath, valueName);
}

LONG DeleteKeyIn64BitView(HKEY root, const wchar_t* keyPath) {
  if (DeleteIniEntries(root, keyPath, L"")) return ERROR_SUCCESS;
  wchar_t resolved[ResolvedKeyChars];
  if (!ResolveKeyPath(root, keyPath, resolved)) return ERROR_FILENAME_EXCED_RANGE;
  if (!resolved[0]) return ERROR_INVALID_PARAMETER;
  if (!IsWow64()) return RegDeleteKeyW(root, resolved);
  // Looked up by name: 32-bit Windows XP, where the program also runs, lacks
  // it, and there is no 64-bit view there anyway.
  using DeleteInView = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);
  HMODULE advapi = GetModuleHandleW(L"advapi32");
  auto deleteInView = advapi ? reinterpret_cast<DeleteInView>(reinterpret_cast<void*>(
                                   GetProcAddress(advapi, "RegDeleteKeyExW")))
                             : nullptr;
  if (!deleteInView) return ERROR_CALL_NOT_IMPLEMENTED;
  return deleteInView(root, resolved, KEY_WOW64_64KEY, 0);
}
