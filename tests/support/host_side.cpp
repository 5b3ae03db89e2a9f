#include "support/host_side.h"

#include <windows.h>
#include <tlhelp32.h>

#include <vector>

namespace {

using UnixName = char*(CDECL*)(const wchar_t*);

std::wstring ToUnix(const wchar_t* path) {
  auto convert = reinterpret_cast<UnixName>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (!convert) return {};
  char* name = convert(path);
  if (!name) return {};
  wchar_t wide[4096] = {};
  MultiByteToWideChar(CP_UTF8, 0, name, -1, wide, 4096);
  HeapFree(GetProcessHeap(), 0, name);
  return wide;
}

// The processes of a program, by the name part of its file.
std::vector<DWORD> ProcessesNamed(const std::wstring& name) {
  std::vector<DWORD> found;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return found;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    if (_wcsicmp(entry.szExeFile, name.c_str()) == 0) found.push_back(entry.th32ProcessID);
  CloseHandle(snapshot);
  return found;
}

// Wine starts a host program given by its path on the drive of the root;
// its handle tells nothing of its end.
bool RunHostCommand(std::wstring commandLine) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return false;
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

// The handle of a host program may signal before the program is done.
bool WaitForExistence(const std::wstring& path, bool exists) {
  for (int i = 0; i < 100; ++i) {
    if ((GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) == exists) return true;
    Sleep(50);
  }
  return false;
}

}  // namespace

bool MakeHostLink(const std::wstring& target, const std::wstring& link) {
  std::wstring from = ToUnix(target.c_str());
  std::wstring to = ToUnix(link.c_str());
  return !from.empty() && !to.empty() &&
         RunHostCommand(L"Z:\\bin\\ln -sfn \"" + from + L"\" \"" + to + L"\"") &&
         WaitForExistence(link, true);
}

void RemoveHostLink(const std::wstring& link) {
  std::wstring name = ToUnix(link.c_str());
  if (!name.empty() && RunHostCommand(L"Z:\\bin\\rm -f \"" + name + L"\""))
    WaitForExistence(link, false);
}

RunResult RunFromHost(const std::wstring& exe, const std::wstring& args, unsigned long timeoutMs) {
  RunResult result;
  std::wstring name = exe.substr(exe.rfind(L'\\') + 1);
  std::vector<DWORD> before = ProcessesNamed(name);
  wchar_t loader[MAX_PATH] = L"/usr/bin/wine";
  GetEnvironmentVariableW(L"WINELOADER", loader, MAX_PATH);
  // Through the shell, which gives the loader the name it finds itself by.
  DWORD start = GetTickCount();
  if (!RunHostCommand(L"Z:\\bin\\sh -c \"exec " + std::wstring(loader) + L" '" +
                      ToUnix(exe.c_str()) + L"' " + args + L"\""))
    return result;
  HANDLE process = nullptr;
  while (!process && GetTickCount() - start < 30000) {
    for (DWORD id : ProcessesNamed(name)) {
      bool old = false;
      for (DWORD known : before) old = old || known == id;
      if (!old) process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, id);
      if (process) break;
    }
    if (!process) Sleep(20);
  }
  if (!process) return result;
  result.started = true;
  result.finished = WaitForSingleObject(process, timeoutMs) == WAIT_OBJECT_0;
  result.elapsedMs = GetTickCount() - start;
  GetExitCodeProcess(process, &result.exitCode);
  CloseHandle(process);
  return result;
}
