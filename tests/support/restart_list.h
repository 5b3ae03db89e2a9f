// The list of files that Windows deletes when it next starts
// (PendingFileRenameOperations), as tests read and clear it.
#pragma once

#include <string>
#include <vector>

// The paths scheduled for deletion, in order, without their "\??\" prefix.
std::vector<std::wstring> ScheduledForRestart();
// Leaves no restart work behind in the prefix.
void ClearScheduledForRestart();
