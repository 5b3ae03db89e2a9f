#include "localization/language_module.h"

#include <cwchar>
#include <utility>

#include "base/format.h"
#include "base/product.h"
#include "base/program_path.h"
#include "base/run_state.h"
#include "base/win_handles.h"
#include "fs/file_ops.h"
#include "fs/path_names.h"
#include "localization/module_check.h"

namespace {

constexpr wchar_t LanguageModuleName[] = L"kellng.dll";
// The product's settings key that names the language folder.
constexpr wchar_t GeneralKeyName[] = L"General";
constexpr unsigned GeneralKeyChars = 64;

struct LanguageModuleState {
  HMODULE program = nullptr;
  // Open while the module is loaded, so that the file stays as checked.
  FileHandle file;
  // The language DLL while one is loaded; freed before its file is let go.
  LoadedModule module;
};

LanguageModuleState state;

// Systems from XP SP2 on map a DLL as a data file for its resources, which
// runs none of its code.
bool CanMapAsDataFile() {
  OSVERSIONINFOEXW version = {};
  version.dwOSVersionInfoSize = sizeof version;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  if (!GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&version))) return false;
#pragma GCC diagnostic pop
  if (version.dwPlatformId != VER_PLATFORM_WIN32_NT) return false;
  return version.dwMajorVersion > 5 ||
         (version.dwMajorVersion == 5 && version.wServicePackMajor >= 2);
}

}  // namespace

bool GetLanguageFolder(wchar_t* folder) {
  folder[0] = 0;
  // The product's key, named without the settings store's root mark.
  wchar_t general[GeneralKeyChars];
  FormatText(general, GeneralKeyChars, L"%s\\%s", ProductKey + 1, GeneralKeyName);
  RegKey key;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, general, 0, KEY_QUERY_VALUE, key.Put()) != ERROR_SUCCESS)
    return false;
  // The value may come without a terminator: the cleared buffer and the
  // size offered keep one behind it.
  wchar_t value[MaxPathChars] = {};
  DWORD size = (MaxPathChars - 1) * sizeof(wchar_t);
  DWORD type = REG_NONE;
  if (RegQueryValueExW(key.Get(), L"LanguageFolder", nullptr, &type, reinterpret_cast<BYTE*>(value),
                       &size) != ERROR_SUCCESS ||
      (type != REG_SZ && type != REG_EXPAND_SZ))
    return false;
  // An odd last byte is no character.
  value[size / sizeof(wchar_t)] = 0;
  // Without a folder the bare name would be looked for in the current one.
  if (!value[0]) return false;
  DWORD expanded = ExpandEnvironmentStringsW(value, folder, MaxPathChars);
  if (expanded > 0 && expanded <= MaxPathChars) return true;
  folder[0] = 0;
  return false;
}

void FindInLanguageFolder(const wchar_t* name, wchar_t* result, size_t capacity) {
  if (result != name) BoundedCopy(result, name, capacity);
  wchar_t path[MaxPathChars];
  if (!GetLanguageFolder(path)) return;
  AddTrailingSeparator(path, MaxPathChars);
  const wchar_t* part = FindNamePart(name);
  // A path cut to the buffers would name another file.
  if (wcslen(path) + wcslen(part) >= MaxPathChars) return;
  BoundedAppend(path, part, MaxPathChars);
  if (wcslen(path) < capacity && PathExists(path)) BoundedCopy(result, path, capacity);
}

void LoadLanguageModule(HINSTANCE program) {
  ReleaseLanguageModule();
  state.program = program;
  wchar_t path[MaxPathChars];
  GetProgramPath(path, MaxPathChars);
  ReplaceNamePart(path, LanguageModuleName, MaxPathChars);
  FindInLanguageFolder(path, path, MaxPathChars);
  // A module whose resources do not lie inside its file would have every
  // reader of them fault: the program's own texts are used instead.
  FileHandle file = OpenSoundModule(path);
  if (!file) return;
  state.module.Reset(CanMapAsDataFile() ? LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE)
                                        : LoadLibraryW(path));
  if (state.module) state.file = std::move(file);
}

void ReleaseLanguageModule() {
  state.module.Reset();
  state.file.Reset();
}

HMODULE ResourceModule() { return state.module ? state.module.Get() : ProgramModule(); }

HMODULE ProgramModule() { return state.program ? state.program : GetModuleHandleW(nullptr); }
