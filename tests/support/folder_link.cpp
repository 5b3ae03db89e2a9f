#include "support/folder_link.h"

#include <windows.h>

#include <cstring>

namespace {

// Wine's own export: the host name of a Windows path.
std::wstring HostPath(const std::wstring& path) {
  using ToHost = char*(CDECL*)(LPCWSTR);
  auto toHost = reinterpret_cast<ToHost>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
  if (!toHost) return L"";
  char* host = toHost(path.c_str());
  if (!host) return L"";
  std::wstring wide(host, host + strlen(host));
  HeapFree(GetProcessHeap(), 0, host);
  return wide;
}

// Starts a host program (Wine starts them like Windows programs). Its
// process handle may be signalled before the host program has done its
// work, so the caller waits for the result itself.
bool StartHost(const wchar_t* program, const std::wstring& arguments) {
  std::wstring command = L"\"" + std::wstring(program) + L"\" " + arguments;
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(program, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

// Waits up to ten seconds until `done` holds.
template <typename Done>
bool WaitFor(Done done) {
  for (int i = 0; i < 200; ++i) {
    if (done()) return true;
    Sleep(50);
  }
  return false;
}

bool IsLink(const std::wstring& path) {
  DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

}  // namespace

bool MakeFolderLink(const std::wstring& link, const std::wstring& target) {
  std::wstring hostTarget = HostPath(target);
  std::wstring hostLink = HostPath(link);
  return !hostTarget.empty() && !hostLink.empty() &&
         StartHost(L"Z:\\bin\\ln", L"-s " + Quoted(hostTarget) + L" " + Quoted(hostLink)) &&
         WaitFor([&] { return IsLink(link); });
}

bool RemoveFolderLink(const std::wstring& link) {
  std::wstring hostLink = HostPath(link);
  return !hostLink.empty() && StartHost(L"Z:\\bin\\rm", L"-f " + Quoted(hostLink)) &&
         WaitFor([&] { return GetFileAttributesW(link.c_str()) == INVALID_FILE_ATTRIBUTES; });
}
