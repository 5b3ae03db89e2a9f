#include "support/restart_list.h"

#include <windows.h>

namespace {

const wchar_t SessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";
const wchar_t PendingValue[] = L"PendingFileRenameOperations";

}  // namespace

std::vector<std::wstring> ScheduledForRestart() {
  std::vector<std::wstring> names;
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, SessionManager, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return names;
  std::vector<wchar_t> data(65536);
  DWORD size = static_cast<DWORD>((data.size() - 2) * sizeof(wchar_t));
  if (RegQueryValueExW(key, PendingValue, nullptr, nullptr, reinterpret_cast<BYTE*>(data.data()),
                       &size) == ERROR_SUCCESS) {
    // Pairs of source and target; an empty target means deletion.
    for (const wchar_t* p = data.data(); *p;) {
      std::wstring source = p;
      p += source.size() + 1;
      std::wstring target = p;
      p += target.size() + 1;
      if (source.compare(0, 4, L"\\??\\") == 0) source.erase(0, 4);
      if (target.empty()) names.push_back(source);
    }
  }
  RegCloseKey(key);
  return names;
}

void ClearScheduledForRestart() {
  HKEY key;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, SessionManager, 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS)
    return;
  RegDeleteValueW(key, PendingValue);
  RegCloseKey(key);
}
