// Files that Windows holds go at the next restart: each is moved out of the
// way and scheduled for deletion, with the folders that hold it, by the
// names of what was opened and checked.
#pragma once

#include <windows.h>

#include "fs/product_tree.h"

// Schedules the file `tree` holds after refusing to remove `entry` (its
// full name, for the log), and the folders between it and the product's
// folder, for deletion at the next start of Windows. 0 when Windows took the
// schedule, else why not.
[[nodiscard]] DWORD ScheduleForRestart(ProductTree& tree, const wchar_t* entry);
