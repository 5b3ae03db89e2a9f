#include "removal/uninstall_run.h"

#include <windows.h>

#include <cwchar>

#include "base/best_effort.h"
#include "base/format.h"
#include "base/log.h"
#include "base/message_box.h"
#include "base/product.h"
#include "base/program_path.h"
#include "base/run_state.h"
#include "base/win_handles.h"
#include "fs/entry_removal.h"
#include "fs/log_file.h"
#include "fs/path_names.h"
#include "integration/integration_removal.h"
#include "localization/language_module.h"
#include "localization/messages.h"
#include "removal/batch_file.h"
#include "removal/final_report.h"
#include "removal/list_removal.h"
#include "resources/resource_ids.h"
#include "settings/settings_store.h"
#include "text/file_list.h"

namespace {

constexpr unsigned EntryChars = ListEntryChars;
// An entry in its long form.
constexpr unsigned ExactChars = EntryChars + 8;

bool Confirmed(const RunRequest& request) {
  if (request.silent) return true;
  return ShowMessageBox(nullptr, LoadMessage(IDS_CONFIRM_UNINSTALL), LoadMessage(IDS_CAPTION),
                        MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND) == IDYES;
}

// Where the batch file goes and the names its lines hold.
struct CleanupPlan {
  wchar_t tempFolder[MaxPathChars];
  BatchNames names;
  // False when no batch line can name the program or its folder, or no
  // command line the temporary folder.
  bool reachable;
};

// Settled before anything is removed: a folder that no batch line can name
// is left whole, not half.
void PlanCleanup(const RunRequest& request, CleanupPlan& plan) {
  DWORD n = GetTempPathW(MaxPathChars, plan.tempFolder);
  plan.reachable = request.msi || (n > 0 && n < MaxPathChars &&
                                   PrepareBatchNames(request.program, request.folder,
                                                     plan.tempFolder, plan.names));
}

// Whether the log lies in `folder` or below it, by whatever names either is
// reached. Drives' roots are not compared: no batch file removes one.
bool LogLiesIn(const wchar_t* folder) {
  wchar_t path[LogPathChars];
  BoundedCopy(path, LogPath(), LogPathChars);
  size_t root = wcsncmp(path, L"\\\\?\\", 4) == 0 ? 7 : 3;
  while (wcslen(path) > root) {
    RemoveNamePart(path);
    if (wcslen(path) > root && SameFileObject(path, folder)) return true;
  }
  return false;
}

// Hands the program and its folder to the batch file; true when the folder
// is left, which the user is then told. A log in the folder keeps it: that
// is said in the log and changes nothing else.
[[nodiscard]] bool HandToBatchFile(const RunRequest& request, const CleanupPlan& plan,
                                   const ListRemoval& removal, const KeptTexts& texts) {
  // An outside installer removes the folder itself.
  if (request.msi) return false;
  const wchar_t* program = request.program;
  const wchar_t* folder = request.folder;
  wchar_t exact[ExactChars];
  bool logInFolder =
      plan.reachable && ExactName(folder, exact, ExactChars) && LogPath()[0] && LogLiesIn(exact);
  if (logInFolder && !removal.logKept) LogEvent(L"kept", LogPath(), L"the log");
  if (plan.reachable && StartCleanupBatch(plan.tempFolder, plan.names, request.silent)) {
    LogEvent(L"handed to the batch file", program, L"done");
    if (logInFolder)
      LogEvent(L"kept", folder, L"it holds the log");
    else
      LogEvent(L"handed to the batch file", folder, L"done");
    return false;
  }
  LogEvent(L"left", folder,
           plan.reachable ? L"no batch file removes it" : L"no batch line can name it");
  if (!request.silent) ReportFolderLeft(folder, texts);
  return true;
}

}  // namespace

int32_t RunUninstall(const RunRequest& request) {
  if (!request.folder[0]) return ExitIncomplete;
  if (!Confirmed(request)) return ExitCancelled;
  // Every name is built from the program's own folder, never from the
  // current one.
  wchar_t withSeparator[MaxPathChars];
  BoundedCopy(withSeparator, request.folder, MaxPathChars);
  AddTrailingSeparator(withSeparator, MaxPathChars);
  Stream list = OpenFileList(withSeparator);
  if (!list) {
    if (!request.silent) ReportMissingList();
    return ExitListMissing;
  }
  KeptTexts texts;
  KeepTexts(texts);
  CleanupPlan plan{};
  PlanCleanup(request, plan);

  // An outside installer keeps its own uninstall entry.
  EntryOwner owner = request.msi ? EntryOwner::OutsideInstaller : EntryOwner::Product;
  wchar_t refusedExtensions[RefusedExtensionsChars];
  bool integrationComplete = RemoveIntegration(owner, refusedExtensions, RefusedExtensionsChars);
  // The settings file goes with the product's files: write it now and let
  // go of it, or the end of the run would write it into the emptied folder
  // again and keep the folder from being removed.
  BestEffort(SaveIniFile());
  ReleaseIni();
  ReleaseLanguageModule();

  ListRemoval removal;
  if (!request.msi && plan.reachable)
    RemoveProductFiles(list, request.program, withSeparator, removal);
  list.Reset();
  if (!request.silent) ReportWhatStays(removal, integrationComplete, refusedExtensions, texts);
  bool folderLeft = HandToBatchFile(request, plan, removal, texts);
  if (removal.filesLeft || !integrationComplete || folderLeft) return ExitIncomplete;
  return removal.restartPending ? ExitRestartNeeded : ExitDone;
}
