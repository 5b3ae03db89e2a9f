// The text language file "uninstall.lng".
#pragma once

// Loads the language file once at start and settles the text direction.
void LoadLanguageFile(const wchar_t* name);
// Frees the text of the language file.
void ReleaseLanguageFile();
