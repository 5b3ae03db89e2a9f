#include "dialog_template.h"

DialogTemplate::DialogTemplate(DWORD style, const wchar_t* caption, short width, short height) {
  PutDword(style | DS_SETFONT);
  PutDword(0);
  words_.push_back(0);  // control count, kept up to date by Add
  words_.push_back(10);
  words_.push_back(10);
  words_.push_back(static_cast<WORD>(width));
  words_.push_back(static_cast<WORD>(height));
  words_.push_back(0);  // no menu
  words_.push_back(0);  // the standard dialog class
  Put(caption);
  words_.push_back(8);
  Put(L"MS Shell Dlg");
}

DialogTemplate& DialogTemplate::Add(ControlClass kind, WORD id, const wchar_t* text, short x,
                                    short y, short width, short height, DWORD style) {
  Align();
  PutDword(style | WS_CHILD | WS_VISIBLE);
  PutDword(0);
  for (short v : {x, y, width, height}) words_.push_back(static_cast<WORD>(v));
  words_.push_back(id);
  words_.push_back(0xFFFF);
  words_.push_back(static_cast<WORD>(kind));
  Put(text);
  words_.push_back(0);  // no creation data
  ++words_[4];
  return *this;
}

void DialogTemplate::Put(const wchar_t* text) {
  do words_.push_back(static_cast<WORD>(*text));
  while (*text++);
}

void DialogTemplate::PutDword(DWORD value) {
  words_.push_back(static_cast<WORD>(value & 0xFFFF));
  words_.push_back(static_cast<WORD>(value >> 16));
}

void DialogTemplate::Align() {
  if (words_.size() % 2) words_.push_back(0);
}

HWND CreateTestDialog(const DialogTemplate& tpl, DLGPROC procedure, const wchar_t* name) {
  return CreateDialogIndirectParamW(GetModuleHandleW(nullptr), tpl.Get(), nullptr, procedure,
                                    reinterpret_cast<LPARAM>(name));
}

RECT ChildPlace(HWND dialog, HWND child) {
  RECT r, client;
  GetWindowRect(child, &r);
  GetClientRect(dialog, &client);
  POINT origin = {0, 0};
  ClientToScreen(dialog, &origin);
  bool mirrored = GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_LAYOUTRTL;
  // ClientToScreen of a mirrored window gives its right edge.
  if (mirrored) origin.x -= client.right;
  return RECT{r.left - origin.x, r.top - origin.y, r.right - origin.x, r.bottom - origin.y};
}
