// Links between folders for tests. Wine shows a symbolic link made on the
// host side as a Windows link (a reparse point), so the host's own tools
// make and remove them.
#pragma once

#include <string>

// Makes `link` a symbolic link to the folder `target`; false when the host
// could not.
bool MakeFolderLink(const std::wstring& link, const std::wstring& target);
// Removes the link itself, never what it leads to.
bool RemoveFolderLink(const std::wstring& link);
