// Files that Windows holds go at the next restart: each is moved out of the
// way and scheduled for deletion, with the folders that hold it.
#pragma once

#include <windows.h>

// Schedules `entry`, a file inside the product's `folder` (ending in a
// backslash), and the folders between them, for deletion at the next start
// of Windows. 0 when Windows took the schedule, else why not.
[[nodiscard]] DWORD ScheduleForRestart(const wchar_t* entry, const wchar_t* folder);
