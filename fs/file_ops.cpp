#include "fs/file_ops.h"

#include "fs/path_names.h"

DWORD GetAttributes(const wchar_t* name) {
  DWORD attributes = GetFileAttributesW(name);
  wchar_t longName[MaxPathChars];
  if (attributes == InvalidAttributes && MakeLongPath(name, longName, MaxPathChars))
    attributes = GetFileAttributesW(longName);
  return attributes;
}

bool PathExists(const wchar_t* name) { return GetAttributes(name) != InvalidAttributes; }
