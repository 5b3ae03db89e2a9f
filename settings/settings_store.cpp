#include "settings/settings_store.h"

#include <cstring>
#include <cwchar>

#include "base/conversion.h"
#include "base/format.h"
#include "base/log.h"
#include "base/product.h"
#include "base/run_state.h"
#include "base/win_handles.h"
#include "fs/path_names.h"

namespace {

constexpr unsigned NumberChars = 20;
// A registry name in the log: the hive, the key, the view under WOW64 (where
// the two views differ for some keys), and the value name.
constexpr unsigned LogWhereChars = ResolvedKeyChars + 64 + 256;

unsigned refusedChanges = 0;

const wchar_t* OrEmpty(const wchar_t* text) { return text ? text : L""; }

// Runs a call where it belongs: `inFile` when the settings file holds the
// key, `inRegistry` otherwise. When the file forbids registry access, a
// call that would go there does nothing and gives `blocked`: reads their
// default, changes success.
template <typename Result, typename InFile, typename InRegistry>
Result Route(HKEY root, const wchar_t* keyPath, Result blocked, InFile inFile,
             InRegistry inRegistry) {
  switch (PlaceOf(root, keyPath)) {
    case SettingsPlace::File:
      return inFile();
    case SettingsPlace::Registry:
      return inRegistry();
    default:
      return blocked;
  }
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

// Opens the key of a root and key path with `access`; false when its name
// had to be cut or the registry refused.
bool OpenResolvedKey(HKEY root, const wchar_t* keyPath, REGSAM access, RegKey& key) {
  wchar_t resolved[ResolvedKeyChars];
  return ResolveKeyPath(root, keyPath, resolved) &&
         RegOpenKeyExW(root, resolved, 0, access, key.Put()) == ERROR_SUCCESS;
}

int32_t ReadRegistryInt(HKEY root, const wchar_t* keyPath, const wchar_t* valueName,
                        int32_t defaultValue) {
  RegKey key;
  if (!OpenResolvedKey(root, keyPath, ReadAccess(), key)) return defaultValue;
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

// The buffer holds the default when this is called, and again when it
// fails.
bool ReadRegistryString(HKEY root, const wchar_t* keyPath, const wchar_t* valueName,
                        wchar_t* buffer, const wchar_t* defaultText, size_t capacity) {
  RegKey key;
  if (!OpenResolvedKey(root, keyPath, ReadAccess(), key)) return false;
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

LONG WriteRegistryValue(HKEY root, const wchar_t* keyPath, const wchar_t* valueName, DWORD type,
                        const void* data, DWORD size) {
  wchar_t resolved[ResolvedKeyChars];
  if (!ResolveKeyPath(root, keyPath, resolved)) return ERROR_FILENAME_EXCED_RANGE;
  RegKey key;
  DWORD disposition = 0;
  LONG result = RegCreateKeyExW(root, resolved, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                KEY_WRITE | RegistryViewFlags, nullptr, key.Put(), &disposition);
  if (result != ERROR_SUCCESS) {
    LogRegistryChange(L"registry set", root, resolved, valueName, result);
    return NoteRegistryChange(result);
  }
  if (disposition == REG_CREATED_NEW_KEY)
    LogRegistryChange(L"registry key created", root, resolved, nullptr, ERROR_SUCCESS);
  result = RegSetValueExW(key.Get(), valueName, 0, type, static_cast<const BYTE*>(data), size);
  LogRegistryChange(L"registry set", root, resolved, valueName, result);
  return NoteRegistryChange(result);
}

}  // namespace

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

SettingsPlace PlaceOf(HKEY root, const wchar_t* keyPath) {
  keyPath = OrEmpty(keyPath);
  LoadIniFile();
  if (IsIniActive() &&
      (root == GlobalRoot || root == HKEY_CURRENT_USER || root == HKEY_LOCAL_MACHINE) &&
      keyPath[0] != L'\\')
    return SettingsPlace::File;
  return IsIntegrationEnabled() ? SettingsPlace::Registry : SettingsPlace::Nowhere;
}

bool KeyExists(HKEY root, const wchar_t* keyPath) {
  keyPath = OrEmpty(keyPath);
  return Route(
      root, keyPath, false, [&] { return IniKeyExists(root, keyPath); },
      [&] {
        RegKey key;
        return OpenResolvedKey(root, keyPath, KEY_QUERY_VALUE, key);
      });
}

bool ValueExists(HKEY root, const wchar_t* keyPath, const wchar_t* valueName) {
  keyPath = OrEmpty(keyPath);
  valueName = OrEmpty(valueName);
  return Route(
      root, keyPath, false, [&] { return IniValue(root, keyPath, valueName) != nullptr; },
      [&] {
        RegKey key;
        return OpenResolvedKey(root, keyPath, ReadAccess(), key) &&
               RegQueryValueExW(key.Get(), valueName, nullptr, nullptr, nullptr, nullptr) ==
                   ERROR_SUCCESS;
      });
}

int32_t GetInt(HKEY root, const wchar_t* keyPath, const wchar_t* valueName, int32_t defaultValue) {
  keyPath = OrEmpty(keyPath);
  valueName = OrEmpty(valueName);
  return Route(
      root, keyPath, defaultValue,
      [&] {
        const wchar_t* value = IniValue(root, keyPath, valueName);
        return value ? IniNumber(value) : defaultValue;
      },
      [&] { return ReadRegistryInt(root, keyPath, valueName, defaultValue); });
}

bool GetString(HKEY root, const wchar_t* keyPath, const wchar_t* valueName, wchar_t* buffer,
               const wchar_t* defaultText, size_t capacity) {
  if (capacity == 0) return false;
  keyPath = OrEmpty(keyPath);
  valueName = OrEmpty(valueName);
  defaultText = OrEmpty(defaultText);
  BoundedCopy(buffer, defaultText, capacity);
  return Route(
      root, keyPath, true,
      [&] {
        if (const wchar_t* value = IniValue(root, keyPath, valueName))
          BoundedCopy(buffer, value, capacity);
        return true;
      },
      [&] { return ReadRegistryString(root, keyPath, valueName, buffer, defaultText, capacity); });
}

LONG SetString(HKEY root, const wchar_t* keyPath, const wchar_t* valueName, const wchar_t* text) {
  keyPath = OrEmpty(keyPath);
  valueName = OrEmpty(valueName);
  text = OrEmpty(text);
  return Route(
      root, keyPath, LONG{ERROR_SUCCESS},
      [&] { return SetIniEntry(root, keyPath, valueName, text, Quoted); },
      [&] {
        size_t bytes = (std::wcslen(text) + 1) * sizeof(wchar_t);
        if (bytes > MAXDWORD) return LONG{ERROR_INVALID_PARAMETER};
        return WriteRegistryValue(root, keyPath, valueName, REG_SZ, text,
                                  static_cast<DWORD>(bytes));
      });
}

LONG SetInt(HKEY root, const wchar_t* keyPath, const wchar_t* valueName, int32_t value) {
  keyPath = OrEmpty(keyPath);
  valueName = OrEmpty(valueName);
  auto data = static_cast<uint32_t>(value);
  return Route(
      root, keyPath, LONG{ERROR_SUCCESS},
      [&] {
        wchar_t number[NumberChars];
        NumberToText(data, number, NumberChars);
        return SetIniEntry(root, keyPath, valueName, number, Plain);
      },
      [&] { return WriteRegistryValue(root, keyPath, valueName, REG_DWORD, &data, sizeof data); });
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
  return Route(
      root, keyPath, true,
      [&] {
        RemoveIniValue(root, keyPath, valueName);
        return true;
      },
      [] { return false; });
}

bool DeleteIniTree(HKEY root, const wchar_t* keyPath, const wchar_t* const* spared,
                   unsigned sparedCount) {
  keyPath = OrEmpty(keyPath);
  return Route(
      root, keyPath, true,
      [&] {
        RemoveIniTree(root, keyPath, spared, sparedCount);
        return true;
      },
      [] { return false; });
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
