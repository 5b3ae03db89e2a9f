// Operations on files and folders. A name refused in its plain form is
// tried once more in its long form.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdio>

#include "base/win_handles.h"

constexpr DWORD InvalidAttributes = 0xFFFFFFFF;

// Windows cuts a trailing dot or blank from a plain name, so such a name
// reaches its own file only in the long form.
bool EndsInDotOrBlank(const wchar_t* name);

// GetFileAttributesW, with the long form when the plain name fails.
DWORD GetAttributes(const wchar_t* name);
bool PathExists(const wchar_t* name);
[[nodiscard]] bool SetAttributes(const wchar_t* name, DWORD attributes);
[[nodiscard]] bool EraseFile(const wchar_t* name);

// Results of CreateFolder.
enum : int {
  FolderCreated = 0,
  FolderNotCreated = 1,  // it exists already, or the system refused
  FolderParentMissing = 2,
};
// Creates one folder, not its parents, and gives it `attributes` when
// `setAttributes` is true. A name ending in a dot or a blank is created only
// through its long form, which keeps that character.
[[nodiscard]] int CreateFolder(const wchar_t* name, bool setAttributes, DWORD attributes);

bool IsDirectory(DWORD attributes);
bool IsReparsePoint(DWORD attributes);

// major * 256 + minor on NT (0x0601 for Windows 7), 0x0501 elsewhere; read
// from the system once per process.
unsigned GetWindowsVersion();
// Makes GetWindowsVersion answer `version` from now on; 0 restores the
// system's answer. Only tests call it.
void SetWindowsVersionForTesting(unsigned version);

// The path of a special folder (CSIDL) into `buffer` (MaxPathChars); false
// and an empty buffer when the system has none.
bool GetSpecialFolderPath(int csidl, wchar_t* buffer);

// The system folder into `folder` (MaxPathChars); false when the system
// cannot say or its name does not fit.
[[nodiscard]] bool GetSystemFolder(wchar_t* folder);
// Loads a system library by its full path in the system folder, never a
// file of the same name elsewhere; empty when it cannot be loaded.
[[nodiscard]] LoadedModule LoadSystemLibrary(const wchar_t* name);

// The product's folder under the user's Application Data folder into
// `buffer` (kept even when the result is false). True when the folder exists
// or, with `create`, was created.
[[nodiscard]] bool GetAppDataFolder(wchar_t* buffer, size_t size, bool create);

// _wfopen with a standard mode such as L"rb" or L"wb"; null on failure. The
// caller owns the stream and holds it in a Stream (win_handles.h).
FILE* OpenStream(const wchar_t* name, const wchar_t* mode);
