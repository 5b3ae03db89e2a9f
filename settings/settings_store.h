// The product's settings, in the registry or in "Pelodra.ini".
#pragma once

// Rewrites the settings file when one is in use and may be saved.
bool SaveIniFile();
// Drops the entries of the settings file.
void ReleaseIni();
