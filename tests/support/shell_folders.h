// The shell's special folders in tests, clearing the product's shortcuts
// from them, and moving the user's application-data folder.
#pragma once

#include <string>

// The folder of a CSIDL for the current user (or all users), empty when
// the shell has none.
std::wstring SpecialFolder(int csidl);
// Deletes "Pelodra.lnk" from both desktops and start menus and the
// "Pelodra" program groups of both kinds.
void RemoveProductShortcuts();
// Points the current user's application-data folder at `folder` (made here
// where missing), so that no settings file turns up there by chance; false
// when the registry refuses.
[[nodiscard]] bool RedirectAppData(const std::wstring& folder);
