#include "support/file_link.h"

#include <windows.h>

namespace {

// Wine's own export: the host name of a Windows path, also of one that is
// not there yet.
std::wstring HostPath(const std::wstring& path) {
  using ToHost = char*(CDECL*)(LPCWSTR);
  auto toHost = reinterpret_cast<ToHost>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
  if (!toHost) return L"";
  char* host = toHost(path.c_str());
  if (!host) return L"";
  wchar_t wide[4096] = {};
  MultiByteToWideChar(CP_UTF8, 0, host, -1, wide, 4096);
  HeapFree(GetProcessHeap(), 0, host);
  return wide;
}

bool IsThere(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Runs a host program; its handle may signal before its work is done, so
// the caller waits until `done` holds, up to ten seconds.
template <typename Done>
bool RunOnHost(std::wstring command, Done done) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  for (int i = 0; i < 200; ++i) {
    if (done()) return true;
    Sleep(50);
  }
  return false;
}

}  // namespace

bool MakeFileLink(const std::wstring& link, const std::wstring& target) {
  std::wstring hostTarget = HostPath(target);
  std::wstring hostLink = HostPath(link);
  return !hostTarget.empty() && !hostLink.empty() &&
         RunOnHost(L"Z:\\bin\\ln -s \"" + hostTarget + L"\" \"" + hostLink + L"\"",
                   [&] { return IsThere(link); });
}

bool RemoveFileLink(const std::wstring& link) {
  std::wstring hostLink = HostPath(link);
  return !hostLink.empty() &&
         RunOnHost(L"Z:\\bin\\rm -f \"" + hostLink + L"\"", [&] { return !IsThere(link); });
}
