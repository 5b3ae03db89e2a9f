// Drives the program's windows from a test: finds a dialog or message box
// of a process, reads its texts and presses its buttons.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The first visible dialog-class window (#32770) of the process, waited for
// up to `timeoutMs`; nullptr when none appeared.
HWND WaitForDialog(DWORD processId, DWORD timeoutMs);
// The texts of the window's static controls, each followed by a line break.
std::wstring StaticTexts(HWND dialog);
std::wstring WindowTextOf(HWND window);
// Posts a click to a button; posting keeps the test from blocking on a
// modal window that the click may open.
void ClickButton(HWND dialog, int id);
// Answers every message box of the process until it ends: `answer` where
// the box has that button, else OK. Returns the static texts of each box.
std::vector<std::wstring> AnswerBoxes(DWORD processId, int answer);
