#include "app/shared/message_box.h"

#include "app/shared/run_state.h"

int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style) {
  if (IsRightToLeft()) style |= MB_RIGHT | MB_RTLREADING;
  return MessageBoxW(owner, text, caption, style);
}
