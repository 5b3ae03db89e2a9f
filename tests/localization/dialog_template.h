// Dialog templates built in memory, so that tests can make real dialogs of
// any shape without resources.
#pragma once

#include <windows.h>

#include <vector>

enum class ControlClass : WORD { Button = 0x80, Edit = 0x81, Static = 0x82, ComboBox = 0x85 };

class DialogTemplate {
 public:
  // The font is set (DS_SETFONT), so the dialog gets WM_SETFONT.
  DialogTemplate(DWORD style, const wchar_t* caption, short width, short height);
  DialogTemplate& Add(ControlClass kind, WORD id, const wchar_t* text, short x, short y,
                      short width, short height, DWORD style = 0);
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  void Put(const wchar_t* text);
  void PutDword(DWORD value);
  void Align();
  std::vector<WORD> words_;
};

// A modeless dialog from `tpl` whose procedure passes every message to
// `procedure`, with `name` as the creation parameter.
HWND CreateTestDialog(const DialogTemplate& tpl, DLGPROC procedure, const wchar_t* name);

// The client-area rectangle of a child, in its dialog's client coordinates
// as seen on the screen (left stays left in a mirrored dialog).
RECT ChildPlace(HWND dialog, HWND child);
