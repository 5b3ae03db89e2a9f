// Whether a language module can be read without leaving its file. The
// system reads a module's resources through offsets the module itself
// gives, without bounds; a cut or damaged file would have it read past the
// end of the mapping and end the program.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/win_handles.h"

// True when the module file's `size` bytes hold sound headers and a
// resource tree whose directories, names, data entries and data lie inside
// the resource section in the file, and whose icon groups hold the images
// they count.
bool HasSoundResources(const uint8_t* bytes, size_t size);

// Opens the module file `path` for reading, shared with readers only, and
// checks it. While the returned handle stays open nobody can change, move
// or delete the file, so that what a later load maps is what was checked.
// Empty when the file cannot be opened or its resources are not sound.
[[nodiscard]] FileHandle OpenSoundModule(const wchar_t* path);
