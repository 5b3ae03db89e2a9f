#include "removal/uninstall_run.h"

void RunUninstall() {}
