#include "app/run_flow.h"

#include <ole2.h>
#include <shellapi.h>

#include "app/command_line.h"
#include "base/best_effort.h"
#include "base/conversion.h"
#include "base/error_state.h"
#include "base/format.h"
#include "base/log.h"
#include "base/message_box.h"
#include "base/product.h"
#include "base/program_path.h"
#include "base/run_state.h"
#include "base/win_handles.h"
#include "dialogs/done_dialog.h"
#include "dialogs/help.h"
#include "dialogs/setup_dialog.h"
#include "fs/file_ops.h"
#include "fs/path_names.h"
#include "integration/apply.h"
#include "localization/language_file.h"
#include "localization/language_module.h"
#include "localization/messages.h"
#include "removal/uninstall_run.h"
#include "resources/resource_ids.h"
#include "settings/settings_store.h"

namespace {

constexpr unsigned InstallerTextChars = 1024;
constexpr unsigned StartResultChars = 4096;

// Static teardown at process end, in reverse order of start-up. The log
// ends last, after what the teardown itself writes.
struct ProcessTeardown {
  ProcessTeardown() { KeepLogPastTeardown(); }
  ~ProcessTeardown() {
    ErrorState.ProcessEnding();
    CloseHelp();
    BestEffort(SaveIniFile());
    ReleaseIni();
    ReleaseLanguageFile();
    ReleaseLanguageModule();
    LogEnd(ExitCode);
  }
} teardown;

HICON LoadApplicationIcon() {
  HICON icon = LoadIconW(ResourceModule(), L"KELICON");
  if (!icon && ResourceModule() != ProgramModule()) icon = LoadIconW(ProgramModule(), L"KELICON");
  return icon;
}

HFONT CreateBoldFont() {
  return CreateFontW(ScaleForDpi(-12), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, L"MS Shell Dlg");
}

void ShowWow64Note() {
  const wchar_t* text = LoadMessage(IDS_WOW64_NOTE);
  ShowMessageBox(nullptr, text, LoadMessage(IDS_WOW64_NOTE_CAPTION), MB_ICONINFORMATION);
}

void OpenProgramGroup() {
  if (!ProgramGroupPath[0] || SilentMode || MsiMode || NoExplorer) return;
  if (!PathExists(ProgramGroupPath)) return;
  BestEffort(ShellExecuteW(nullptr, L"open", ProgramGroupPath, nullptr, L"", SW_SHOWNORMAL));
}

// The copy belongs to a setup that did not happen: the store lets go of it
// unsaved, and it goes. Unless the context-items dialog has saved the
// user's confirmed items into it: they stay, and with them the file that
// is now this installation's store.
void TakeBackSettingsCopy() {
  wchar_t copy[MaxPathChars];
  if (!GetSettingsCopyPath(copy)) return;
  if (IniFileSaved()) {
    LogEvent(L"settings file kept", copy, L"holds the confirmed context items");
    return;
  }
  ReleaseIni();
  LogOutcome(L"settings file deleted", copy, DeleteFileW(copy) ? ERROR_SUCCESS : FailureCode());
}

// The first line of a log: what runs, on which Windows, asked for what.
void LogStart(const wchar_t* commandLine, const wchar_t* installerText) {
  if (!IsLogging()) return;
  OSVERSIONINFOW version{};
  version.dwOSVersionInfoSize = sizeof version;
  GetVersionExW(&version);
  wchar_t result[StartResultChars];
  FormatText(result, StartResultChars,
             L"version %d.%02d.%d, Windows %lu.%lu.%lu %s, command line: %s, sfxcmd: %s",
             PRODUCT_VERSION_MAJOR, PRODUCT_VERSION_MINOR, PRODUCT_VERSION_BUILD,
             version.dwMajorVersion, version.dwMinorVersion, version.dwBuildNumber,
             IsWow64() ? L"64-bit" : L"32-bit", commandLine, installerText);
  wchar_t program[MaxPathChars];
  GetProgramPath(program, MaxPathChars);
  LogEvent(L"start", program, result);
}

void ShowSetupRefused() {
  ShowMessageBox(nullptr, LoadMessage(IDS_SETUP_REFUSED), LoadMessage(IDS_CAPTION),
                 MB_ICONWARNING | MB_SETFOREGROUND);
}

void FinishSetup() {
  // Windows refused part of the setup: what is done would mislead.
  if (ExitCode == ExitIncomplete) {
    if (!SilentMode) ShowSetupRefused();
    return;
  }
  if (!MsiMode && !SilentMode) {
    ShowDoneDialog();
    if (IsWow64() && !IsNativeItanium()) ShowWow64Note();
  }
  OpenProgramGroup();
}

void RunSetup() {
  // Copied before the store is first used, so that the options shown and
  // saved, the records of former owners and the uninstall all use one
  // store: the one this installation keeps.
  bool copied = CopySettingsFromInstaller();
  IntegrationOptions choices{};
  LoadStartingOptions(InitOptionsText, choices);
  // A silent setup takes the starting choices as confirmed: no window at all.
  if (!SilentMode && !AskSetupChoices(choices)) {
    ExitCode = ExitCancelled;
    if (copied) TakeBackSettingsCopy();
    return;
  }
  // An outside installer keeps its own uninstall entry.
  EntryOwner owner = MsiMode ? EntryOwner::OutsideInstaller : EntryOwner::Product;
  if (!ApplySetup(choices, owner, ProgramGroupPath, MaxPathChars)) ExitCode = ExitIncomplete;
  FinishSetup();
}

}  // namespace

void RestrictDllSearch() {
  using SetDirectory = BOOL(WINAPI*)(LPCWSTR);
  if (auto set = Kernel32Function<SetDirectory>("SetDllDirectoryW")) set(L"");
  using SetDefaults = BOOL(WINAPI*)(DWORD);
  if (auto set = Kernel32Function<SetDefaults>("SetDefaultDllDirectories"))
    set(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

bool GetSettingsCopyPath(wchar_t* path) {
  if (!GetProgramPath(path, MaxPathChars)) return false;
  ReplaceNamePart(path, SettingsFileName, MaxPathChars);
  // A cut path would name another file.
  return CompareNoCase(FindNamePart(path), SettingsFileName) == 0;
}

bool CopySettingsFromInstaller() {
  wchar_t source[MaxPathChars] = {};
  DWORD n = GetEnvironmentVariableW(L"sfxname", source, MaxPathChars);
  if (n == 0 || n >= MaxPathChars) return false;
  ReplaceNamePart(source, SettingsFileName, MaxPathChars);
  if (CompareNoCase(FindNamePart(source), SettingsFileName) != 0 || !PathExists(source))
    return false;
  wchar_t copy[MaxPathChars];
  if (!GetSettingsCopyPath(copy)) return false;
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

int RunProgram(HINSTANCE instance, const wchar_t* commandLine) {
  RestrictDllSearch();
  LoadLanguageModule(instance);
  LoadLanguageFile(L"uninstall.lng");
  HRESULT ole = OleInitialize(nullptr);
  LoadedModule richEdit = LoadSystemLibrary(L"riched20.dll");
  // An icon from LoadIconW is shared: it is never destroyed.
  ApplicationIcon = LoadApplicationIcon();
  GdiObject font(CreateBoldFont());
  BoldFont = static_cast<HFONT>(font.Get());

  wchar_t installerText[InstallerTextChars] = {};
  DWORD n = GetEnvironmentVariableW(L"sfxcmd", installerText, InstallerTextChars);
  if (n >= InstallerTextChars) installerText[0] = 0;
  OpenRequestedLog(commandLine);
  LogStart(commandLine, installerText);
  bool setupRequested = false;
  bool uninstallRequested = false;
  ParseCommandLine(CommandSource::InstallerText, installerText, setupRequested, uninstallRequested);
  ParseCommandLine(CommandSource::RealCommandLine, commandLine, setupRequested, uninstallRequested);

  if (setupRequested) RunSetup();
  if (uninstallRequested) RunUninstall();

  richEdit.Reset();
  if (SUCCEEDED(ole)) OleUninitialize();
  ApplicationIcon = nullptr;
  BoldFont = nullptr;
  return ExitCode;
}
