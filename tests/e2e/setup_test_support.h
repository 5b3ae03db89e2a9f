// What the end-to-end tests of the setup run share: telling the program's
// windows apart from here, closing what a confirmed setup shows, and
// taking back what it wrote, since the tests after these share the prefix.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "support/dialog_driver.h"
#include "support/gui_driver.h"
#include "support/test_registry.h"

constexpr wchar_t UninstallEntryKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelodra archiver";
constexpr wchar_t AppPathsKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Pelodra.exe";

// Every key a setup run may write, kept as it is now and put back on
// destruction; the shortcuts and program groups it may make are deleted.
class SetupTraces {
 public:
  SetupTraces();
  ~SetupTraces();
  SetupTraces(const SetupTraces&) = delete;
  SetupTraces& operator=(const SetupTraces&) = delete;

 private:
  std::vector<std::unique_ptr<SavedRegistryKey>> kept_;
};

// The product's shortcut on either desktop.
bool DesktopShortcutExists();
bool StartMenuShortcutExists();
// The program group of the user or of all users.
std::wstring ProgramGroup();

// Waits for a folder window of Explorer (any process) titled `title`, and
// closes it; false when none came within `timeoutMs`.
bool CloseFolderWindow(const wchar_t* title, DWORD timeoutMs);

inline bool RunsUnderWow64() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

// The done dialog shares some control numbers with the setup dialog.
inline bool IsDoneDialog(HWND window) {
  return GetDlgItem(window, IDC_DONE_HEADING) && !GetDlgItem(window, IDC_EXPLANATION);
}

// The setup dialog while no other dialog is open over it.
inline bool IsSetupDialogInFront(HWND window) {
  return GetDlgItem(window, IDC_EXPLANATION) && IsWindowEnabled(window);
}

// A window that is none of the program's dialogs: a message box.
inline bool IsMessageBox(HWND window) {
  return !GetDlgItem(window, IDC_EXPLANATION) && !GetDlgItem(window, IDC_ALWAYS_ARCHIVE) &&
         !GetDlgItem(window, IDC_DONE_HEADING);
}

// After a confirmed setup: the done dialog, then, on 64-bit Windows only,
// the note about the 64-bit shell extension.
inline void CloseDoneDialogs(DWORD process, std::wstring* folderShown = nullptr) {
  HWND done = WaitForDialogWhere(process, IsDoneDialog, 30000);
  ASSERT_NE(done, nullptr) << "no done dialog";
  if (folderShown) *folderShown = ControlText(done, IDC_DONE_FOLDER);
  ClickButton(done, IDOK);
  if (!RunsUnderWow64()) return;
  HWND note = WaitForDialogWhere(process, IsMessageBox, 30000);
  ASSERT_NE(note, nullptr) << "no note about 64-bit Windows";
  EXPECT_NE(StaticTexts(note).find(L"64-bit"), std::wstring::npos);
  ClickButton(note, IDOK);
}
