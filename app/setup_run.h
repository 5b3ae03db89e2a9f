// The setup run: the installer's settings file taken over, the choices
// asked for (or taken as they stand in a silent run), applied, and the end
// of the setup shown.
#pragma once

#include <cstdint>

#include "base/run_state.h"

// Runs the setup that `request` asks for; returns its exit code: ExitDone,
// ExitCancelled when the user cancelled the dialog or it could not be
// shown, ExitIncomplete when Windows refused part of it.
[[nodiscard]] int32_t RunSetup(const RunRequest& request);

// Copies the settings file "Pelodra.ini" from the installer's folder
// ("sfxname") into the folder of `program`, never over an existing file;
// true when it made the copy. Setup does it before the store is first
// used, so that an installation keeps its settings, and the records of
// former owners, in one store for its whole life.
[[nodiscard]] bool CopySettingsFromInstaller(const wchar_t* program);
// Where that copy goes, into `path` (MaxPathChars): beside `program`.
// False when the name does not fit.
[[nodiscard]] bool GetSettingsCopyPath(const wchar_t* program, wchar_t* path);
