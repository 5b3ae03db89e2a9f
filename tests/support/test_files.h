// Files and folders for tests, in the real file system of the prefix.
#pragma once

#include <string>

// An empty folder C:\tests\<name>, made anew for each call.
std::wstring FreshFolder(const std::wstring& name);
// Deletes a folder with everything in it (long names included).
void RemoveTree(const std::wstring& folder);
bool WriteBytes(const std::wstring& path, const std::string& bytes);
std::string ReadBytes(const std::wstring& path);
bool Exists(const std::wstring& path);
// Waits until a file or folder is gone (another process deletes it);
// false when it is still there after `timeoutMs`.
bool WaitUntilGone(const std::wstring& path, unsigned long timeoutMs);
// How many files and folders match a wildcard mask.
int FilesMatching(const std::wstring& mask);
