#include "removal/final_report.h"

#include <windows.h>

#include "base/format.h"
#include "base/message_box.h"
#include "base/product.h"
#include "base/run_state.h"
#include "integration/integration_removal.h"
#include "localization/messages.h"
#include "resources/resource_ids.h"

namespace {

constexpr unsigned ErrorChars = 200;
constexpr unsigned ReportChars = KeptChars + MaxPathChars;
static_assert(ReportChars > KeptChars + RefusedExtensionsChars, "room for the file types");

void Show(const wchar_t* text, const KeptTexts& texts, UINT icon) {
  ShowMessageBox(nullptr, text, texts.caption, icon | MB_SETFOREGROUND);
}

}  // namespace

void ReportMissingList() {
  wchar_t text[ErrorChars];
  FormatMessageText(text, ErrorChars, LoadMessage(IDS_LIST_MISSING_FORMAT), FileListName);
  ShowMessageBox(nullptr, text, LoadMessage(IDS_CAPTION), MB_ICONHAND | MB_SETFOREGROUND);
}

void KeepTexts(KeptTexts& texts) {
  BoundedCopy(texts.caption, LoadMessage(IDS_CAPTION), KeptChars);
  BoundedCopy(texts.restart, LoadMessage(IDS_RESTART_NEEDED), KeptChars);
  BoundedCopy(texts.filesLeft, LoadMessage(IDS_FILES_LEFT_FORMAT), KeptChars);
  BoundedCopy(texts.extensionsKept, LoadMessage(IDS_UNINSTALL_REFUSED), KeptChars);
  BoundedCopy(texts.integrationKept, LoadMessage(IDS_UNINSTALL_INCOMPLETE), KeptChars);
  BoundedCopy(texts.folderLeft, LoadMessage(IDS_FOLDER_LEFT_FORMAT), KeptChars);
}

void ReportWhatStays(const ListRemoval& removal, bool integrationComplete,
                     const wchar_t* refusedExtensions, const KeptTexts& texts) {
  if (removal.restartPending) Show(texts.restart, texts, MB_ICONINFORMATION);
  if (removal.filesLeft) {
    wchar_t text[ReportChars];
    FormatMessageText(text, ReportChars, texts.filesLeft, removal.leftNames);
    Show(text, texts, MB_ICONEXCLAMATION);
  }
  if (integrationComplete) return;
  // The file types come first: without their former program the user
  // meets them every day. Only the user can give them one now.
  if (refusedExtensions[0]) {
    wchar_t text[ReportChars];
    FormatMessageText(text, ReportChars, texts.extensionsKept, refusedExtensions);
    Show(text, texts, MB_ICONEXCLAMATION);
  } else {
    Show(texts.integrationKept, texts, MB_ICONEXCLAMATION);
  }
}

void ReportFolderLeft(const wchar_t* folder, const KeptTexts& texts) {
  wchar_t text[ReportChars];
  FormatMessageText(text, ReportChars, texts.folderLeft, folder);
  Show(text, texts, MB_ICONEXCLAMATION);
}
