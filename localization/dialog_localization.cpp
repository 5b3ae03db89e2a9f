#include "localization/dialog_localization.h"

#include <algorithm>
#include <cstdint>
#include <cwchar>

#include "base/conversion.h"
#include "base/run_state.h"
#include "localization/language_file.h"

namespace {

constexpr unsigned ScaleEntryChars = 512;
constexpr unsigned WindowTextChars = 1024;
constexpr unsigned MaxChildren = 512;
constexpr UINT PlacementFlags = SWP_NOZORDER | SWP_NOOWNERZORDER;

int WindowStyle(HWND window) { return GetWindowLongW(window, GWL_STYLE); }

// value * percent / 100. The percentages come from a file anyone can edit:
// the product is taken in 64 bits and kept within the coordinates a window
// can have.
int Scale(int value, int percent) {
  int64_t scaled = int64_t{value} * percent / 100;
  return static_cast<int>(std::min<int64_t>(std::max<int64_t>(scaled, -32768), 32767));
}

// A combo box with a list that drops down takes the list's height too, or
// the list would open no taller than the closed box.
bool HasDropDownList(HWND control) {
  wchar_t className[MaxPathChars];
  if (!GetClassNameW(control, className, MaxPathChars)) return false;
  return CompareNoCase(className, L"COMBOBOX") == 0 && (WindowStyle(control) & 3) != CBS_SIMPLE;
}

void TranslateWindowText(HWND window, const wchar_t* dialogName) {
  wchar_t text[WindowTextChars] = {};
  GetWindowTextW(window, text, WindowTextChars);
  // An empty text would find the dialog's size entry, whose key is that of
  // an empty text.
  if (!text[0]) return;
  TranslateText(text, text, WindowTextChars, TextKind::DialogText, dialogName);
  SetWindowTextW(window, text);
}

struct DialogFrame {
  RECT window;
  int frameWidth;      // fx: the window's width + 1 less the client width
  int frameHeightTop;  // fy2: the frame above the client area, roughly
  bool mirrored;
};

void ScaleChild(HWND child, const DialogFrame& frame, int sx, int sy) {
  RECT r;
  GetWindowRect(child, &r);
  // In a mirrored dialog client positions count from the right edge.
  int fromEdge = frame.mirrored ? frame.window.right - r.right : r.left - frame.window.left;
  int cx = Scale(fromEdge - frame.frameWidth / 2, sx);
  int cy = Scale(r.top - frame.frameHeightTop - frame.window.top, sy);
  int cw = Scale(r.right - r.left + 1, sx);
  int ch = Scale(r.bottom - r.top + 1, sy);
  if (HasDropDownList(child)) {
    RECT list = {};
    SendMessageW(child, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&list));
    ch += Scale(list.bottom - list.top + 1, sy);
  }
  SetWindowPos(child, nullptr, cx, cy, cw, ch, PlacementFlags);
}

}  // namespace

bool GetDialogScale(const wchar_t* dialogName, int& widthPercent, int& heightPercent) {
  wchar_t entry[ScaleEntryChars];
  TranslateText(L"", entry, ScaleEntryChars, TextKind::DialogText, dialogName);
  widthPercent = heightPercent = 100;
  if (const wchar_t* star = std::wcschr(entry, L'*')) {
    widthPercent = static_cast<int>(ParseNumber(entry));
    heightPercent = static_cast<int>(ParseNumber(star + 1));
  }
  return widthPercent != 100 || heightPercent != 100;
}

void LocalizeDialog(HWND dialog, const wchar_t* dialogName) {
  int sx = 100, sy = 100;
  bool scaled = GetDialogScale(dialogName, sx, sy);
  RECT w, k;
  GetWindowRect(dialog, &w);
  GetClientRect(dialog, &k);
  int width1 = w.right - w.left + 1, height1 = w.bottom - w.top + 1;
  int fx = width1 - k.right, fy = height1 - k.bottom;
  if (scaled) {
    int nw = Scale(k.right, sx) + fx, nh = Scale(k.bottom, sy) + fy;
    int x = w.left + (width1 - nw) / 2, y = w.top + (height1 - nh) / 2;
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    // A centred dialog stays centred on its old place; any other keeps its
    // top-left corner.
    UINT flags = PlacementFlags | ((WindowStyle(dialog) & DS_CENTER) ? 0 : SWP_NOMOVE);
    SetWindowPos(dialog, nullptr, x, y, nw, nh, flags);
    GetWindowRect(dialog, &w);
  }
  TranslateWindowText(dialog, dialogName);
  DialogFrame frame{w, fx, fy - GetSystemMetrics(SM_CYDLGFRAME),
                    (GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0};
  HWND first = GetWindow(dialog, GW_CHILD);
  unsigned count = 0;
  for (HWND child = first; child && count < MaxChildren; ++count) {
    TranslateWindowText(child, dialogName);
    if (scaled) ScaleChild(child, frame, sx, sy);
    child = GetWindow(child, GW_HWNDNEXT);
    if (child == first) break;
  }
}

void ApplyRightToLeft(HWND window) {
  if (!IsRightToLeft()) return;
  SetWindowLongW(window, GWL_EXSTYLE, GetWindowLongW(window, GWL_EXSTYLE) | WS_EX_LAYOUTRTL);
}
