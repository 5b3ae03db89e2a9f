#include "app/run_flow.h"

#include <ole2.h>

#include "app/command_line.h"
#include "app/setup_run.h"
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
#include "dialogs/help.h"
#include "fs/file_ops.h"
#include "fs/path_names.h"
#include "localization/language_file.h"
#include "localization/language_module.h"
#include "localization/messages.h"
#include "removal/uninstall_run.h"
#include "resources/resource_ids.h"
#include "settings/settings_store.h"

namespace {

constexpr unsigned InstallerTextChars = 1024;
constexpr unsigned StartResultChars = 4096;

// The teardown without the log's end: a fatal error has written its own
// last line before it runs this.
void TearDownRun() {
  ErrorState.ProcessEnding();
  CloseHelp();
  BestEffort(SaveIniFile());
  ReleaseIni();
  ReleaseLanguageFile();
  ReleaseLanguageModule();
}

// Found once: every name the run builds starts from the program's own
// folder, never from the current one.
void FindProgram(RunRequest& request) {
  if (!GetProgramPath(request.program, MaxPathChars)) request.program[0] = 0;
  BoundedCopy(request.folder, request.program, MaxPathChars);
  RemoveNamePart(request.folder);
}

// The first line of a log: what runs, on which Windows, asked for what.
void LogStart(const wchar_t* program, const wchar_t* commandLine, const wchar_t* installerText) {
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
  LogEvent(L"start", program, result);
}

}  // namespace

void EndRun(int32_t exitCode) {
  TearDownRun();
  LogEnd(exitCode);
}

void RestrictDllSearch() {
  using SetDirectory = BOOL(WINAPI*)(LPCWSTR);
  if (auto set = Kernel32Function<SetDirectory>("SetDllDirectoryW")) set(L"");
  using SetDefaults = BOOL(WINAPI*)(DWORD);
  if (auto set = Kernel32Function<SetDefaults>("SetDefaultDllDirectories"))
    set(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

int RunProgram(HINSTANCE instance, const wchar_t* commandLine) {
  ErrorState.SetTeardown(TearDownRun);
  RestrictDllSearch();
  LoadLanguageModule(instance);
  LoadLanguageFile(L"uninstall.lng");
  HRESULT ole = OleInitialize(nullptr);
  LoadedModule richEdit = LoadSystemLibrary(L"riched20.dll");

  wchar_t installerText[InstallerTextChars] = {};
  DWORD n = GetEnvironmentVariableW(L"sfxcmd", installerText, InstallerTextChars);
  if (n >= InstallerTextChars) installerText[0] = 0;
  OpenRequestedLog(commandLine);
  RunRequest request{};
  FindProgram(request);
  LogStart(request.program, commandLine, installerText);
  ParseCommandLine(CommandSource::InstallerText, installerText, request);
  ParseCommandLine(CommandSource::RealCommandLine, commandLine, request);

  int32_t exitCode = ExitDone;
  if (request.setup) exitCode = RunSetup(request);
  if (request.uninstall) exitCode = RunUninstall(request);

  richEdit.Reset();
  if (SUCCEEDED(ole)) OleUninitialize();
  EndRun(exitCode);
  return exitCode;
}
