#include "dialogs/done_dialog.h"

void ShowDoneDialog() {}
