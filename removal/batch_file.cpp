#include "removal/batch_file.h"

#include <windows.h>

#include <memory>
#include <new>

#include "app/shared/format.h"
#include "app/shared/run_state.h"
#include "app/shared/win_handles.h"
#include "fs/file_ops.h"
#include "fs/path_names.h"

namespace {

constexpr unsigned BatchLineChars = 1024;
constexpr unsigned CommandLineChars = 1024;
constexpr int DeleteTries = 5;

bool FitsConsoleCodePage(const wchar_t* text) {
  BOOL lossy = FALSE;
  int n = WideCharToMultiByte(CP_OEMCP, WC_NO_BEST_FIT_CHARS, text, -1, nullptr, 0, nullptr,
                              &lossy);
  return n > 0 && !lossy;
}

void DoublePercent(const wchar_t* text, wchar_t* destination, size_t size) {
  if (size == 0) return;
  size_t out = 0;
  for (; *text; ++text) {
    size_t need = *text == L'%' ? 2 : 1;
    if (out + need >= size) break;
    destination[out++] = *text;
    if (*text == L'%') destination[out++] = L'%';
  }
  destination[out] = 0;
}

}  // namespace

void BatchPath(const wchar_t* path, wchar_t* destination, size_t size) {
  wchar_t chosen[MaxPathChars];
  BoundedCopy(chosen, path, MaxPathChars);
  if (!FitsConsoleCodePage(path)) {
    wchar_t shortForm[MaxPathChars] = {};
    DWORD n = GetShortPathNameW(path, shortForm, MaxPathChars);
    if (n > 0 && n < MaxPathChars && FitsConsoleCodePage(shortForm))
      BoundedCopy(chosen, shortForm, MaxPathChars);
  }
  DoublePercent(chosen, destination, size);
}

void WriteBatchLine(FILE* stream, const wchar_t* text) {
  size_t room = 2 * wcslen(text) + 4;
  std::unique_ptr<char[]> bytes(new (std::nothrow) char[room]);
  if (!bytes) return;
  int n = WideCharToMultiByte(CP_OEMCP, 0, text, -1, bytes.get(), static_cast<int>(room), nullptr,
                              nullptr);
  if (n > 1) fwrite(bytes.get(), 1, static_cast<size_t>(n - 1), stream);
}

bool WriteCleanupBatch(const wchar_t* batchName, const wchar_t* program, const wchar_t* folder,
                       bool silent) {
  FILE* stream = OpenStream(batchName, L"wb");
  if (!stream) return false;
  wchar_t p[MaxPathChars], d[MaxPathChars], b[MaxPathChars];
  BatchPath(program, p, MaxPathChars);
  BatchPath(folder, d, MaxPathChars);
  BatchPath(batchName, b, MaxPathChars);
  wchar_t line[BatchLineChars];
  FormatText(line, BatchLineChars, L"\"%s\" /wait\r\n", p);
  WriteBatchLine(stream, line);
  for (int i = 0; i < DeleteTries; ++i) {
    FormatText(line, BatchLineChars, L"del \"%s\"\r\nrd \"%s\"\r\nif not exist \"%s\" goto done\r\n",
               p, d, p);
    WriteBatchLine(stream, line);
  }
  WriteBatchLine(stream, L":done\r\n");
  if (!silent) {
    FormatText(line, BatchLineChars, L"if exist \"%s\" \"%s\" /warning\r\n", p, p);
    WriteBatchLine(stream, line);
  }
  FormatText(line, BatchLineChars, L"del \"%s\"\r\n", b);
  WriteBatchLine(stream, line);
  fclose(stream);
  return true;
}

bool StartHiddenBatch(const wchar_t* batchName) {
  wchar_t interpreter[MaxPathChars] = {};
  DWORD n = GetEnvironmentVariableW(L"COMSPEC", interpreter, MaxPathChars);
  if (n >= MaxPathChars) interpreter[0] = 0;
  // The name is quoted twice: the interpreter strips the outer pair, and the
  // inner pair keeps "&", "(" or ")" in the name from being read as syntax.
  wchar_t commandLine[CommandLineChars];
  if (FormatText(commandLine, CommandLineChars, L"\"%s\" /c \"\"%s\"\"", interpreter,
                 batchName) < 0)
    return false;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  SetCurrentDirectoryW(L"..");
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine, nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process))
    return false;
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}
