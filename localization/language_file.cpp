#include "localization/language_file.h"

void LoadLanguageFile(const wchar_t*) {}

void ReleaseLanguageFile() {}
