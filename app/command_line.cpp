#include "app/command_line.h"

#include <windows.h>

#include "base/best_effort.h"
#include "base/conversion.h"
#include "base/format.h"
#include "base/log.h"
#include "base/message_box.h"
#include "base/product.h"
#include "base/program_path.h"
#include "base/run_state.h"
#include "fs/file_ops.h"
#include "fs/log_file.h"
#include "fs/path_names.h"
#include "localization/language_module.h"
#include "localization/messages.h"
#include "resources/resource_ids.h"

namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

bool IsAsciiLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

enum class Switch { Setup, Msi, Init, Wait, NoExplorer, Warning };

struct Keyword {
  const wchar_t* text;
  size_t compared;
  Switch action;
};

// Compared in this order over the given number of characters; the first
// match acts.
constexpr Keyword Keywords[] = {
    {L"setup", 5, Switch::Setup},
    {L"msi", 3, Switch::Msi},
    {L"init", 4, Switch::Init},
    {L"wait", 4, Switch::Wait},
    {L"noexplorer", 4, Switch::NoExplorer},
    {L"warning", 7, Switch::Warning},
};

// The log switch names where to log and changes nothing else: it is no
// switch that means "no uninstall".
constexpr wchar_t LogKeyword[] = L"log=";
constexpr size_t LogKeywordChars = 4;
constexpr size_t LogNameOffset = 1 + LogKeywordChars;
// Room for every name the program's path buffers hold, and one character
// more, by which a longer name shows.
constexpr size_t LogTokenChars = LogNameOffset + MaxPathChars + 1;
// Where the product's own files lie.
enum Place : unsigned { InProgramFolder, InAppData, InLanguageFolder, InTemp, PlaceCount };
struct OwnFile {
  Place place;
  const wchar_t* name;
};
// The files the program reads, writes or deletes by name, which a line
// appended to them (or a log made in their place) would change; the
// program itself comes on top. The help and language files are also
// looked for in the language folder, and the clean-up batch file takes a
// name of this form in the temporary folder.
constexpr OwnFile OwnFiles[] = {
    {InProgramFolder, FileListName},      {InProgramFolder, SettingsFileName},
    {InProgramFolder, HelpFileName},      {InProgramFolder, L"pelodra.gid"},
    {InProgramFolder, L"pelodra.fts"},    {InProgramFolder, L"kellng.dll"},
    {InProgramFolder, L"uninstall.lng"},  {InAppData, SettingsFileName},
    {InLanguageFolder, HelpFileName},     {InLanguageFolder, L"pelodra.gid"},
    {InLanguageFolder, L"pelodra.fts"},   {InLanguageFolder, L"kellng.dll"},
    {InLanguageFolder, L"uninstall.lng"}, {InTemp, L"Uninstall_Kel.*.Bat"},
};
constexpr unsigned OwnFileCount = sizeof OwnFiles / sizeof *OwnFiles;

struct ProductFileList {
  // A folder that cannot be told stays empty, and holds no file.
  wchar_t folders[PlaceCount][MaxPathChars];
  ProductFile files[OwnFileCount + 1];
  unsigned count;
};

constexpr DWORD WaitSwitchMs = 2000;
constexpr size_t InitTextOffset = 5;  // behind the switch character and "init"
constexpr unsigned WarningChars = 512;

bool IsLogSwitch(const wchar_t* token) {
  return (token[0] == L'/' || token[0] == L'-') &&
         CompareNoCaseN(token + 1, LogKeyword, LogKeywordChars) == 0;
}

void ActOnSwitch(Switch action, const wchar_t* token, RunRequest& request) {
  switch (action) {
    case Switch::Setup:
      request.setup = true;
      break;
    case Switch::Msi:
      request.msi = true;
      break;
    case Switch::Init:
      BoundedCopy(request.initOptions, token + InitTextOffset, InitOptionsChars);
      break;
    case Switch::Wait:
      Sleep(WaitSwitchMs);
      break;
    case Switch::NoExplorer:
      request.noExplorer = true;
      break;
    case Switch::Warning:
      ShowLeftoverWarning();
      break;
  }
}

void ListProductFiles(const wchar_t* program, ProductFileList& list) {
  auto& folders = list.folders;
  BoundedCopy(folders[InProgramFolder], program, MaxPathChars);
  RemoveNamePart(folders[InProgramFolder]);
  // The name is kept even when the folder is not there yet.
  BestEffort(GetAppDataFolder(folders[InAppData], MaxPathChars, false));
  BestEffort(GetLanguageFolder(folders[InLanguageFolder]));
  DWORD n = GetTempPathW(MaxPathChars, folders[InTemp]);
  if (n == 0 || n >= MaxPathChars) folders[InTemp][0] = 0;
  list.files[0] = {folders[InProgramFolder], FindNamePart(program)};
  list.count = 1;
  for (const OwnFile& file : OwnFiles)
    if (folders[file.place][0]) list.files[list.count++] = {folders[file.place], file.name};
}

}  // namespace

const wchar_t* NextToken(const wchar_t* text, wchar_t* token, size_t size) {
  while (IsBlank(*text)) ++text;
  if (*text == 0) return nullptr;
  bool quoted = false;
  size_t stored = 0;
  auto store = [&](wchar_t c) {
    if (token && stored + 1 < size) token[stored++] = c;
  };
  for (; *text && (quoted || !IsBlank(*text)); ++text) {
    if (text[0] == L'"' && text[1] == L'"') {
      store(L'"');
      ++text;
    } else if (*text == L'"') {
      quoted = !quoted;
    } else {
      store(*text);
    }
  }
  if (token && size > 0) token[stored] = 0;
  return text;
}

void ParseCommandLine(CommandSource source, const wchar_t* text, RunRequest& request) {
  wchar_t token[TokenChars];
  unsigned switches = 0;
  while ((text = NextToken(text, token, TokenChars)) != nullptr) {
    if (token[0] != L'/' && token[0] != L'-') continue;
    if (ToUpperChar(token[1]) == L'S' && !IsAsciiLetter(token[2])) {
      request.silent = true;
      continue;
    }
    if (IsLogSwitch(token)) continue;
    ++switches;
    if (source != CommandSource::RealCommandLine) continue;
    for (const Keyword& keyword : Keywords) {
      if (CompareNoCaseN(token + 1, keyword.text, keyword.compared) == 0) {
        ActOnSwitch(keyword.action, token, request);
        break;
      }
    }
  }
  request.uninstall = source == CommandSource::RealCommandLine && switches == 0;
}

void ShowLeftoverWarning() {
  wchar_t program[MaxPathChars];
  GetProgramPath(program, MaxPathChars);
  wchar_t text[WarningChars];
  FormatText(text, WarningChars, L"%s\n", LoadMessage(IDS_LEFTOVER_FIRST_LINE));
  size_t used = wcslen(text);
  FormatMessageText(text + used, WarningChars - used, LoadMessage(IDS_LEFTOVER_FILE_FORMAT),
                    program);
  ShowMessageBox(nullptr, text, LoadMessage(IDS_CAPTION), MB_ICONINFORMATION | MB_SETFOREGROUND);
}

void OpenRequestedLog(const wchar_t* commandLine) {
  wchar_t token[LogTokenChars];
  while ((commandLine = NextToken(commandLine, token, LogTokenChars)) != nullptr) {
    if (!IsLogSwitch(token)) continue;
    const wchar_t* name = token + LogNameOffset;
    wchar_t program[MaxPathChars];
    if (wcslen(name) >= MaxPathChars || !GetProgramPath(program, MaxPathChars)) return;
    ProductFileList list;
    ListProductFiles(program, list);
    BestEffort(OpenLogFile(name, list.files, list.count));
    return;
  }
}
