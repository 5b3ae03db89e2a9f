// The uninstall run: confirmation, removal of the integration, deletion of
// the files named in "Uninstall.lst", and the batch file that removes the
// program itself after it has ended.
#pragma once

#include <cstdint>

#include "base/run_state.h"

// Takes the product at the request's program and folder off the computer;
// returns the exit code: ExitCancelled for the user's No, ExitListMissing
// without a list, ExitIncomplete when Windows kept something (files
// neither removed nor scheduled, the integration, the folder that no batch
// line can name or no batch file removes), else ExitRestartNeeded when
// files wait for the next restart, else ExitDone.
[[nodiscard]] int32_t RunUninstall(const RunRequest& request);
