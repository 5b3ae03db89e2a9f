// The native calls of ntdll that open a name relative to a folder's handle
// and change files through their handles, which no Win32 call of Windows XP
// does. Each is looked up at run time and is there from Windows 2000 on.
#pragma once

#include <windows.h>

#include <cstddef>

#include "base/win_handles.h"

using NtStatus = LONG;  // negative: failed

constexpr NtStatus StatusNotImplemented = static_cast<NtStatus>(0xC0000002);
constexpr NtStatus StatusInvalidInfoClass = static_cast<NtStatus>(0xC0000003);
constexpr NtStatus StatusInvalidParameter = static_cast<NtStatus>(0xC000000D);
constexpr NtStatus StatusAccessDenied = static_cast<NtStatus>(0xC0000022);
constexpr NtStatus StatusObjectNameCollision = static_cast<NtStatus>(0xC0000035);
constexpr NtStatus StatusSharingViolation = static_cast<NtStatus>(0xC0000043);
constexpr NtStatus StatusDeletePending = static_cast<NtStatus>(0xC0000056);
constexpr NtStatus StatusDirectoryNotEmpty = static_cast<NtStatus>(0xC0000101);
constexpr NtStatus StatusReparsePointEncountered = static_cast<NtStatus>(0xC000050B);

// No reparse point is followed while the name is parsed; refused by the
// Windows versions that do not know it.
constexpr ULONG ObjDontReparse = 0x1000;
constexpr ULONG FileDirectoryFile = 0x1;
constexpr ACCESS_MASK FolderAccess = FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES;

// `part` of `length` characters, opened relative to `parent` as itself (a
// link there is opened, not followed), with every sharing allowed.
[[nodiscard]] NtStatus OpenRelative(HANDLE parent, const wchar_t* part, size_t length,
                                    ACCESS_MASK access, ULONG options, ULONG flags,
                                    FileHandle& opened);
// Whether `part` is still there in `parent`, asked without a handle.
[[nodiscard]] bool StillThere(HANDLE parent, const wchar_t* part, size_t length);
// The attributes of an open entry, InvalidAttributes when Windows does not
// tell.
[[nodiscard]] DWORD AttributesOf(HANDLE file);
[[nodiscard]] bool SetAttributesOf(HANDLE file, DWORD attributes);
// Marks an open entry for deletion when its handle is closed: where
// Windows has it, at once and whatever the read-only attribute, else the
// classic way.
[[nodiscard]] NtStatus MarkForDeletion(HANDLE entry);
// Renames an open file to `name` in `folder`, never over another file.
[[nodiscard]] NtStatus RenameWithin(HANDLE file, HANDLE folder, const wchar_t* name);
// The final name of an open entry, "\\?\C:\..." or "\\?\UNC\...".
[[nodiscard]] bool FinalNameOf(HANDLE handle, wchar_t* name, size_t n);
// Whether the platform opens a link on the host's side as its target
// whatever is asked, and deletes through such a handle by the target's
// name (Wine).
bool FollowsLinksWhateverIsAsked();

// Tests only: the way final names are had without GetFinalPathNameByHandleW
// (the branch of Windows XP) when `native` is true; and a stand-in for
// NtSetInformationFile (nullptr: the system's), to show the fallbacks.
using SetInformationForTesting = LONG(WINAPI*)(HANDLE file, void* io, void* information,
                                               ULONG length, ULONG informationClass);
void UseNativeFinalNamesForTesting(bool native);
void SetInformationHookForTesting(SetInformationForTesting hook);
