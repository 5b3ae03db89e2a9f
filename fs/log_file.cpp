#include "fs/log_file.h"

#include <windows.h>

#include <cwchar>

#include "base/conversion.h"
#include "base/log.h"
#include "base/run_state.h"
#include "base/win_handles.h"
#include "fs/entry_removal.h"
#include "fs/path_names.h"

namespace {

// Appending only: each write lands at the end, whoever else writes. The
// attributes are read to check what was opened.
constexpr DWORD LogAccess = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES;
// Others may read and write the log meanwhile, but nobody may delete it.
constexpr DWORD LogSharing = FILE_SHARE_READ | FILE_SHARE_WRITE;
// Opens a link itself, not what it leads to.
constexpr DWORD NotThroughALink = FILE_FLAG_OPEN_REPARSE_POINT;
// Names reach 4,104 characters in their long form; a final path a little
// more.
constexpr unsigned FinalPathChars = 4608;
using FinalPathFunction = DWORD(WINAPI*)(HANDLE, wchar_t*, DWORD, DWORD);

// Characters that no file name holds. A colon would name a stream, and
// opening a stream makes its file.
constexpr wchar_t NotInNames[] = L"\\/:*?\"<>|";

// Shares whose names reach a server's pipes and mailslots, not its files.
const wchar_t* const DeviceShares[] = {L"pipe", L"mailslot"};

// Whether a network name, from its server on, names a share of files.
bool IsFileShare(const wchar_t* server) {
  const wchar_t* share = wcschr(server, L'\\');
  if (!share || share == server) return false;
  ++share;
  size_t length = wcscspn(share, L"\\");
  if (length == 0) return false;
  for (const wchar_t* device : DeviceShares)
    if (length == wcslen(device) && CompareNoCaseN(share, device, length) == 0) return false;
  return true;
}

// A full path on a drive or a network share, in its plain or long form.
// The device namespace ("\\.\", which is also where Windows puts device
// names such as NUL or COM1, "\\?\GLOBALROOT" and the like) is never
// opened: opening a device or a pipe may already act on it.
bool IsDiskPath(const wchar_t* path) {
  if (wcsncmp(path, L"\\\\?\\", 4) == 0) {
    path += 4;
    if (CompareNoCaseN(path, L"UNC\\", 4) == 0) return IsFileShare(path + 4);
    return IsDiskLetter(path) && path[2] == L'\\';
  }
  if (path[0] == L'\\' && path[1] == L'\\') {
    const wchar_t* server = path + 2;
    if (server[0] == 0 || server[0] == L'\\' ||
        ((server[0] == L'.' || server[0] == L'?') && (server[1] == L'\\' || server[1] == 0)))
      return false;
    return IsFileShare(server);
  }
  return IsDiskLetter(path) && path[2] == L'\\';
}

// A name Windows makes a file of by that name: no stream, no wildcard, no
// control character.
bool IsPlainName(const wchar_t* name) {
  if (!name[0]) return false;
  for (const wchar_t* c = name; *c; ++c)
    if (*c < L' ' || wcschr(NotInNames, *c)) return false;
  return true;
}

// The length of a name as Windows makes a file of it: without trailing
// dots and blanks, which the long form alone keeps.
size_t MadeLength(const wchar_t* name) {
  size_t length = wcslen(name);
  while (length > 0 && (name[length - 1] == L'.' || name[length - 1] == L' ')) --length;
  return length;
}

bool SameName(const wchar_t* a, const wchar_t* b) {
  for (; *a && *b; ++a, ++b)
    if (ToUpperChar(*a) != ToUpperChar(*b)) return false;
  return *a == *b;
}

// Whether the first `length` characters of `name` are what `pattern` names,
// compared as Windows compares file names, a '*' matching any run.
bool NameMatches(const wchar_t* name, size_t length, const wchar_t* pattern) {
  const wchar_t* afterStar = nullptr;
  size_t retry = 0;
  size_t i = 0;
  while (i < length) {
    if (*pattern == L'*') {
      afterStar = ++pattern;
      retry = i;
    } else if (*pattern && ToUpperChar(*pattern) == ToUpperChar(name[i])) {
      ++pattern;
      ++i;
    } else if (afterStar) {
      pattern = afterStar;
      i = ++retry;
    } else {
      return false;
    }
  }
  while (*pattern == L'*') ++pattern;
  return *pattern == 0;
}

// The folder part of a full name, without the last separator unless that
// is a drive's root.
void FolderOf(const wchar_t* path, wchar_t* folder, size_t n) {
  BoundedCopy(folder, path, n);
  wchar_t* name = FindNamePart(folder);
  size_t kept = static_cast<size_t>(name - folder);
  if (kept >= 2 && folder[kept - 2] != L':') --kept;
  folder[kept] = 0;
}

// Whether `exact` (in the folder `folder`) is one of the product's files:
// by its spelling, for a file that may not exist yet, or as the same file.
bool IsProductFile(const wchar_t* exact, const wchar_t* folder, const ProductFile* productFiles,
                   unsigned count) {
  const wchar_t* name = FindNamePart(exact);
  size_t length = MadeLength(name);
  wchar_t path[MaxPathChars];
  for (unsigned i = 0; i < count; ++i) {
    const ProductFile& file = productFiles[i];
    if (NameMatches(name, length, file.name) && SameFileObject(folder, file.folder)) return true;
    if (wcschr(file.name, L'*')) continue;
    JoinPath(file.folder, file.name, path, MaxPathChars);
    if (SameFileObject(exact, path)) return true;
  }
  return false;
}

// Opens the file by that name, or makes it. A missing file is made only as
// a new one, which fails where a link stands, even one that leads nowhere,
// instead of making what it leads to. A file made by another run between
// the two calls is opened the next time round.
FileHandle OpenOrMake(const wchar_t* exact) {
  for (int round = 0; round < 2; ++round) {
    FileHandle existing(CreateFileW(exact, LogAccess, LogSharing, nullptr, OPEN_EXISTING,
                                    NotThroughALink, nullptr));
    if (existing || GetLastError() != ERROR_FILE_NOT_FOUND) return existing;
    FileHandle made(CreateFileW(exact, LogAccess, LogSharing, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | NotThroughALink, nullptr));
    if (made || GetLastError() != ERROR_FILE_EXISTS) return made;
  }
  return FileHandle();
}

// A disk file with one name, neither read-only nor a link. Windows refuses
// to append to a read-only file; an emulator that runs as a superuser might
// not, and read-only it stays all the same.
bool IsPlainFile(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info;
  return GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
         !(info.dwFileAttributes &
           (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) &&
         info.nNumberOfLinks == 1;
}

// Whether the open file is the entry that `exact` ends in. Windows opens a
// link itself, and its attributes tell; Wine opens what a link on the
// host's side leads to, and the file's final path tells: another name or
// another folder. Without the query (Windows XP), or where the file system
// cannot answer it, the attributes answer alone.
bool IsEntryItself(HANDLE file, const wchar_t* exact, const wchar_t* folder) {
  auto finalPath = Kernel32Function<FinalPathFunction>("GetFinalPathNameByHandleW");
  if (!finalPath) return true;
  wchar_t reached[FinalPathChars];
  DWORD n = finalPath(file, reached, FinalPathChars, 0);
  if (n == 0) return true;
  if (n >= FinalPathChars) return false;
  // The entry's name on the disk, for a name given in its short form.
  WIN32_FIND_DATAW entry;
  FindHandle found(FindFirstFileW(exact, &entry));
  if (!found || !SameName(FindNamePart(reached), entry.cFileName)) return false;
  wchar_t reachedFolder[FinalPathChars];
  FolderOf(reached, reachedFolder, FinalPathChars);
  return SameFileObject(reachedFolder, folder);
}

}  // namespace

bool OpenLogFile(const wchar_t* name, const ProductFile* productFiles, unsigned count) {
  wchar_t full[MaxPathChars];
  DWORD n = name[0] ? GetFullPathNameW(name, MaxPathChars, full, nullptr) : 0;
  if (n == 0 || n >= MaxPathChars || !IsDiskPath(full)) return false;
  wchar_t exact[LogPathChars];
  if (!ExactName(full, exact, LogPathChars) || !IsPlainName(FindNamePart(exact))) return false;
  wchar_t folder[LogPathChars];
  FolderOf(exact, folder, LogPathChars);
  if (IsProductFile(exact, folder, productFiles, count)) return false;
  FileHandle file = OpenOrMake(exact);
  if (!file || !IsPlainFile(file.Get()) || !IsEntryItself(file.Get(), exact, folder)) return false;
  AttachLog(file.Release(), exact);
  return true;
}

bool IsLogFile(const wchar_t* name) { return LogPath()[0] && SameFileObject(name, LogPath()); }
