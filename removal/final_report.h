// What the user is told at the end of an uninstall: the texts are taken
// while the language module is loaded and shown after it is gone.
#pragma once

#include "removal/list_removal.h"

constexpr unsigned KeptChars = 256;

// The texts shown after the language module is gone, taken before.
struct KeptTexts {
  wchar_t caption[KeptChars];
  wchar_t restart[KeptChars];
  wchar_t filesLeft[KeptChars];
  wchar_t integrationKept[KeptChars];
  wchar_t folderLeft[KeptChars];
};

void KeepTexts(KeptTexts& texts);

void ReportMissingList();

// The boxes for what stays behind, each only when something does; none in
// a silent run. They come before the batch file starts, which waits only a
// moment for the program to end.
void ReportWhatStays(const ListRemoval& removal, bool integrationComplete, const KeptTexts& texts);

// The folder that no batch file removes.
void ReportFolderLeft(const wchar_t* folder, const KeptTexts& texts);
