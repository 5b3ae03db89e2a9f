// The hidden batch file that deletes the program file and its folder after
// the program has ended.
#pragma once

#include <cstddef>
#include <cstdio>

// The form of a path in which the command interpreter can read it from the
// batch file: the path itself, or its short (8.3) form when it holds a
// character that the console's code page cannot represent; then every "%"
// doubled, since the interpreter expands "%...%" even inside quotes.
void BatchPath(const wchar_t* path, wchar_t* destination, size_t size);

// Writes one line, converted to the console's (OEM) code page, in which the
// command interpreter reads batch files.
void WriteBatchLine(FILE* stream, const wchar_t* text);

// Writes the whole batch file: wait for the program to end, delete it and
// its folder (five tries), warn about a file that is left unless silent,
// delete the batch file itself. False when the file cannot be created.
bool WriteCleanupBatch(const wchar_t* batchName, const wchar_t* program, const wchar_t* folder,
                       bool silent);

// Starts the command interpreter (COMSPEC) hidden on the batch file.
bool StartHiddenBatch(const wchar_t* batchName);
