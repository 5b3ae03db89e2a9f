// What the user is told at the end of an uninstall: the texts are taken
// while the language module is loaded and shown after it is gone.
#pragma once

#include "removal/list_removal.h"

// A message of the language file is cut at 511 characters.
constexpr unsigned KeptChars = 512;

// The texts shown after the language module is gone, taken before.
struct KeptTexts {
  wchar_t caption[KeptChars];
  wchar_t restart[KeptChars];
  wchar_t filesLeft[KeptChars];
  wchar_t extensionsKept[KeptChars];
  wchar_t integrationKept[KeptChars];
  wchar_t folderLeft[KeptChars];
};

void KeepTexts(KeptTexts& texts);

void ReportMissingList();

// The boxes for what stays behind, each only when something does; a
// silent run shows none of them. They come before the batch file starts, which waits only a
// moment for the program to end. `refusedExtensions` names the file types
// that could not be given back, empty when there are none.
void ReportWhatStays(const ListRemoval& removal, bool integrationComplete,
                     const wchar_t* refusedExtensions, const KeptTexts& texts);

// The folder that no batch file removes.
void ReportFolderLeft(const wchar_t* folder, const KeptTexts& texts);
