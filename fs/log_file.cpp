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

}  // namespace

bool OpenLogFile(const wchar_t* name, const wchar_t* const* refused, unsigned refusedCount) {
  wchar_t full[MaxPathChars];
  DWORD n = name[0] ? GetFullPathNameW(name, MaxPathChars, full, nullptr) : 0;
  if (n == 0 || n >= MaxPathChars || !IsDiskPath(full)) return false;
  wchar_t exact[LogPathChars];
  if (!ExactName(full, exact, LogPathChars)) return false;
  for (unsigned i = 0; i < refusedCount; ++i)
    if (SameFileObject(exact, refused[i])) return false;
  // Appending only: each write lands at the end, whoever else writes.
  // Others may read and write it meanwhile, but nobody may delete it.
  FileHandle file(CreateFileW(exact, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file || GetFileType(file.Get()) != FILE_TYPE_DISK) return false;
  // Windows refuses to append to a read-only file; an emulator that runs
  // as a superuser might not, and read-only it stays all the same.
  BY_HANDLE_FILE_INFORMATION info;
  if (!GetFileInformationByHandle(file.Get(), &info) ||
      (info.dwFileAttributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)))
    return false;
  AttachLog(file.Release(), exact);
  return true;
}

bool IsLogFile(const wchar_t* name) { return LogPath()[0] && SameFileObject(name, LogPath()); }
