// The uninstall run: confirmation, removal of the integration, deletion of
// the files named in "Uninstall.lst", and the batch file that removes the
// program itself after it has ended.
#pragma once

// Takes the product off the computer and sets ExitCode: ExitCancelled for
// the user's No, ExitListMissing without a list, ExitIncomplete when
// Windows kept something (files neither removed nor scheduled, the
// integration, the folder that no batch line can name or no batch file
// removes), else ExitRestartNeeded when files wait for the next restart.
void RunUninstall();
