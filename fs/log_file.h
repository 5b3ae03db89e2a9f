// Opening the administrators' log, and knowing it again among the files
// the uninstall removes.
#pragma once

// A file of the product's own, which a line appended to it would change:
// `name` in the folder `folder` (a full path), whether it exists or not. A
// '*' in `name` stands for any run of characters, for the files of a kind.
struct ProductFile {
  const wchar_t* folder;
  const wchar_t* name;
};

// Opens `name` as the log of this run, appending to what it holds, when it
// is a plain disk file (made when missing): never a device, pipe or other
// name of the device namespace, a stream of a file, or one of
// `productFiles` by any name Windows reaches it by (its case, short form,
// long form, trailing dots or blanks, another link to the same file). The
// file itself is opened, never what a link at the end of the name leads
// to, and nothing is made through a link: a name that is a link, or one of
// several names of a file, is refused. A name longer than the program's
// path buffers is refused, not cut. False, and no log, otherwise.
[[nodiscard]] bool OpenLogFile(const wchar_t* name, const ProductFile* productFiles,
                               unsigned count);

// Whether `name` is the file this run logs into.
bool IsLogFile(const wchar_t* name);
