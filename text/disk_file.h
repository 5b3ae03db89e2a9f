// The program's handle on one disk file. Failures are results; only a
// handle that cannot be closed reaches ErrorState.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/run_state.h"
#include "base/win_handles.h"

// Open mode bits.
constexpr uint32_t OpenReadWrite = 0x01;
constexpr uint32_t OpenWriteOnly = 0x02;  // wins over OpenReadWrite
constexpr uint32_t OpenShareWrite = 0x04;
constexpr uint32_t OpenDenyRead = 0x08;

// Create mode bits.
constexpr uint32_t CreateWriteOnly = 0x02;
constexpr uint32_t CreateShareRead = 0x10;
// Also try a name ending in a dot or a blank in its plain form, which the
// system would cut.
constexpr uint32_t CreateTryPlainName = 0x20;

class DiskFile {
 public:
  DiskFile() = default;
  // A file made by Create and never closed is deleted: half-written output
  // does not survive.
  ~DiskFile();
  DiskFile(const DiskFile&) = delete;
  DiskFile& operator=(const DiskFile&) = delete;

  // Opens an existing file for sequential access.
  [[nodiscard]] bool Open(const wchar_t* name, uint32_t mode);
  // True when nothing was open or the handle closed cleanly.
  [[nodiscard]] bool Close();
  // Bytes read, 0 at the end of the file, -1 on a read error.
  [[nodiscard]] int32_t Read(void* buffer, uint32_t size);
  // method: FILE_BEGIN, FILE_CURRENT or FILE_END.
  void Seek(int64_t offset, uint32_t method);
  // The position, -1 when no file is open or the system fails.
  int64_t Tell();
  bool IsOpened() const;

  // Creates a file, replacing an existing one.
  [[nodiscard]] bool Create(const wchar_t* name, uint32_t mode);
  [[nodiscard]] bool Write(const void* data, uint32_t size);
  int64_t FileLength();

 private:
  bool OpenHandle(const wchar_t* name, DWORD access, DWORD sharing, DWORD disposition, DWORD flags,
                  bool tryPlain);

  FileHandle handle_;
  // The name that the handle was obtained with (its long form when the plain
  // one was refused), so that the destructor deletes exactly that file.
  wchar_t name_[MaxPathChars] = {};
  bool createdHere_ = false;
};
