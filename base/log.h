// The log an administrator asks for with "/log=<file>": one line for each
// change the run makes, appended to that file. Writing it never changes the
// run: a log that cannot be written is given up silently, and without a log
// every call here does nothing.
//
// A line is the local time, what happened, where, and the result, separated
// by tabs and ended by CR LF, in UTF-8:
//   2026-12-08 14:05:31<TAB>registry set<TAB>HKCR\.kel : (default)<TAB>done
#pragma once

#include <windows.h>

#include <cstdint>

#include "base/run_state.h"

// The name of a log: a full path in its long form.
constexpr unsigned LogPathChars = MaxPathChars + 8;

// Takes over `file`, a disk file opened for appending, as the log of this
// run; `path` (at most LogPathChars) is the name it was opened by.
void AttachLog(HANDLE file, const wchar_t* path);
// Whether lines are written: not after a write failed.
bool IsLogging();
// The name the log was opened by, while it is held open (also after a
// write failed); empty without a log.
const wchar_t* LogPath();

// Writes one line. Control characters in the fields (C0, DEL and C1, next
// line among them) and the Unicode line and paragraph separators become
// blanks, so that a line stays one line for every reader whatever a field
// holds.
void LogEvent(const wchar_t* what, const wchar_t* where, const wchar_t* result);
// The same with the result "done" for 0, else "error <code>: <the system's
// text for it>".
void LogOutcome(const wchar_t* what, const wchar_t* where, DWORD error);
// The thread's last error, or ERROR_GEN_FAILURE when a failure left none:
// a failure is never logged as done.
DWORD FailureCode();

// The last line, with the exit code, and the end of the log. Later events
// are not written. The run calls it last, after what its teardown writes.
void LogEnd(int32_t exitCode);
