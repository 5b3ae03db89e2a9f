// The full path of the running program: the one place that asks the system,
// and the one seam through which tests choose another.
#pragma once

#include <cstddef>

// Copies the program's full file name into `buffer` (terminated). Returns
// the length; 0, and an empty name, when it fails or `size` cannot hold it.
unsigned GetProgramPath(wchar_t* buffer, size_t size);

// Makes GetProgramPath answer `path` from now on; nullptr restores the
// system's answer. Only tests call it.
void SetProgramPathForTesting(const wchar_t* path);
