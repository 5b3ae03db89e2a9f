#include "removal/batch_file.h"

#include <cwchar>

#include "base/best_effort.h"
#include "base/format.h"
#include "base/log.h"
#include "base/run_state.h"
#include "base/win_handles.h"
#include "fs/entry_removal.h"
#include "fs/file_ops.h"
#include "fs/path_names.h"

namespace {

constexpr wchar_t BatchPrefix[] = L"Uninstall_Kel";
constexpr unsigned BatchFileNameChars = 64;
// Names are shorter than MAX_PATH and double at most by their "%" signs, so
// every line fits whole.
constexpr unsigned BatchLineChars = 2048;
// Three bytes a character in UTF-8, two in the double-byte code pages.
constexpr unsigned BatchLineBytes = 3 * BatchLineChars;
constexpr unsigned CommandLineChars = 1024;
constexpr unsigned ExactChars = MaxPathChars + 8;
constexpr unsigned NameTries = 100;

ShortPathLookup shortPathLookup = nullptr;

// Converts into the console's code page, in which the interpreter reads
// batch files, with no character replaced or approximated: a full-width
// quote, ampersand or colon must not turn into the real one. `length` is
// the count of bytes without the terminator.
[[nodiscard]] bool ToConsoleBytes(const wchar_t* text, char* bytes, int size, int& length) {
  UINT page = GetOEMCP();
  // UTF-8 takes no flags; it replaces nothing but a lone surrogate, which
  // the reading back finds.
  bool utf8 = page == CP_UTF8;
  BOOL replaced = FALSE;
  int n = WideCharToMultiByte(page, utf8 ? 0 : WC_NO_BEST_FIT_CHARS, text, -1, bytes, size, nullptr,
                              utf8 ? nullptr : &replaced);
  if (n <= 0 || replaced) return false;
  wchar_t back[BatchLineChars];
  int m = MultiByteToWideChar(page, 0, bytes, n, back, BatchLineChars);
  if (m <= 0 || wcscmp(back, text) != 0) return false;
  length = n - 1;
  return true;
}

// Where a name goes: into a batch line, or onto a command line.
enum class FormUse { BatchLine, CommandLine };

bool Reaches(const wchar_t* candidate, const wchar_t* exact, FormUse use) {
  char bytes[4 * MAX_PATH];
  int length = 0;
  return wcslen(candidate) < MAX_PATH &&
         (use == FormUse::CommandLine || ToConsoleBytes(candidate, bytes, sizeof bytes, length)) &&
         SameFileObject(candidate, exact);
}

// "\\?\C:\x" as "C:\x" and "\\?\UNC\srv\x" as "\\srv\x", in place.
wchar_t* WithoutLongPrefix(wchar_t* path) {
  if (wcsncmp(path, L"\\\\?\\UNC\\", 8) == 0) {
    path[6] = L'\\';
    return path + 6;
  }
  return wcsncmp(path, L"\\\\?\\", 4) == 0 ? path + 4 : path;
}

// The interpreter expands "%...%" even inside quotes; "%%" is one "%".
[[nodiscard]] bool DoublePercent(const wchar_t* text, wchar_t* destination, size_t size) {
  size_t out = 0;
  for (; *text; ++text) {
    size_t need = *text == L'%' ? 2 : 1;
    if (out + need >= size) return false;
    destination[out++] = *text;
    if (*text == L'%') destination[out++] = L'%';
  }
  destination[out] = 0;
  return true;
}

[[nodiscard]] bool WriteLine(HANDLE file, const wchar_t* line, int formatted) {
  char bytes[BatchLineBytes];
  int length = 0;
  DWORD written = 0;
  return formatted >= 0 && ToConsoleBytes(line, bytes, BatchLineBytes, length) &&
         WriteFile(file, bytes, static_cast<DWORD>(length), &written, nullptr) &&
         written == static_cast<DWORD>(length);
}

[[nodiscard]] bool WriteLines(HANDLE file, const BatchNames& names, const wchar_t* batchName,
                              bool silent) {
  wchar_t p[MaxPathChars], d[MaxPathChars], s[MaxPathChars], b[MaxPathChars];
  if (!DoublePercent(names.program, p, MaxPathChars) ||
      !DoublePercent(names.folder, d, MaxPathChars) ||
      !DoublePercent(names.systemFolder, s, MaxPathChars) ||
      !DoublePercent(batchName, b, MaxPathChars))
    return false;
  wchar_t line[BatchLineChars];
  bool whole = true;
  // Every try waits first: a process slow to end (a loaded machine, a
  // scanner holding the file) still holds its program after one pause.
  // The pause runs nothing of the product's, which it would hold while the
  // next line deletes it, but the system's echo program: it waits a second
  // between two echoes on every Windows, and the loopback always answers.
  for (int i = 0; i < DeleteTries && whole; ++i)
    whole = WriteLine(file, line,
                      FormatText(line, BatchLineChars, L"\"%s\\ping.exe\" -n %d 127.0.0.1 >nul\r\n",
                                 s, PauseSeconds + 1)) &&
            WriteLine(file, line,
                      FormatText(line, BatchLineChars,
                                 L"del \"%s\"\r\nif not exist \"%s\" goto done\r\n", p, p));
  // Only tries that all failed lead to the warning, and the folder goes
  // after the last look at the program: once the folder is gone, a new
  // installation may put a program of the same name there, which the batch
  // file must neither start nor delete.
  if (!silent)
    whole = whole && WriteLine(file, line,
                               FormatText(line, BatchLineChars,
                                          L"if exist \"%s\" \"%s\" /warning\r\n", p, p));
  whole = whole &&
          WriteLine(file, line, FormatText(line, BatchLineChars, L":done\r\nrd \"%s\"\r\n", d));
  if (!names.tempNamed) return whole;
  return whole && WriteLine(file, line, FormatText(line, BatchLineChars, L"del \"%s\"\r\n", b));
}

// Makes the batch file under the first name of this process that is free,
// exclusively: a name another run holds is never written over. The name
// goes into `fileName` (BatchFileNameChars), the full name it was made by
// into `exact` (ExactChars).
FileHandle CreateBatchFile(const wchar_t* folder, wchar_t* fileName, wchar_t* exact) {
  DWORD id = GetCurrentProcessId();
  wchar_t real[MaxPathChars];
  for (unsigned i = 0; i < NameTries; ++i) {
    if (i == 0)
      FormatText(fileName, BatchFileNameChars, L"%s.%lu.Bat", BatchPrefix, id);
    else
      FormatText(fileName, BatchFileNameChars, L"%s.%lu.%u.Bat", BatchPrefix, id, i);
    if (FormatText(real, MaxPathChars, L"%s%s", folder, fileName) < 0 ||
        !ExactName(real, exact, ExactChars))
      return FileHandle();
    FileHandle file(
        CreateFileW(exact, GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD error = GetLastError();
    if (file || (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)) return file;
  }
  return FileHandle();
}

[[nodiscard]] bool FormFor(FormUse use, const wchar_t* path, wchar_t* destination, size_t size) {
  wchar_t exact[ExactChars];
  if (!ExactName(path, exact, ExactChars)) return false;
  const wchar_t* chosen = path;
  wchar_t shortForm[MaxPathChars];
  if (!Reaches(path, exact, use)) {
    ShortPathLookup lookup = shortPathLookup ? shortPathLookup : GetShortPathNameW;
    DWORD n = lookup(exact, shortForm, MaxPathChars);
    if (n == 0 || n >= MaxPathChars) return false;
    chosen = WithoutLongPrefix(shortForm);
    if (!Reaches(chosen, exact, use)) return false;
  }
  if (wcslen(chosen) >= size) return false;
  wcscpy(destination, chosen);
  return true;
}

}  // namespace

void SetShortPathLookupForTesting(ShortPathLookup lookup) { shortPathLookup = lookup; }

bool CommandForm(const wchar_t* path, wchar_t* destination, size_t size) {
  return FormFor(FormUse::BatchLine, path, destination, size);
}

bool StartForm(const wchar_t* path, wchar_t* destination, size_t size) {
  return FormFor(FormUse::CommandLine, path, destination, size);
}

bool PrepareBatchNames(const wchar_t* program, const wchar_t* folder, const wchar_t* tempFolder,
                       BatchNames& names) {
  // The short form is looked up for the folder itself, without "\".
  wchar_t temp[MaxPathChars];
  BoundedCopy(temp, tempFolder, MaxPathChars);
  size_t length = wcslen(temp);
  if (length > 3 && temp[length - 1] == L'\\') temp[length - 1] = 0;
  wchar_t systemFolder[MaxPathChars];
  if (!GetSystemFolder(systemFolder) || !CommandForm(program, names.program, MAX_PATH) ||
      !CommandForm(folder, names.folder, MAX_PATH) ||
      !CommandForm(systemFolder, names.systemFolder, MAX_PATH))
    return false;
  // Only the batch file's last line, which deletes it, needs its folder in
  // a line; without that the batch file does everything else and stays.
  names.tempNamed = CommandForm(temp, names.tempFolder, MAX_PATH - 1);
  if (!names.tempNamed && !StartForm(temp, names.tempFolder, MAX_PATH - 1)) return false;
  AddTrailingSeparator(names.tempFolder, MAX_PATH);
  return true;
}

bool WriteCleanupBatch(const wchar_t* tempFolder, const BatchNames& names, bool silent,
                       wchar_t* batchName, size_t size) {
  wchar_t folder[MaxPathChars];
  BoundedCopy(folder, tempFolder, MaxPathChars);
  AddTrailingSeparator(folder, MaxPathChars);
  wchar_t fileName[BatchFileNameChars], exact[ExactChars];
  FileHandle file = CreateBatchFile(folder, fileName, exact);
  if (!file) return false;
  bool written = FormatText(batchName, size, L"%s%s", names.tempFolder, fileName) >= 0 &&
                 wcslen(batchName) < MAX_PATH && WriteLines(file.Get(), names, batchName, silent);
  // The system may report a write it could not finish only when the file
  // is closed.
  written = CloseHandle(file.Release()) && written;
  if (written) return true;
  DWORD error = GetLastError();
  BestEffort(DeleteFileW(exact));
  SetLastError(error);
  return false;
}

bool StartHiddenBatch(const wchar_t* batchName) {
  wchar_t interpreter[MaxPathChars] = {};
  DWORD n = GetEnvironmentVariableW(L"COMSPEC", interpreter, MaxPathChars);
  if (n == 0 || n >= MaxPathChars) return false;
  // The name is quoted twice: the interpreter strips the outer pair, and the
  // inner pair keeps "&", "(" or ")" in the name from being read as syntax.
  wchar_t commandLine[CommandLineChars];
  if (FormatText(commandLine, CommandLineChars, L"\"%s\" /d /v:off /c \"\"%s\"\"", interpreter,
                 batchName) < 0)
    return false;
  wchar_t systemFolder[MaxPathChars];
  if (!GetSystemFolder(systemFolder)) return false;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  StartedProcess process;
  return CreateProcessW(nullptr, commandLine, nullptr, nullptr, TRUE, 0, nullptr, systemFolder,
                        &startup, process.Put()) != FALSE;
}

bool StartCleanupBatch(const wchar_t* tempFolder, const BatchNames& names, bool silent) {
  wchar_t batch[MAX_PATH];
  if (!WriteCleanupBatch(tempFolder, names, silent, batch, MAX_PATH)) {
    LogOutcome(L"batch file written", tempFolder, FailureCode());
    return false;
  }
  LogOutcome(L"batch file written", batch, ERROR_SUCCESS);
  bool started = StartHiddenBatch(batch);
  LogOutcome(L"batch file started", batch, started ? ERROR_SUCCESS : FailureCode());
  if (started && !names.tempNamed) LogEvent(L"left", batch, L"no batch line can name it");
  return started;
}
