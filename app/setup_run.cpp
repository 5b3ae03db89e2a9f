#include "app/setup_run.h"

#include <shellapi.h>

#include "base/best_effort.h"
#include "base/conversion.h"
#include "base/log.h"
#include "base/message_box.h"
#include "base/product.h"
#include "dialogs/done_dialog.h"
#include "dialogs/setup_dialog.h"
#include "fs/file_ops.h"
#include "fs/path_names.h"
#include "integration/apply.h"
#include "localization/messages.h"
#include "resources/resource_ids.h"
#include "settings/settings_store.h"

namespace {

void ShowWow64Note() {
  const wchar_t* text = LoadMessage(IDS_WOW64_NOTE);
  ShowMessageBox(nullptr, text, LoadMessage(IDS_WOW64_NOTE_CAPTION), MB_ICONINFORMATION);
}

void OpenProgramGroup(const RunRequest& request, const wchar_t* group) {
  if (!group[0] || request.silent || request.msi || request.noExplorer) return;
  if (!PathExists(group)) return;
  BestEffort(ShellExecuteW(nullptr, L"open", group, nullptr, L"", SW_SHOWNORMAL));
}

// The copy belongs to a setup that did not happen: the store lets go of it
// unsaved, and it goes. Unless the context-items dialog has saved the
// user's confirmed items into it: they stay, and with them the file that
// is now this installation's store.
void TakeBackSettingsCopy(const wchar_t* program) {
  wchar_t copy[MaxPathChars];
  if (!GetSettingsCopyPath(program, copy)) return;
  if (IniFileSaved()) {
    LogEvent(L"settings file kept", copy, L"holds the confirmed context items");
    return;
  }
  ReleaseIni();
  LogOutcome(L"settings file deleted", copy, DeleteFileW(copy) ? ERROR_SUCCESS : FailureCode());
}

void ShowSetupRefused() {
  ShowMessageBox(nullptr, LoadMessage(IDS_SETUP_REFUSED), LoadMessage(IDS_CAPTION),
                 MB_ICONWARNING | MB_SETFOREGROUND);
}

// A silent run shows nothing: no done dialog, note, box or folder.
int32_t FinishSetup(const RunRequest& request, bool complete, const wchar_t* group) {
  // Windows refused part of the setup: what is done would mislead.
  if (!complete) {
    if (!request.silent) ShowSetupRefused();
    return ExitIncomplete;
  }
  if (!request.msi && !request.silent) {
    ShowDoneDialog();
    if (IsWow64() && !IsNativeItanium()) ShowWow64Note();
  }
  OpenProgramGroup(request, group);
  return ExitDone;
}

}  // namespace

int32_t RunSetup(const RunRequest& request) {
  // Copied before the store is first used, so that the options shown and
  // saved, the records of former owners and the uninstall all use one
  // store: the one this installation keeps.
  bool copied = CopySettingsFromInstaller(request.program);
  IntegrationOptions choices{};
  LoadStartingOptions(request.initOptions, choices);
  if (!request.silent && !AskSetupChoices(choices)) {
    if (copied) TakeBackSettingsCopy(request.program);
    return ExitCancelled;
  }
  // An outside installer keeps its own uninstall entry.
  EntryOwner owner = request.msi ? EntryOwner::OutsideInstaller : EntryOwner::Product;
  wchar_t group[MaxPathChars] = {};
  bool complete = ApplySetup(choices, owner, group, MaxPathChars);
  return FinishSetup(request, complete, group);
}

bool GetSettingsCopyPath(const wchar_t* program, wchar_t* path) {
  if (!program[0]) return false;
  BoundedCopy(path, program, MaxPathChars);
  ReplaceNamePart(path, SettingsFileName, MaxPathChars);
  // A cut path would name another file.
  return CompareNoCase(FindNamePart(path), SettingsFileName) == 0;
}

bool CopySettingsFromInstaller(const wchar_t* program) {
  wchar_t source[MaxPathChars] = {};
  DWORD n = GetEnvironmentVariableW(L"sfxname", source, MaxPathChars);
  if (n == 0 || n >= MaxPathChars) return false;
  ReplaceNamePart(source, SettingsFileName, MaxPathChars);
  if (CompareNoCase(FindNamePart(source), SettingsFileName) != 0 || !PathExists(source))
    return false;
  wchar_t copy[MaxPathChars];
  if (!GetSettingsCopyPath(program, copy)) return false;
  // A setup over an installation finds its settings file there: it stays
  // the installation's store, and nothing failed.
  if (PathExists(copy)) {
    LogEvent(L"settings file kept", copy, L"the installation's own; the installer's not copied");
    return false;
  }
  bool copied = CopyFileW(source, copy, TRUE) != FALSE;
  LogOutcome(L"settings file copied", copy, copied ? ERROR_SUCCESS : FailureCode());
  if (!copied) return false;
  // A file from a read-only medium keeps its attribute in the copy, and
  // the store could not save the installation's settings into it.
  DWORD attributes = GetAttributes(copy);
  if (attributes != InvalidAttributes && (attributes & FILE_ATTRIBUTE_READONLY))
    BestEffort(SetAttributes(copy, attributes & ~FILE_ATTRIBUTE_READONLY));
  return true;
}
