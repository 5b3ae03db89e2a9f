#include "fs/file_ops.h"

#include <shlobj.h>

#include "base/best_effort.h"
#include "base/product.h"
#include "base/win_handles.h"
#include "fs/path_names.h"

bool EndsInDotOrBlank(const wchar_t* name) {
  wchar_t last = *LastCharOf(name);
  return last == L'.' || last == L' ';
}

DWORD GetAttributes(const wchar_t* name) {
  DWORD attributes = GetFileAttributesW(name);
  wchar_t longName[MaxPathChars];
  if (attributes == InvalidAttributes && MakeLongPath(name, longName, MaxPathChars))
    attributes = GetFileAttributesW(longName);
  return attributes;
}

bool PathExists(const wchar_t* name) { return GetAttributes(name) != InvalidAttributes; }

bool SetAttributes(const wchar_t* name, DWORD attributes) {
  if (SetFileAttributesW(name, attributes)) return true;
  wchar_t longName[MaxPathChars];
  return MakeLongPath(name, longName, MaxPathChars) && SetFileAttributesW(longName, attributes);
}

bool EraseFile(const wchar_t* name) {
  if (DeleteFileW(name)) return true;
  wchar_t longName[MaxPathChars];
  return MakeLongPath(name, longName, MaxPathChars) && DeleteFileW(longName);
}

int CreateFolder(const wchar_t* name, bool setAttributes, DWORD attributes) {
  bool trailing = EndsInDotOrBlank(name);
  const wchar_t* madeAs = name;
  bool created = !trailing && CreateDirectoryW(name, nullptr);
  wchar_t longName[MaxPathChars];
  if (!created) {
    // Answered here, as the last error of the query would not tell it. A
    // name ending in a dot or a blank is not asked in its plain form, which
    // names another folder; the long form's own failure answers for it.
    if (!trailing && PathExists(name)) return FolderNotCreated;
    if (MakeLongPath(name, longName, MaxPathChars)) {
      created = CreateDirectoryW(longName, nullptr);
      madeAs = longName;
    }
  }
  if (created) {
    if (setAttributes) BestEffort(SetAttributes(madeAs, attributes));
    return FolderCreated;
  }
  DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? FolderParentMissing
                                                                        : FolderNotCreated;
}

bool IsDirectory(DWORD attributes) {
  return attributes != InvalidAttributes && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool IsReparsePoint(DWORD attributes) { return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0; }

namespace {

unsigned testWindowsVersion = 0;

}  // namespace

void SetWindowsVersionForTesting(unsigned version) { testWindowsVersion = version; }

unsigned GetWindowsVersion() {
  if (testWindowsVersion) return testWindowsVersion;
  static struct {
    DWORD platform = static_cast<DWORD>(-1);
    DWORD major = 0;
    DWORD minor = 0;
  } cache;
  if (cache.platform == static_cast<DWORD>(-1)) {
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (GetVersionExW(&info)) {
      cache.platform = info.dwPlatformId;
      cache.major = info.dwMajorVersion;
      cache.minor = info.dwMinorVersion;
    }
  }
  if (cache.platform != VER_PLATFORM_WIN32_NT) return 0x0501;
  return static_cast<unsigned>(cache.major * 256 + cache.minor);
}

namespace {

// An item list the shell made, freed by the shell's allocator.
struct ItemListTraits {
  using Value = PIDLIST_ABSOLUTE;
  static PIDLIST_ABSOLUTE Invalid() { return nullptr; }
  static void Close(PIDLIST_ABSOLUTE list) {
    ComPtr<IMalloc> allocator;
    if (SUCCEEDED(SHGetMalloc(allocator.Put()))) allocator->Free(list);
  }
};
using ItemList = UniqueHandle<ItemListTraits>;

}  // namespace

bool GetSpecialFolderPath(int csidl, wchar_t* buffer) {
  buffer[0] = 0;
  ItemList list;
  if (FAILED(SHGetFolderLocation(nullptr, csidl, nullptr, 0, list.Put())) || !list) return false;
  // The shell writes at most MAX_PATH characters, well within the buffer.
  if (SHGetPathFromIDListW(list.Get(), buffer)) return true;
  buffer[0] = 0;
  return false;
}

bool GetSystemFolder(wchar_t* folder) {
  UINT n = GetSystemDirectoryW(folder, MaxPathChars);
  return n > 0 && n < MaxPathChars;
}

LoadedModule LoadSystemLibrary(const wchar_t* name) {
  wchar_t path[MaxPathChars];
  if (!GetSystemFolder(path)) return LoadedModule();
  JoinPath(path, name, path, MaxPathChars);
  return LoadedModule(LoadLibraryW(path));
}

bool GetAppDataFolder(wchar_t* buffer, size_t size, bool create) {
  if (size == 0) return false;
  buffer[0] = 0;
  wchar_t path[MaxPathChars];
  if (!GetSpecialFolderPath(CSIDL_APPDATA, path) || !path[0]) return false;
  BoundedCopy(buffer, path, size);
  AddTrailingSeparator(buffer, size);
  BoundedAppend(buffer, ProductName, size);
  if (PathExists(buffer)) return true;
  return create && CreateFolder(buffer, false, 0) == FolderCreated;
}

FILE* OpenStream(const wchar_t* name, const wchar_t* mode) {
  FILE* stream = _wfopen(name, mode);
  wchar_t longName[MaxPathChars];
  if (!stream && MakeLongPath(name, longName, MaxPathChars)) stream = _wfopen(longName, mode);
  return stream;
}
