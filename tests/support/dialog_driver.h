// More of driving another process's dialogs: finding one dialog among
// several by what it holds, reading and clicking check boxes, and watching
// that a process shows no window at all.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

// The first visible dialog-class window (#32770) of the process that
// `accept` takes, waited for up to `timeoutMs`; nullptr when none came.
HWND WaitForDialogWhere(DWORD processId, const std::function<bool(HWND)>& accept, DWORD timeoutMs);
// The visible dialog of the process that holds a control with `controlId`.
HWND WaitForDialogWith(DWORD processId, int controlId, DWORD timeoutMs);

bool IsChecked(HWND dialog, int id);
bool IsControlEnabled(HWND dialog, int id);
std::wstring ControlText(HWND dialog, int id);
void SetControlText(HWND dialog, int id, const std::wstring& text);
// The control's place on the screen.
RECT ControlRect(HWND dialog, int id);
LONG ExtendedStyleOf(HWND window);

// Clicks a button and returns once the click has been handled; only for
// clicks that open no modal window (ClickButton posts for those).
void ClickAndWait(HWND dialog, int id);

// Watches the process until it ends (at most `timeoutMs`); true when any
// visible window of it appeared meanwhile.
bool ShowsAnyWindow(DWORD processId, DWORD timeoutMs);
