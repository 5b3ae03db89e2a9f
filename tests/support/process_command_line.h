// The command lines of running processes, read from their memory as the
// system keeps them.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The command lines of the running processes that `parent` started and whose
// program file is named `name`.
std::vector<std::wstring> ChildCommandLines(DWORD parent, const std::wstring& name);
