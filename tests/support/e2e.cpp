#include "support/e2e.h"

#include "support/test_files.h"

Installation MakeInstallation(const std::wstring& name) {
  Installation installation;
  installation.folder = L"C:\\Program Files\\" + name;
  RemoveTree(installation.folder);
  CreateDirectoryW(installation.folder.c_str(), nullptr);
  installation.exe = installation.folder + L"\\uninstall.exe";
  wchar_t source[MAX_PATH * 4] = {};
  GetEnvironmentVariableW(L"UNINSTALL_EXE", source, MAX_PATH * 4);
  CopyFileW(source, installation.exe.c_str(), FALSE);
  return installation;
}

namespace {

std::wstring BuildEnvironmentBlock(const Environment& changes) {
  std::vector<std::wstring> entries;
  wchar_t* block = GetEnvironmentStringsW();
  for (const wchar_t* p = block; *p; p += wcslen(p) + 1) {
    std::wstring entry = p;
    bool replaced = false;
    for (const auto& change : changes) {
      std::wstring prefix = change.first + L"=";
      if (CompareStringOrdinal(entry.c_str(), static_cast<int>(prefix.size()), prefix.c_str(),
                               static_cast<int>(prefix.size()), TRUE) == CSTR_EQUAL)
        replaced = true;
    }
    if (!replaced) entries.push_back(entry);
  }
  FreeEnvironmentStringsW(block);
  for (const auto& change : changes)
    if (!change.second.empty()) entries.push_back(change.first + L"=" + change.second);
  std::wstring result;
  for (const auto& entry : entries) result += entry + L'\0';
  result += L'\0';
  return result;
}

}  // namespace

RunResult RunProgram(const std::wstring& exe, const std::wstring& args, const Environment& env,
                     DWORD timeoutMs, const std::function<void(DWORD)>& whileRunning) {
  std::wstring commandLine = L"\"" + exe + L"\"";
  if (!args.empty()) commandLine += L" " + args;
  return RunCommandLine(commandLine, env, timeoutMs, whileRunning);
}

RunResult RunCommandLine(std::wstring commandLine, const Environment& env, DWORD timeoutMs,
                         const std::function<void(DWORD)>& whileRunning) {
  RunResult result;
  std::wstring block = BuildEnvironmentBlock(env);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  DWORD start = GetTickCount();
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT,
                      &block[0], nullptr, &startup, &process))
    return result;
  result.started = true;
  result.processId = process.dwProcessId;
  if (whileRunning) whileRunning(process.dwProcessId);
  result.finished = WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0;
  if (!result.finished) {
    TerminateProcess(process.hProcess, 99);
    WaitForSingleObject(process.hProcess, 5000);
  }
  result.elapsedMs = GetTickCount() - start;
  GetExitCodeProcess(process.hProcess, &result.exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return result;
}

bool WaitForCleanup(const RunResult& run, DWORD timeoutMs) {
  wchar_t temp[MAX_PATH];
  DWORD n = GetTempPathW(MAX_PATH, temp);
  if (n == 0 || n >= MAX_PATH) return false;
  return WaitUntilGone(
      temp + std::wstring(L"Uninstall_Kel.") + std::to_wstring(run.processId) + L".Bat", timeoutMs);
}
