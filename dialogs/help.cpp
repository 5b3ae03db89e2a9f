#include "dialogs/help.h"

#include <cwchar>

#include "base/conversion.h"
#include "base/format.h"
#include "base/product.h"
#include "base/program_path.h"
#include "base/run_state.h"
#include "fs/file_ops.h"
#include "fs/path_names.h"
#include "localization/language_module.h"

namespace {

constexpr UINT HH_DISPLAY_TOPIC = 0x0000;
constexpr UINT HH_DISPLAY_TOC = 0x0001;
constexpr UINT HH_CLOSE_ALL = 0x0012;
constexpr unsigned TopicAddressChars = MaxPathChars + 50;

using HtmlHelpFunction = HWND(WINAPI*)(HWND, const wchar_t*, UINT, DWORD_PTR);

struct HelpState {
  LoadedModule library;
  HtmlHelpFunction htmlHelp = nullptr;
  wchar_t path[MaxPathChars] = {};
  bool shortPathTried = false;
};

HelpState help;

// The help file beside `programPath`, or its copy in the language folder.
void SetHelpFilePath(const wchar_t* programPath) {
  BoundedCopy(help.path, programPath, MaxPathChars);
  ReplaceNamePart(help.path, HelpFileName, MaxPathChars);
  FindInLanguageFolder(help.path, help.path, MaxPathChars);
}

// HTML Help opens files by their ANSI names. A path with characters the
// ANSI code page lacks is tried once more through the short form of the
// program's folder.
bool CanRetryWithShortPath() {
  char narrow[MaxPathChars];
  wchar_t wide[MaxPathChars];
  ToNarrow(help.path, narrow, MaxPathChars);
  ToWide(narrow, wide, MaxPathChars);
  if (std::wcscmp(wide, help.path) == 0) return false;
  wchar_t programPath[MaxPathChars];
  GetProgramPath(programPath, MaxPathChars);
  wchar_t shortPath[MaxPathChars] = {};
  DWORD n = GetShortPathNameW(programPath, shortPath, MaxPathChars);
  SetHelpFilePath(n > 0 && n < MaxPathChars && shortPath[0] ? shortPath : programPath);
  return true;
}

}  // namespace

HWND ShowHelp(const wchar_t* topic) {
  HWND owner = GetDesktopWindow();
  // Only the system's own copy of the control is ever loaded.
  if (!help.library) help.library = LoadSystemLibrary(L"hhctrl.ocx");
  if (!help.htmlHelp) {
    if (!help.library) return nullptr;
    help.htmlHelp = reinterpret_cast<HtmlHelpFunction>(
        reinterpret_cast<void*>(GetProcAddress(help.library.Get(), "HtmlHelpW")));
    wchar_t programPath[MaxPathChars];
    GetProgramPath(programPath, MaxPathChars);
    SetHelpFilePath(programPath);
    if (!help.htmlHelp) return nullptr;
  }
  HWND window;
  if (topic) {
    wchar_t address[TopicAddressChars];
    FormatText(address, TopicAddressChars, L"%s::/html/%s.htm", help.path, topic);
    window = help.htmlHelp(owner, address, HH_DISPLAY_TOPIC, 0);
  } else {
    window = help.htmlHelp(owner, help.path, HH_DISPLAY_TOC, 0);
  }
  if (window || help.shortPathTried) return window;
  help.shortPathTried = true;
  if (!CanRetryWithShortPath()) return nullptr;
  return ShowHelp(topic);
}

void CloseHelp() {
  if (!help.htmlHelp) return;
  help.htmlHelp(nullptr, nullptr, HH_CLOSE_ALL, 0);
  help.library.Reset();
  help.htmlHelp = nullptr;
}

const wchar_t* HelpFilePathForTesting() { return help.path; }

void ResetHelpForTesting() {
  CloseHelp();
  help.library.Reset();
  help.path[0] = 0;
  help.shortPathTried = false;
}
