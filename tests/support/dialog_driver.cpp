#include "support/dialog_driver.h"

#include "support/gui_driver.h"

namespace {

struct Search {
  DWORD processId;
  const std::function<bool(HWND)>* accept;
  HWND found;
};

bool BelongsTo(HWND window, DWORD processId) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  return owner == processId;
}

BOOL CALLBACK FindDialog(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  wchar_t className[64];
  if (BelongsTo(window, search->processId) && IsWindowVisible(window) &&
      GetClassNameW(window, className, 64) && wcscmp(className, L"#32770") == 0 &&
      (*search->accept)(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK FindVisible(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  if (BelongsTo(window, search->processId) && IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

LRESULT Send(HWND dialog, int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(GetDlgItem(dialog, id), message, wParam, lParam, SMTO_ABORTIFHUNG, 10000,
                      &result);
  return static_cast<LRESULT>(result);
}

}  // namespace

HWND WaitForDialogWhere(DWORD processId, const std::function<bool(HWND)>& accept, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  do {
    Search search{processId, &accept, nullptr};
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    Sleep(50);
  } while (GetTickCount() - start < timeoutMs);
  return nullptr;
}

HWND WaitForDialogWith(DWORD processId, int controlId, DWORD timeoutMs) {
  return WaitForDialogWhere(
      processId, [controlId](HWND dialog) { return GetDlgItem(dialog, controlId) != nullptr; },
      timeoutMs);
}

bool IsChecked(HWND dialog, int id) { return Send(dialog, id, BM_GETCHECK) == BST_CHECKED; }

bool IsControlEnabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)); }

std::wstring ControlText(HWND dialog, int id) { return WindowTextOf(GetDlgItem(dialog, id)); }

void SetControlText(HWND dialog, int id, const std::wstring& text) {
  Send(dialog, id, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

RECT ControlRect(HWND dialog, int id) {
  RECT rect{};
  GetWindowRect(GetDlgItem(dialog, id), &rect);
  return rect;
}

LONG ExtendedStyleOf(HWND window) { return GetWindowLongW(window, GWL_EXSTYLE); }

void ClickAndWait(HWND dialog, int id) { Send(dialog, id, BM_CLICK); }

bool ShowsAnyWindow(DWORD processId, DWORD timeoutMs) {
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
  if (!process) return false;
  bool shown = false;
  DWORD start = GetTickCount();
  while (!shown && GetTickCount() - start < timeoutMs) {
    Search search{processId, nullptr, nullptr};
    EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&search));
    shown = search.found != nullptr;
    if (WaitForSingleObject(process, 10) == WAIT_OBJECT_0) break;
  }
  CloseHandle(process);
  return shown;
}
