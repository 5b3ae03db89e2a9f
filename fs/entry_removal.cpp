#include "fs/entry_removal.h"

#include <windows.h>

#include "base/win_handles.h"

namespace {

constexpr DWORD ShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

}  // namespace

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
