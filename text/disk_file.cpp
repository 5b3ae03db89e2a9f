#include "text/disk_file.h"

#include "base/best_effort.h"
#include "base/error_state.h"
#include "fs/file_ops.h"
#include "fs/path_names.h"

namespace {

// Devices and pipes refuse large reads that a disk file would take.
constexpr uint32_t DeviceReadLimit = 20000;
// A large read that runs into a locked range fails as a whole.
constexpr uint32_t LockedReadLimit = 32768;

}  // namespace

DiskFile::~DiskFile() {
  if (!IsOpened()) return;
  bool erase = createdHere_;
  BestEffort(Close());
  if (erase) BestEffort(EraseFile(name_));
}

bool DiskFile::OpenHandle(const wchar_t* name, DWORD access, DWORD sharing, DWORD disposition,
                          DWORD flags, bool tryPlain) {
  // One object holds one file; a second open must not leak the first.
  BestEffort(Close());
  if (tryPlain) {
    handle_.Reset(CreateFileW(name, access, sharing, nullptr, disposition, flags, nullptr));
    if (handle_) {
      BoundedCopy(name_, name, MaxPathChars);
      return true;
    }
  }
  wchar_t longName[MaxPathChars];
  if (!MakeLongPath(name, longName, MaxPathChars)) return false;
  handle_.Reset(CreateFileW(longName, access, sharing, nullptr, disposition, flags, nullptr));
  if (!handle_) return false;
  BoundedCopy(name_, longName, MaxPathChars);
  return true;
}

bool DiskFile::Open(const wchar_t* name, uint32_t mode) {
  DWORD access = GENERIC_READ;
  if (mode & OpenReadWrite) access = GENERIC_READ | GENERIC_WRITE;
  if (mode & OpenWriteOnly) access = GENERIC_WRITE;
  DWORD sharing = 0;
  if (!(mode & OpenDenyRead)) sharing |= FILE_SHARE_READ;
  if (mode & OpenShareWrite) sharing |= FILE_SHARE_WRITE;
  bool opened = OpenHandle(name, access, sharing, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, true);
  createdHere_ = false;
  return opened;
}

bool DiskFile::Create(const wchar_t* name, uint32_t mode) {
  DWORD access = mode & CreateWriteOnly ? GENERIC_WRITE : GENERIC_READ | GENERIC_WRITE;
  DWORD sharing = mode & CreateShareRead ? FILE_SHARE_READ : 0;
  // The plain form of a name ending in a dot or blank names another file.
  bool tryPlain = !EndsInDotOrBlank(name) || (mode & CreateTryPlainName);
  bool created = OpenHandle(name, access, sharing, CREATE_ALWAYS, 0, tryPlain);
  createdHere_ = true;
  return created;
}

bool DiskFile::Close() {
  if (!IsOpened()) return true;
  bool closed = CloseHandle(handle_.Release()) != 0;
  if (!closed) ErrorState.Record(KEL_FATAL_ERROR);
  return closed;
}

int32_t DiskFile::Read(void* buffer, uint32_t size) {
  auto readOnce = [&](uint32_t n) -> int32_t {
    DWORD read = 0;
    return ReadFile(handle_.Get(), buffer, n, &read, nullptr) ? static_cast<int32_t>(read) : -1;
  };
  int32_t read = readOnce(size);
  if (read >= 0) return read;
  DWORD error = GetLastError();
  DWORD type = GetFileType(handle_.Get());
  if ((type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE) && size > DeviceReadLimit)
    return readOnce(DeviceReadLimit);
  if (size > LockedReadLimit && error == ERROR_LOCK_VIOLATION) return readOnce(LockedReadLimit);
  return -1;
}

bool DiskFile::Write(const void* data, uint32_t size) {
  if (size == 0) return true;
  DWORD written = 0;
  return WriteFile(handle_.Get(), data, size, &written, nullptr) && written == size;
}

void DiskFile::Seek(int64_t offset, uint32_t method) {
  if (!IsOpened()) return;
  if (offset < 0 && method == FILE_CURRENT) {
    offset += Tell();
    method = FILE_BEGIN;
  } else if (offset < 0 && method == FILE_END) {
    offset += FileLength();
    method = FILE_BEGIN;
  }
  LARGE_INTEGER distance;
  distance.QuadPart = offset;
  SetFilePointerEx(handle_.Get(), distance, nullptr, method);
}

int64_t DiskFile::Tell() {
  if (!IsOpened()) return -1;
  LARGE_INTEGER zero{}, position{};
  if (!SetFilePointerEx(handle_.Get(), zero, &position, FILE_CURRENT)) return -1;
  return position.QuadPart;
}

bool DiskFile::IsOpened() const { return handle_.Valid(); }

int64_t DiskFile::FileLength() {
  // Returns to the caller's position however the query is left.
  struct Restore {
    DiskFile& file;
    int64_t position;
    ~Restore() {
      if (file.IsOpened()) file.Seek(position, FILE_BEGIN);
    }
  } restore{*this, Tell()};
  Seek(0, FILE_END);
  return Tell();
}
