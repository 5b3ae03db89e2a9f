// The uninstall run.
#pragma once

// Takes the product off the computer; its result is not used.
void RunUninstall();
