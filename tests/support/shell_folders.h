// The shell's special folders in tests, and clearing the product's
// shortcuts from them.
#pragma once

#include <string>

// The folder of a CSIDL for the current user (or all users), empty when
// the shell has none.
std::wstring SpecialFolder(int csidl);
// Deletes "Pelodra.lnk" from both desktops and start menus and the
// "Pelodra" program groups of both kinds.
void RemoveProductShortcuts();
