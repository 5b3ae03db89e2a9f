#include "dialogs/help.h"

void CloseHelp() {}
