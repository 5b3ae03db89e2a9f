// Lists the entries of a folder that match a wildcard mask, one at a time.
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/run_state.h"
#include "base/win_handles.h"

struct ScanEntry {
  // The mask with its name part replaced by the found name, so it keeps the
  // folder form the caller gave.
  wchar_t name[MaxPathChars] = {};
  uint64_t size = 0;
  DWORD attributes = 0;
  bool isFolder = false;
  bool isReparsePoint = false;
  // Nanoseconds since 1601-01-01 UTC.
  uint64_t modificationTime = 0;
  uint64_t creationTime = 0;
  uint64_t accessTime = 0;
  // The same times as the system gave them.
  FILETIME rawCreationTime = {};
  FILETIME rawAccessTime = {};
  FILETIME rawWriteTime = {};
  // The scan ended for a reason other than an empty result (access denied,
  // a bad name).
  bool error = false;
};

class DirScanner {
 public:
  DirScanner() = default;
  DirScanner(const DirScanner&) = delete;
  DirScanner& operator=(const DirScanner&) = delete;

  // A folder followed by a name pattern, e.g. "C:\dir\*". Starts a new scan.
  void SetMask(const wchar_t* mask);
  // The next entry other than "." and ".."; false at the end or on error.
  bool Next(ScanEntry& entry);
  void Close();

 private:
  wchar_t mask_[MaxPathChars] = {};
  bool first_ = true;
  FindHandle handle_;
};

// The entry of one named file without a scan; false for a name with
// wildcards or a missing file.
[[nodiscard]] bool ReadScanEntry(const wchar_t* name, ScanEntry& entry);
