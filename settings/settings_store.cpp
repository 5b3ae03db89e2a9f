#include "settings/settings_store.h"

bool SaveIniFile() { return false; }

void ReleaseIni() {}
