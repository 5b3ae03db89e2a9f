#include "base/log.h"

#include "base/error_state.h"
#include "base/format.h"
#include "base/program_path.h"
#include "base/run_state.h"
#include "base/win_handles.h"

namespace {

// Room for a list entry (4,096 characters) or a message text beside the
// other fields; a longer line is cut.
constexpr unsigned LineChars = 8192;
// UTF-8 takes at most three bytes for one UTF-16 unit.
constexpr unsigned LineBytes = LineChars * 3;
constexpr unsigned ResultChars = 640;
constexpr unsigned EndResultChars = 64;

struct LogState {
  // Held to the end even when writing failed: the open log keeps the
  // uninstall from deleting it.
  FileHandle file;
  bool failed;
  wchar_t path[LogPathChars];
};

// Made on first use, whatever logs first; the run lets go of the file with
// LogEnd, so nothing is left for the end of the process to close.
LogState& State() {
  static LogState state;
  return state;
}

// One line at a time: the program has one thread.
wchar_t line[LineChars];
char bytes[LineBytes];

struct ExitMeaning {
  int32_t code;
  const wchar_t* text;
};
constexpr ExitMeaning ExitMeanings[] = {
    {ExitDone, L"done"},
    {ExitCancelled, L"cancelled"},
    {ExitIncomplete, L"incomplete"},
    {ExitListMissing, L"list missing"},
    {ExitRestartNeeded, L"done, restart needed"},
    {KEL_MEMORY_ERROR, L"out of memory"},
};

// Characters that would break a line for some reader or act on a terminal
// that shows it: the C0 controls (CR, LF, tab), DEL, the C1 controls (next
// line among them) and Unicode's line and paragraph separators.
bool IsControlOrBreak(wchar_t c) {
  return c < L' ' || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

// Copies a field and ends it with `end`; room for the line end always stays.
size_t PutField(size_t used, const wchar_t* text, wchar_t end) {
  for (; text && *text && used < LineChars - 3; ++text)
    line[used++] = IsControlOrBreak(*text) ? L' ' : *text;
  line[used++] = end;
  return used;
}

// A line goes out in one write, which appends it whole: lines of two runs
// writing the same log never mix.
void WriteLine(size_t used) {
  int n = WideCharToMultiByte(CP_UTF8, 0, line, static_cast<int>(used), bytes, LineBytes, nullptr,
                              nullptr);
  DWORD written = 0;
  if (n <= 0 || !WriteFile(State().file.Get(), bytes, static_cast<DWORD>(n), &written, nullptr) ||
      written != static_cast<DWORD>(n))
    State().failed = true;
}

}  // namespace

void AttachLog(HANDLE file, const wchar_t* path) {
  State().file.Reset(file);
  State().failed = false;
  BoundedCopy(State().path, path, LogPathChars);
}

bool IsLogging() { return State().file.Valid() && !State().failed; }

const wchar_t* LogPath() { return State().file.Valid() ? State().path : L""; }

void LogEvent(const wchar_t* what, const wchar_t* where, const wchar_t* result) {
  if (!IsLogging()) return;
  // The run goes on as if nothing had been written, down to its last error.
  DWORD lastError = GetLastError();
  SYSTEMTIME now;
  GetLocalTime(&now);
  int stamp = FormatText(line, LineChars, L"%04u-%02u-%02u %02u:%02u:%02u\t", now.wYear, now.wMonth,
                         now.wDay, now.wHour, now.wMinute, now.wSecond);
  size_t used = stamp > 0 ? static_cast<size_t>(stamp) : 0;
  used = PutField(used, what, L'\t');
  used = PutField(used, where, L'\t');
  used = PutField(used, result, L'\r');
  line[used++] = L'\n';
  WriteLine(used);
  SetLastError(lastError);
}

void LogOutcome(const wchar_t* what, const wchar_t* where, DWORD error) {
  if (!IsLogging()) return;
  if (error == ERROR_SUCCESS) {
    LogEvent(what, where, L"done");
    return;
  }
  DWORD lastError = GetLastError();
  wchar_t result[ResultChars];
  // HRESULTs read best in hexadecimal.
  int n = FormatText(result, ResultChars, error >= 0x80000000 ? L"error 0x%08lX: " : L"error %lu: ",
                     static_cast<unsigned long>(error));
  size_t used = n > 0 ? static_cast<size_t>(n) : 0;
  DWORD got = FormatMessageW(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS | FORMAT_MESSAGE_MAX_WIDTH_MASK,
      nullptr, error, 0, result + used, static_cast<DWORD>(ResultChars - used), nullptr);
  // Without the system's text the code stands alone.
  size_t end = got ? used + got : (used >= 2 ? used - 2 : used);
  while (end > 0 && result[end - 1] == L' ') --end;
  result[end] = 0;
  LogEvent(what, where, result);
  SetLastError(lastError);
}

DWORD FailureCode() {
  DWORD error = GetLastError();
  return error ? error : ERROR_GEN_FAILURE;
}

void LogEnd(int32_t exitCode) {
  if (IsLogging()) {
    const wchar_t* meaning = L"";
    for (const ExitMeaning& known : ExitMeanings)
      if (known.code == exitCode) meaning = known.text;
    wchar_t result[EndResultChars];
    FormatText(result, EndResultChars, meaning[0] ? L"exit code %ld (%s)" : L"exit code %ld",
               static_cast<long>(exitCode), meaning);
    wchar_t program[MaxPathChars];
    GetProgramPath(program, MaxPathChars);
    LogEvent(L"end", program, result);
  }
  State().file.Reset();
}
