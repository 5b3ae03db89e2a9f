#include "support/restart_list.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <optional>

#include "support/test_registry.h"

namespace {

const wchar_t SessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";
const wchar_t PendingValue[] = L"PendingFileRenameOperations";

}  // namespace

std::vector<std::wstring> ScheduledForRestart() {
  std::vector<std::wstring> names;
  std::optional<RegistryData> value =
      RegistryValue(HKEY_LOCAL_MACHINE, SessionManager, PendingValue);
  if (!value) return names;
  std::wstring text(value->bytes.size() / sizeof(wchar_t), L'\0');
  if (!text.empty()) memcpy(&text[0], value->bytes.data(), text.size() * sizeof(wchar_t));
  size_t at = 0;
  auto next = [&] {
    size_t end = std::min(text.find(L'\0', at), text.size());
    std::wstring part = text.substr(at, end - at);
    at = std::min(end + 1, text.size());
    return part;
  };
  // Pairs of source and target; an empty target means deletion.
  for (std::wstring source = next(); !source.empty(); source = next()) {
    std::wstring target = next();
    if (source.compare(0, 4, L"\\??\\") == 0) source.erase(0, 4);
    if (target.empty()) names.push_back(source);
  }
  return names;
}

void ClearScheduledForRestart() {
  DeleteRegistryValue(HKEY_LOCAL_MACHINE, SessionManager, PendingValue);
}
