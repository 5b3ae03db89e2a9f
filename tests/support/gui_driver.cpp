#include "support/gui_driver.h"

namespace {

struct Search {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK FindDialog(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  wchar_t className[64];
  if (owner == search->processId && IsWindowVisible(window) &&
      GetClassNameW(window, className, 64) && wcscmp(className, L"#32770") == 0) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

BOOL CALLBACK CollectStatic(HWND child, LPARAM param) {
  wchar_t className[64];
  if (GetClassNameW(child, className, 64) && _wcsicmp(className, L"Static") == 0) {
    auto* texts = reinterpret_cast<std::wstring*>(param);
    *texts += WindowTextOf(child) + L"\n";
  }
  return TRUE;
}

}  // namespace

HWND WaitForDialog(DWORD processId, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  do {
    Search search{processId, nullptr};
    EnumWindows(FindDialog, reinterpret_cast<LPARAM>(&search));
    if (search.found) return search.found;
    Sleep(50);
  } while (GetTickCount() - start < timeoutMs);
  return nullptr;
}

std::wstring WindowTextOf(HWND window) {
  wchar_t text[4096] = {};
  SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                      5000, nullptr);
  return text;
}

std::wstring StaticTexts(HWND dialog) {
  std::wstring texts;
  EnumChildWindows(dialog, CollectStatic, reinterpret_cast<LPARAM>(&texts));
  return texts;
}

void ClickButton(HWND dialog, int id) { PostMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

std::vector<std::wstring> AnswerBoxes(DWORD processId, int answer) {
  std::vector<std::wstring> shown;
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
  while (process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
    HWND box = WaitForDialog(processId, 500);
    if (!box) continue;
    shown.push_back(StaticTexts(box));
    ClickButton(box, GetDlgItem(box, answer) ? answer : IDOK);
    for (int i = 0; i < 100 && IsWindow(box); ++i) Sleep(100);
  }
  if (process) CloseHandle(process);
  return shown;
}
