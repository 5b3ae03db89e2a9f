// Opening the administrators' log, and knowing it again among the files
// the uninstall removes.
#pragma once

// Opens `name` as the log of this run, appending to what it holds, when it
// is a plain disk file (made when missing): never a device, pipe or other
// name of the device namespace, and never one of `refused` (the program's
// own files, which an appended line would change). A name longer than the
// program's path buffers is refused, not cut. False, and no log, otherwise.
[[nodiscard]] bool OpenLogFile(const wchar_t* name, const wchar_t* const* refused,
                               unsigned refusedCount);

// Whether `name` is the file this run logs into.
bool IsLogFile(const wchar_t* name);
