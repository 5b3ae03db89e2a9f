// Removal of one file or folder by its exact name, never through a link.
#pragma once

#include <windows.h>

enum class Removal {
  Removed,
  Missing,     // nothing by that name (or nothing that can be reached)
  FolderKept,  // a folder that still holds something, or that is in use
  InUse,       // a file another program holds open
  Refused,     // a file Windows will not let go of for another reason
  Link,        // a link that Windows would only follow, not remove
};

// Removes a file or an empty folder below the folder `within`. A junction
// or symbolic link at the end of the name is removed itself and its target
// is left; where Windows reaches the target through it instead (as Wine
// does with the host's links), or reaches something outside `within` by
// way of a folder that has become a link, nothing is removed (Link). A
// read-only attribute is cleared when it is in the way, and put back when
// the removal fails all the same.
Removal RemoveEntry(const wchar_t* name, const wchar_t* within);

// Clears the given attribute bits of a file or folder below `within`, not
// through a link. True when they are clear afterwards.
bool ClearAttributes(const wchar_t* name, const wchar_t* within, DWORD attributes);

// Whether two names reach the same file or folder.
bool SameFileObject(const wchar_t* a, const wchar_t* b);
