// Times other programs from inside the prefix, so that every contender pays
// the same process start: until the program ends, or until it shows its
// first dialog (a message box is one too). Also the floor of removal: a bare
// walk that deletes a tree.
//
//   bench_stopwatch exit COMMAND     seconds until COMMAND has ended, and its
//                                    exit code
//   bench_stopwatch window COMMAND   seconds until COMMAND shows a dialog,
//                                    and its title; the program is then
//                                    ended by force
//   bench_stopwatch walk FOLDER      deletes FOLDER and all it holds
// COMMAND is one argument, the whole command line of the program to start.
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "base/win_handles.h"

namespace {

constexpr double WindowTimeoutSeconds = 60;
constexpr size_t CommandChars = 32768;
constexpr size_t PathChars = 2048;
// Message boxes and dialogs alike.
constexpr wchar_t DialogClass[] = L"#32770";

double Seconds() {
  LARGE_INTEGER counter, frequency;
  QueryPerformanceCounter(&counter);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// The started program and whatever it leaves running (an uninstall's batch
// file) write to NUL: they must not hold the caller's pipes open.
bool Start(const wchar_t* command, KernelHandle& process, DWORD& processId) {
  wchar_t line[CommandChars];
  if (wcslen(command) >= CommandChars) return false;
  wcscpy(line, command);
  SECURITY_ATTRIBUTES inherited = {sizeof inherited, nullptr, TRUE};
  FileHandle nul(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited, OPEN_EXISTING, 0,
                             nullptr));
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = startup.hStdOutput = startup.hStdError = nul.Get();
  PROCESS_INFORMATION info;
  if (!CreateProcessW(nullptr, line, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &info)) {
    fprintf(stderr, "cannot start %ls (error %lu)\n", command, GetLastError());
    return false;
  }
  CloseHandle(info.hThread);
  process.Reset(info.hProcess);
  processId = info.dwProcessId;
  return true;
}

struct WindowSearch {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK CheckWindow(HWND window, LPARAM context) {
  auto* search = reinterpret_cast<WindowSearch*>(context);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
  wchar_t className[16];
  if (!GetClassNameW(window, className, 16) || wcscmp(className, DialogClass)) return TRUE;
  search->found = window;
  return FALSE;
}

int TimeUntilExit(const wchar_t* command) {
  KernelHandle process;
  DWORD processId;
  double start = Seconds();
  if (!Start(command, process, processId)) return 1;
  WaitForSingleObject(process.Get(), INFINITE);
  double elapsed = Seconds() - start;
  DWORD code = 0;
  GetExitCodeProcess(process.Get(), &code);
  printf("%.3f %lu\n", elapsed, code);
  return 0;
}

int TimeUntilWindow(const wchar_t* command) {
  KernelHandle process;
  WindowSearch search = {0, nullptr};
  double start = Seconds();
  if (!Start(command, process, search.processId)) return 1;
  double elapsed = 0;
  while (elapsed < WindowTimeoutSeconds) {
    EnumWindows(CheckWindow, reinterpret_cast<LPARAM>(&search));
    elapsed = Seconds() - start;
    if (search.found || WaitForSingleObject(process.Get(), 1) == WAIT_OBJECT_0) break;
  }
  wchar_t title[128] = L"";
  if (search.found) GetWindowTextW(search.found, title, 128);
  TerminateProcess(process.Get(), 0);
  WaitForSingleObject(process.Get(), INFINITE);
  if (!search.found) {
    fprintf(stderr, "%ls showed no dialog\n", command);
    return 1;
  }
  printf("%.3f %ls\n", elapsed, title);
  return 0;
}

// folder holds `length` characters and has room for PathChars.
void RemoveTree(wchar_t* folder, size_t length) {
  if (length + 3 > PathChars) return;
  wcscpy(folder + length, L"\\*");
  WIN32_FIND_DATAW data;
  FindHandle find(FindFirstFileW(folder, &data));
  if (find) {
    do {
      const wchar_t* name = data.cFileName;
      if (!wcscmp(name, L".") || !wcscmp(name, L"..")) continue;
      size_t nameLength = wcslen(name);
      if (length + 1 + nameLength + 1 > PathChars) continue;
      wcscpy(folder + length + 1, name);
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        RemoveTree(folder, length + 1 + nameLength);
      else
        DeleteFileW(folder);
    } while (FindNextFileW(find.Get(), &data));
  }
  folder[length] = 0;
  RemoveDirectoryW(folder);
}

int Walk(const wchar_t* folder) {
  wchar_t path[PathChars];
  size_t length = wcslen(folder);
  if (!length || length >= PathChars) return 1;
  wcscpy(path, folder);
  RemoveTree(path, length);
  return GetFileAttributesW(folder) == INVALID_FILE_ATTRIBUTES ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: bench_stopwatch exit|window COMMAND | walk FOLDER\n");
    return 2;
  }
  if (!wcscmp(argv[1], L"exit")) return TimeUntilExit(argv[2]);
  if (!wcscmp(argv[1], L"window")) return TimeUntilWindow(argv[2]);
  if (!wcscmp(argv[1], L"walk")) return Walk(argv[2]);
  fprintf(stderr, "unknown mode %ls\n", argv[1]);
  return 2;
}
