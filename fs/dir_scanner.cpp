#include "fs/dir_scanner.h"

#include <cwchar>

#include "fs/file_ops.h"
#include "fs/path_names.h"

namespace {

uint64_t ToNanoseconds(const FILETIME& time) {
  return ((uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime) * 100;
}

void FillEntry(const wchar_t* mask, const WIN32_FIND_DATAW& data, ScanEntry& entry) {
  BoundedCopy(entry.name, mask, MaxPathChars);
  ReplaceNamePart(entry.name, data.cFileName, MaxPathChars);
  entry.size = (uint64_t{data.nFileSizeHigh} << 32) | data.nFileSizeLow;
  entry.attributes = data.dwFileAttributes;
  entry.rawCreationTime = data.ftCreationTime;
  entry.rawAccessTime = data.ftLastAccessTime;
  entry.rawWriteTime = data.ftLastWriteTime;
  entry.modificationTime = ToNanoseconds(data.ftLastWriteTime);
  entry.creationTime = ToNanoseconds(data.ftCreationTime);
  entry.accessTime = ToNanoseconds(data.ftLastAccessTime);
}

void SetKind(ScanEntry& entry) {
  entry.isFolder = (entry.attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  entry.isReparsePoint = IsReparsePoint(entry.attributes);
}

// Opens a search on the mask, with its long form when the plain one fails.
FindHandle FindFirst(const wchar_t* mask, ScanEntry& entry) {
  WIN32_FIND_DATAW data;
  FindHandle handle(FindFirstFileW(mask, &data));
  wchar_t longMask[MaxPathChars];
  if (!handle && MakeLongPath(mask, longMask, MaxPathChars))
    handle.Reset(FindFirstFileW(longMask, &data));
  if (!handle) {
    DWORD error = GetLastError();
    entry.error = error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND &&
                  error != ERROR_NO_MORE_FILES;
    return handle;
  }
  FillEntry(mask, data, entry);
  return handle;
}

bool FindNext(HANDLE handle, const wchar_t* mask, ScanEntry& entry) {
  WIN32_FIND_DATAW data;
  if (!FindNextFileW(handle, &data)) {
    entry.error = GetLastError() != ERROR_NO_MORE_FILES;
    return false;
  }
  FillEntry(mask, data, entry);
  return true;
}

bool IsDotEntry(const wchar_t* name) {
  const wchar_t* part = FindNamePart(name);
  return wcscmp(part, L".") == 0 || wcscmp(part, L"..") == 0;
}

}  // namespace

void DirScanner::SetMask(const wchar_t* mask) {
  BoundedCopy(mask_, mask, MaxPathChars);
  first_ = true;
}

bool DirScanner::Next(ScanEntry& entry) {
  do {
    entry.error = false;
    if (!mask_[0]) return false;
    if (first_) {
      // A scan begun again drops the search it replaces.
      handle_ = FindFirst(mask_, entry);
      if (!handle_) return false;
    } else if (!handle_ || !FindNext(handle_.Get(), mask_, entry)) {
      return false;
    }
    SetKind(entry);
    first_ = false;
  } while (IsDotEntry(entry.name));
  return true;
}

void DirScanner::Close() { handle_.Reset(); }

bool ReadScanEntry(const wchar_t* name, ScanEntry& entry) {
  entry.error = false;
  if (HasWildcards(name)) return false;
  FindHandle handle = FindFirst(name, entry);
  if (!handle) return false;
  SetKind(entry);
  return true;
}
