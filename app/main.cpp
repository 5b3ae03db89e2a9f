// Entry point: prepares the process, reads the two command texts, runs the
// chosen job and returns the exit code.
#include <windows.h>

#include "app/command_line.h"
#include "app/run_flow.h"
#include "app/shared/error_state.h"
#include "app/shared/run_state.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  try {
    return RunProgram(instance, GetCommandLineW());
  } catch (KEL_EXIT code) {
    // Nothing but the settings-file reading catches a fatal error; ending
    // with the carried code is the sound outcome everywhere else.
    return code;
  }
}
