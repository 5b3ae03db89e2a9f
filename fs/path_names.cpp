#include "fs/path_names.h"

#include <windows.h>

#include <cwchar>

#include "base/conversion.h"

void AddTrailingSeparator(wchar_t* path, size_t n) {
  size_t length = wcslen(path);
  if (length == 0 || path[length - 1] == L'\\' || length + 1 >= n) return;
  path[length] = L'\\';
  path[length + 1] = 0;
}

wchar_t* JoinPath(const wchar_t* folder, const wchar_t* name, wchar_t* destination, size_t n) {
  wchar_t scratch[MaxPathChars];
  BoundedCopy(scratch, folder, MaxPathChars);
  AddTrailingSeparator(scratch, MaxPathChars);
  BoundedAppend(scratch, name, MaxPathChars);
  return BoundedCopy(destination, scratch, n);
}

bool IsPathSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

const wchar_t* FindNamePart(const wchar_t* path) {
  const wchar_t* name = path;
  for (const wchar_t* p = path; *p; ++p)
    if (IsPathSeparator(*p)) name = p + 1;
  if (name == path && path[0] && path[1] == L':') name = path + 2;
  return name;
}

wchar_t* FindNamePart(wchar_t* path) {
  return const_cast<wchar_t*>(FindNamePart(static_cast<const wchar_t*>(path)));
}

wchar_t* RemoveNamePart(wchar_t* path) {
  wchar_t* name = FindNamePart(path);
  size_t index = static_cast<size_t>(name - path);
  if (index >= 2 && (path[1] != L':' || index >= 4)) --name;
  *name = 0;
  return name;
}

void ReplaceNamePart(wchar_t* path, const wchar_t* name, size_t n) {
  wchar_t* part = FindNamePart(path);
  size_t before = static_cast<size_t>(part - path);
  if (n > before) BoundedCopy(part, name, n - before);
}

const wchar_t* LastCharOf(const wchar_t* text) {
  size_t length = wcslen(text);
  return length ? text + length - 1 : text;
}

bool IsDiskLetter(const wchar_t* path) {
  if (!path[0] || path[1] != L':') return false;
  wchar_t c = ToUpperChar(path[0]);
  return c >= L'A' && c <= L'Z';
}

bool HasWildcards(const wchar_t* name) {
  return name && (wcschr(name, L'*') || wcschr(name, L'?'));
}

namespace {

bool IsLongForm(const wchar_t* path) { return wcsncmp(path, L"\\\\?\\", 4) == 0; }

}  // namespace

bool MakeLongPath(const wchar_t* path, wchar_t* destination, size_t n) {
  size_t length = wcslen(path);
  if (length == 0) return false;
  if (IsLongForm(path)) {
    if (n <= length) return false;
    wcscpy(destination, path);
    return true;
  }
  if (IsDiskLetter(path) && IsPathSeparator(path[2])) {
    if (n <= length + 4) return false;
    wcscpy(destination, L"\\\\?\\");
    wcscat(destination, path);
    return true;
  }
  if (path[0] == L'\\' && path[1] == L'\\') {
    if (n <= length + 6) return false;
    wcscpy(destination, L"\\\\?\\UNC");
    wcscat(destination, path + 1);
    return true;
  }
  wchar_t folder[MaxPathChars];
  DWORD folderLength = GetCurrentDirectoryW(MaxPathChars - 1, folder);
  if (folderLength == 0 || folderLength > MaxPathChars - 1) return false;
  if (IsPathSeparator(path[0])) {
    if (n <= length + 6) return false;
    wcscpy(destination, L"\\\\?\\");
    wcsncat(destination, folder, 2);
    wcscat(destination, path);
    return true;
  }
  AddTrailingSeparator(folder, MaxPathChars);
  if (n <= wcslen(folder) + length + 4) return false;
  wcscpy(destination, L"\\\\?\\");
  wcscat(destination, folder);
  if (path[0] == L'.' && IsPathSeparator(path[1])) path += 2;
  BoundedAppend(destination, path, n);
  return true;
}

bool ExactName(const wchar_t* path, wchar_t* destination, size_t n) {
  size_t length = wcslen(path);
  if (length > 0 && length < MAX_PATH && !IsLongForm(path)) {
    wchar_t read[MAX_PATH];
    DWORD got = GetFullPathNameW(path, MAX_PATH, read, nullptr);
    if (got == length && wcscmp(read, path) == 0) {
      if (n <= length) return false;
      wcscpy(destination, path);
      return true;
    }
  }
  return MakeLongPath(path, destination, n);
}
