#include "fs/entry_removal.h"

#include <cwchar>

#include "base/conversion.h"
#include "base/run_state.h"
#include "base/win_handles.h"
#include "fs/file_ops.h"
#include "fs/path_names.h"

namespace {

// Names reach 4,104 characters in their long form; a final path a little
// more.
constexpr unsigned FinalPathChars = 4608;
constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
// Opens a link itself, not its target; a folder too.
constexpr DWORD OpenItself = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;

// The native calls work from Windows XP on, where the handle-based
// SetFileInformationByHandle is missing; it is what both end in.
constexpr ULONG FileBasicInformationClass = 4;
constexpr ULONG FileDispositionInformationClass = 13;
constexpr LONG StatusNotImplemented = static_cast<LONG>(0xC0000002);
constexpr LONG StatusDirectoryNotEmpty = static_cast<LONG>(0xC0000101);

struct IoStatus {
  union {
    LONG status;
    void* pointer;
  };
  ULONG_PTR information;
};
struct BasicInformation {
  LARGE_INTEGER creationTime;  // the four times 0: left as they are
  LARGE_INTEGER lastAccessTime;
  LARGE_INTEGER lastWriteTime;
  LARGE_INTEGER changeTime;
  ULONG attributes;
};
using FileInformationFunction = LONG(WINAPI*)(HANDLE, IoStatus*, void*, ULONG, ULONG);
using FinalPathFunction = DWORD(WINAPI*)(HANDLE, wchar_t*, DWORD, DWORD);

// Looked up once: every entry needs them, and a look-up by name costs more
// than some of the calls.
struct SystemCalls {
  FileInformationFunction query;
  FileInformationFunction set;
  FinalPathFunction finalPath;  // from Windows Vista on
};
SystemCalls systemCalls;
bool systemCallsFound = false;

const SystemCalls& Calls() {
  if (!systemCallsFound) {
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    if (ntdll) {
      systemCalls.query = reinterpret_cast<FileInformationFunction>(
          reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryInformationFile")));
      systemCalls.set = reinterpret_cast<FileInformationFunction>(
          reinterpret_cast<void*>(GetProcAddress(ntdll, "NtSetInformationFile")));
    }
    systemCalls.finalPath = Kernel32Function<FinalPathFunction>("GetFinalPathNameByHandleW");
    systemCallsFound = true;
  }
  return systemCalls;
}

LONG SetInformation(HANDLE file, void* data, ULONG size, ULONG kind) {
  FileInformationFunction set = Calls().set;
  if (!set) return StatusNotImplemented;
  IoStatus io{};
  return set(file, &io, data, size, kind);
}

// The attributes of an open file or folder, InvalidAttributes when Windows
// does not tell. GetFileInformationByHandle would also ask the volume for
// its serial number, which costs more than the removal.
DWORD AttributesOf(HANDLE file) {
  FileInformationFunction query = Calls().query;
  BasicInformation basic{};
  IoStatus io{};
  if (!query || query(file, &io, &basic, sizeof basic, FileBasicInformationClass) < 0)
    return InvalidAttributes;
  return basic.attributes;
}

bool SetAttributesOf(HANDLE file, DWORD attributes) {
  BasicInformation basic{};
  // 0 would mean "unchanged".
  basic.attributes = attributes ? attributes : FILE_ATTRIBUTE_NORMAL;
  return SetInformation(file, &basic, sizeof basic, FileBasicInformationClass) >= 0;
}

// Long and network forms compare as the plain ones: "\\?\C:\x" as "C:\x",
// "\\?\UNC\srv\x" and "\\srv\x" as "\srv\x".
const wchar_t* Comparable(const wchar_t* path) {
  if (wcsncmp(path, L"\\\\?\\UNC\\", 8) == 0) return path + 7;
  if (wcsncmp(path, L"\\\\?\\", 4) == 0) return path + 4;
  if (path[0] == L'\\' && path[1] == L'\\') return path + 1;
  return path;
}

// Where `path` goes on after `start`, both compared in their plain forms
// and without regard to case; nullptr when it does not begin so.
const wchar_t* AfterStart(const wchar_t* path, const wchar_t* start) {
  path = Comparable(path);
  for (start = Comparable(start); *start; ++start, ++path)
    if (ToUpperChar(*start) != ToUpperChar(*path)) return nullptr;
  return path;
}

bool SamePath(const wchar_t* a, const wchar_t* b) {
  const wchar_t* rest = AfterStart(a, b);
  return rest && !*rest;
}

// The folder part of a full name, with the backslash of a drive's root.
void ParentOf(const wchar_t* name, wchar_t* parent, size_t n) {
  BoundedCopy(parent, name, n);
  wchar_t* last = wcsrchr(parent, L'\\');
  if (last) last[last > parent && last[-1] == L':' ? 1 : 0] = 0;
}

// A folder's name and its final path, kept while calls name the same
// folder: the entries of a folder come together, and each would otherwise
// open the folder again.
struct KnownFolder {
  wchar_t named[FinalPathChars];
  wchar_t reached[FinalPathChars];
};
KnownFolder lastFolder;   // whose entries were checked last
KnownFolder confinement;  // that every entry must lie in

bool Knows(const KnownFolder& known, const wchar_t* folder) {
  return known.reached[0] && wcscmp(folder, known.named) == 0;
}

// Asks for the final path of `folder`, reached through any link on the way.
bool Ask(KnownFolder& known, const wchar_t* folder) {
  known.reached[0] = 0;
  FileHandle handle(CreateFileW(folder, FILE_READ_ATTRIBUTES, ShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!handle) return false;
  DWORD n = Calls().finalPath(handle.Get(), known.reached, FinalPathChars, 0);
  if (n == 0 || n >= FinalPathChars) {
    known.reached[0] = 0;
    return false;
  }
  BoundedCopy(known.named, folder, FinalPathChars);
  return true;
}

// Whether `reached` is the entry `part` of `folder`; a name too long to be
// put together is none.
bool IsEntryOf(const wchar_t* reached, const wchar_t* folder, const wchar_t* part) {
  wchar_t entry[FinalPathChars];
  BoundedCopy(entry, folder, FinalPathChars);
  AddTrailingSeparator(entry, FinalPathChars);
  size_t length = wcslen(entry);
  if (length + wcslen(part) >= FinalPathChars) return false;
  BoundedAppend(entry, part, FinalPathChars);
  return SamePath(entry, reached);
}

// Whether `reached` is the entry `name` in the folder last asked, by the
// last part of the name or, for a short form there, by the entry's name on
// the disk (looked up once into `data`).
bool InLastFolder(const wchar_t* reached, const wchar_t* name, WIN32_FIND_DATAW& data) {
  if (IsEntryOf(reached, lastFolder.reached, FindNamePart(name))) return true;
  if (!data.cFileName[0]) {
    FindHandle found(FindFirstFileW(name, &data));
    if (!found) return false;
  }
  return IsEntryOf(reached, lastFolder.reached, data.cFileName);
}

// Whether `reached`, an entry's final path, is the entry `name` itself and
// not the target of a link at its end.
bool IsNamedEntry(const wchar_t* reached, const wchar_t* name) {
  if (SamePath(reached, name)) return true;
  // Short forms in the name, or a folder on the way that is reached through
  // a junction, make the texts differ: compare with the folder's own final
  // path, asked once for all of its entries.
  wchar_t folder[FinalPathChars];
  ParentOf(name, folder, FinalPathChars);
  WIN32_FIND_DATAW data;
  data.cFileName[0] = 0;
  bool known = Knows(lastFolder, folder);
  if (!known && !Ask(lastFolder, folder)) return false;
  if (InLastFolder(reached, name, data)) return true;
  // The folder may have moved since it was asked.
  return known && Ask(lastFolder, folder) && InLastFolder(reached, name, data);
}

// Whether `path` lies below `folder`, both full paths.
bool IsBelow(const wchar_t* path, const wchar_t* folder) {
  const wchar_t* rest = AfterStart(path, folder);
  return rest && *Comparable(folder) && (rest[-1] == L'\\' || *rest == L'\\');
}

// Whether `reached`, a final path, lies below `within`: by the name itself
// when it holds no link or short form, else by its final path. A folder on
// the way that became a link after it was checked leads elsewhere.
bool LiesWithin(const wchar_t* reached, const wchar_t* within) {
  if (IsBelow(reached, within)) return true;
  if (!Knows(confinement, within) && !Ask(confinement, within)) return false;
  return IsBelow(reached, confinement.reached);
}

// Whether an open handle is the file or folder its name ends in, not the
// target of a link, and lies within `within`. Windows opens a link itself
// when asked, and its final path is then the name's own; Wine opens a link
// on the host's side as its target whatever is asked, and the final path
// tells. Without the query (Windows XP, or a file system that cannot
// answer) the request holds.
bool ReachesItself(HANDLE file, const wchar_t* name, const wchar_t* within) {
  FinalPathFunction finalPath = Calls().finalPath;
  if (!finalPath) return true;
  wchar_t reached[FinalPathChars];
  DWORD n = finalPath(file, reached, FinalPathChars, 0);
  if (n == 0) return true;
  return n < FinalPathChars && IsNamedEntry(reached, name) && LiesWithin(reached, within);
}

// Deleted when the handle is closed.
LONG MarkForDeletion(HANDLE file) {
  BOOLEAN remove = TRUE;
  return SetInformation(file, &remove, sizeof remove, FileDispositionInformationClass);
}

Removal OpenFailure(const wchar_t* name, DWORD error) {
  if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION &&
      error != ERROR_ACCESS_DENIED)
    return Removal::Missing;
  if (IsDirectory(GetFileAttributesW(name))) return Removal::FolderKept;
  return error == ERROR_ACCESS_DENIED ? Removal::Refused : Removal::InUse;
}

}  // namespace

Removal RemoveEntry(const wchar_t* name, const wchar_t* within) {
  FileHandle file(CreateFileW(name, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, ShareAll,
                              nullptr, OPEN_EXISTING, OpenItself, nullptr));
  if (!file) return OpenFailure(name, GetLastError());
  if (!ReachesItself(file.Get(), name, within)) return Removal::Link;
  LONG status = MarkForDeletion(file.Get());
  if (status >= 0) return Removal::Removed;
  if (status == StatusDirectoryNotEmpty) return Removal::FolderKept;
  // Refused: a running program, something read-only, or a folder in use.
  // The attributes are asked only now.
  DWORD attributes = AttributesOf(file.Get());
  if (attributes == InvalidAttributes) return Removal::Refused;
  if ((attributes & FILE_ATTRIBUTE_READONLY) &&
      SetAttributesOf(file.Get(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
    if (MarkForDeletion(file.Get()) >= 0) return Removal::Removed;
    SetAttributesOf(file.Get(), attributes);
  }
  return IsDirectory(attributes) ? Removal::FolderKept : Removal::Refused;
}

bool ClearAttributes(const wchar_t* name, const wchar_t* within, DWORD attributes) {
  FileHandle file(CreateFileW(name, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, ShareAll, nullptr,
                              OPEN_EXISTING, OpenItself, nullptr));
  if (!file || !ReachesItself(file.Get(), name, within)) return false;
  DWORD present = AttributesOf(file.Get());
  if (present == InvalidAttributes) return false;
  if (!(present & attributes)) return true;
  return SetAttributesOf(file.Get(), present & ~attributes);
}

bool SameFileObject(const wchar_t* a, const wchar_t* b) {
  FileHandle first(CreateFileW(a, FILE_READ_ATTRIBUTES, ShareAll, nullptr, OPEN_EXISTING,
                               FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  FileHandle second(CreateFileW(b, FILE_READ_ATTRIBUTES, ShareAll, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION one, other;
  return first && second && GetFileInformationByHandle(first.Get(), &one) &&
         GetFileInformationByHandle(second.Get(), &other) &&
         one.dwVolumeSerialNumber == other.dwVolumeSerialNumber &&
         one.nFileIndexHigh == other.nFileIndexHigh && one.nFileIndexLow == other.nFileIndexLow;
}
