#include "dialogs/done_dialog.h"

#include <shellapi.h>

#include <cwchar>

#include "base/best_effort.h"
#include "base/program_path.h"
#include "base/run_state.h"
#include "base/win_handles.h"
#include "dialogs/common.h"
#include "dialogs/dialog_templates.h"
#include "dialogs/help.h"
#include "fs/path_names.h"
#include "localization/language_module.h"
#include "localization/messages.h"
#include "resources/resource_ids.h"

namespace {

constexpr wchar_t DialogName[] = L"DONEDLG";
constexpr wchar_t LicenseName[] = L"license.txt";
constexpr const wchar_t* WebSchemes[] = {L"HTTP://", L"HTTPS://"};
// Characters that no address holds unescaped, and that a command line or
// the shell would read as their own.
constexpr wchar_t NotInAddresses[] = L"\"<>\\^`{|}";
constexpr wchar_t NotInNames[] = L"<>:\"/\\|?*";
constexpr const wchar_t* DeviceNames[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
constexpr const wchar_t* NumberedDevices[] = {L"COM", L"LPT"};
constexpr size_t NumberedDeviceChars = 3;

void Open(const wchar_t* document) {
  BestEffort(ShellExecuteW(nullptr, L"open", document, nullptr, L"", SW_SHOWNORMAL));
}

// The folder the program lies in, whatever folder the installer started it
// from; empty when its path is unknown or too long to be whole.
void GetProgramFolder(wchar_t* folder) {
  unsigned length = GetProgramPath(folder, MaxPathChars);
  if (length == 0 || length + 1 >= MaxPathChars || !FindNamePart(folder)[0]) {
    folder[0] = 0;
    return;
  }
  RemoveNamePart(folder);
}

// Compares the first `length` characters of `text`, which may be shorter,
// with an upper-case ASCII text.
bool SameAsciiNoCase(const wchar_t* text, const wchar_t* upper, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    wchar_t c = text[i] >= L'a' && text[i] <= L'z' ? static_cast<wchar_t>(text[i] - 32) : text[i];
    if (c != upper[i]) return false;
  }
  return true;
}

size_t SchemeLength(const wchar_t* text) {
  for (const wchar_t* scheme : WebSchemes) {
    size_t length = wcslen(scheme);
    if (SameAsciiNoCase(text, scheme, length)) return length;
  }
  return 0;
}

bool IsWebAddress(const wchar_t* text) {
  size_t start = SchemeLength(text);
  if (start == 0 || text[start] == 0 || text[start] == L'/') return false;
  for (const wchar_t* c = text + start; *c; ++c)
    if (*c <= L' ' || *c >= 0x7F || wcschr(NotInAddresses, *c)) return false;
  return true;
}

// Windows opens a device for these names, with any extension and blanks
// before it.
bool IsDeviceName(const wchar_t* name) {
  size_t length = 0;
  while (name[length] && name[length] != L'.') ++length;
  while (length > 0 && name[length - 1] == L' ') --length;
  for (const wchar_t* device : DeviceNames)
    if (wcslen(device) == length && SameAsciiNoCase(name, device, length)) return true;
  if (length != NumberedDeviceChars + 1) return false;
  wchar_t number = name[NumberedDeviceChars];
  bool isDigit = (number >= L'0' && number <= L'9') || number == L'\u00B9' || number == L'\u00B2' ||
                 number == L'\u00B3';
  for (const wchar_t* device : NumberedDevices)
    if (isDigit && SameAsciiNoCase(name, device, NumberedDeviceChars)) return true;
  return false;
}

// One name of a file in a folder: no folder, drive, share or stream of its
// own, and nothing that Windows would cut from its end ("..", "a.").
bool IsPlainFileName(const wchar_t* name) {
  size_t length = wcslen(name);
  if (length == 0 || name[length - 1] == L'.' || name[length - 1] == L' ') return false;
  for (const wchar_t* c = name; *c; ++c)
    if (*c < L' ' || wcschr(NotInNames, *c)) return false;
  return !IsDeviceName(name);
}

// A translated licence in the language folder is preferred.
void OpenLicense() {
  wchar_t path[MaxPathChars];
  GetProgramFolder(path);
  if (!path[0]) return;
  AddTrailingSeparator(path, MaxPathChars);
  BoundedAppend(path, LicenseName, MaxPathChars);
  FindInLanguageFolder(path, path, MaxPathChars);
  Open(path);
}

void OpenDocument() {
  wchar_t document[MaxPathChars];
  if (ResolveDoneDocument(LoadMessage(IDS_DONE_DOCUMENT), document, MaxPathChars)) Open(document);
}

HFONT CreateHeadingFont() {
  return CreateFontW(ScaleForDpi(-12), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET,
                     OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                     DEFAULT_PITCH | FF_DONTCARE, L"MS Shell Dlg");
}

void InitDoneDialog(HWND dialog, HFONT headingFont) {
  SendMessageW(dialog, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(ProductIcon()));
  SendDlgItemMessageW(dialog, IDC_DONE_HEADING, WM_SETFONT, reinterpret_cast<WPARAM>(headingFont),
                      0);
  wchar_t folder[MaxPathChars];
  GetProgramFolder(folder);
  SetDlgItemTextW(dialog, IDC_DONE_FOLDER, folder);
}

}  // namespace

bool ResolveDoneDocument(const wchar_t* document, wchar_t* target, size_t capacity) {
  // A cut name is another name.
  size_t length = wcslen(document);
  if (IsWebAddress(document)) {
    if (length >= capacity) return false;
    BoundedCopy(target, document, capacity);
    return true;
  }
  if (!IsPlainFileName(document)) return false;
  wchar_t folder[MaxPathChars];
  GetProgramFolder(folder);
  if (!folder[0]) return false;
  AddTrailingSeparator(folder, MaxPathChars);
  if (wcslen(folder) + length >= capacity) return false;
  BoundedCopy(target, folder, capacity);
  BoundedAppend(target, document, capacity);
  return true;
}

void ShowDoneDialog() {
  // The font lives as long as the dialog that draws with it.
  GdiObject headingFont(CreateHeadingFont());
  ShowTemplateDialog(DialogName, nullptr, DoneDialogProc,
                     reinterpret_cast<LPARAM>(headingFont.Get()));
}

INT_PTR CALLBACK DoneDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (HandleCommonDialogMessage(dialog, message, wParam, lParam, DialogName, nullptr)) return TRUE;
  if (message == WM_INITDIALOG) {
    InitDoneDialog(dialog, reinterpret_cast<HFONT>(lParam));
    return TRUE;
  }
  if (message != WM_COMMAND) return FALSE;
  switch (LOWORD(wParam)) {
    case IDOK:
    case IDCANCEL:
      EndDialog(dialog, 1);
      break;
    case IDC_DONE_HELP:
      ShowHelp(nullptr);
      break;
    case IDC_DONE_LICENSE:
      OpenLicense();
      break;
    case IDC_DONE_DOCUMENT:
      OpenDocument();
      break;
    default:
      break;
  }
  return TRUE;
}
