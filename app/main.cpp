// Entry point: prepares the process, reads the two command texts, runs the
// chosen job and returns the exit code.
#include <windows.h>

#include "app/run_flow.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  return RunProgram(instance, GetCommandLineW());
}
