// End-to-end runs of the real program: a stand-in installation folder with
// a copy of build/uninstall.exe, and the program started with chosen
// switches and environment.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

struct Installation {
  std::wstring folder;  // without a trailing backslash
  std::wstring exe;     // folder\uninstall.exe
};

// C:\Program Files\<name> made anew, holding a copy of the program under
// test (its path comes from the environment variable UNINSTALL_EXE).
Installation MakeInstallation(const std::wstring& name);

struct RunResult {
  bool started = false;
  bool finished = false;  // false: still running at the timeout, then ended
  DWORD exitCode = 0;
  DWORD elapsedMs = 0;
  DWORD processId = 0;
};

// Waits until the clean-up batch file of the uninstall `run` has deleted
// itself, its last line: the batch file has then done everything it does.
bool WaitForCleanup(const RunResult& run, DWORD timeoutMs = 60000);

using Environment = std::vector<std::pair<std::wstring, std::wstring>>;

// Runs `exe args` with the given variables added to (or, with an empty
// value, removed from) this process's environment. `whileRunning` is called
// with the child's process id and may drive its windows; the run then waits
// for the child up to `timeoutMs`.
RunResult RunProgram(const std::wstring& exe, const std::wstring& args, const Environment& env = {},
                     DWORD timeoutMs = 60000,
                     const std::function<void(DWORD)>& whileRunning = nullptr);
// The same for a whole command line, as Windows and deployment tools run
// the commands of an uninstall entry.
RunResult RunCommandLine(std::wstring commandLine, const Environment& env = {},
                         DWORD timeoutMs = 60000,
                         const std::function<void(DWORD)>& whileRunning = nullptr);
