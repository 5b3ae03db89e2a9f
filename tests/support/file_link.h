// Symbolic links to files for tests, made on the host's side. Wine shows
// such a link as a plain file and opens what it leads to; Windows would
// show a reparse point. A link whose target is gone Wine shows nowhere, not
// even in its folder's listing: a test makes the link while the target is
// there, deletes the target, and puts it back before removing the link.
#pragma once

#include <string>

// Makes `link` a symbolic link to the file `target`, which must exist;
// false when the host could not.
bool MakeFileLink(const std::wstring& link, const std::wstring& target);
// Removes the link itself, while what it leads to is there.
bool RemoveFileLink(const std::wstring& link);
