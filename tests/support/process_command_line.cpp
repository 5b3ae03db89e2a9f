#include "support/process_command_line.h"

#include <windows.h>
#include <tlhelp32.h>
#include <winternl.h>

namespace {

using QueryProcess = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, void*, ULONG, ULONG*);

// The process's own record of how it was started: its block of parameters,
// found through its environment block (PEB).
std::wstring CommandLineOf(DWORD id) {
  auto query = reinterpret_cast<QueryProcess>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
  HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id);
  if (!query || !process) return {};
  std::wstring text;
  PROCESS_BASIC_INFORMATION basic{};
  PEB peb{};
  RTL_USER_PROCESS_PARAMETERS parameters{};
  if (query(process, ProcessBasicInformation, &basic, sizeof basic, nullptr) == 0 &&
      ReadProcessMemory(process, basic.PebBaseAddress, &peb, sizeof peb, nullptr) &&
      ReadProcessMemory(process, peb.ProcessParameters, &parameters, sizeof parameters, nullptr)) {
    text.resize(parameters.CommandLine.Length / sizeof(wchar_t));
    if (!ReadProcessMemory(process, parameters.CommandLine.Buffer, &text[0],
                           parameters.CommandLine.Length, nullptr))
      text.clear();
  }
  CloseHandle(process);
  return text;
}

}  // namespace

std::vector<std::wstring> ChildCommandLines(DWORD parent, const std::wstring& name) {
  std::vector<std::wstring> lines;
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return lines;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
    if (entry.th32ParentProcessID == parent && _wcsicmp(entry.szExeFile, name.c_str()) == 0)
      lines.push_back(CommandLineOf(entry.th32ProcessID));
  CloseHandle(snapshot);
  return lines;
}
