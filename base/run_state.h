// The run's request as the command line gives it, the exit codes, and the
// process-wide state that remains: the registry view and the system probes.
#pragma once

#include <windows.h>

#include <cstdint>

constexpr unsigned MaxPathChars = 2048;
constexpr unsigned InitOptionsChars = 40;

// Exit codes, one scheme for setup and uninstall, so that an installer or a
// script can tell what a silent run did.
constexpr int32_t ExitDone = 0;
// The user cancelled the setup dialog or answered No to the uninstall.
constexpr int32_t ExitCancelled = 1;
// The run went to its end, but Windows refused part of it: registry
// writes or give-backs, files that could be neither deleted nor scheduled,
// a folder that no batch line can name. What is left is kept for a later
// run with the right.
constexpr int32_t ExitIncomplete = 2;
// "Uninstall.lst" cannot be read: nothing was removed.
constexpr int32_t ExitListMissing = 3;
// Everything was removed or scheduled for deletion at the next restart, and
// something was scheduled: done once Windows restarts. Deployment tools
// know the code as "done, restart needed".
constexpr int32_t ExitRestartNeeded = 3010;
// A run that memory fails ends with the error record's code 8.

// What the two command texts ask of the run, and where the program lies:
// made once at start and handed to the setup or the uninstall.
struct RunRequest {
  bool setup;
  // The real command line held no switch but the silent one.
  bool uninstall;
  // No questions, no window: a setup takes its starting choices as
  // confirmed.
  bool silent;
  // Under an outside installer: no done dialog, no uninstall entry; the
  // uninstall removes the integration only.
  bool msi;
  bool noExplorer;
  // The setup's option string, such as "A1D0".
  wchar_t initOptions[InitOptionsChars];
  // The program's full path and its folder (empty when the path has none).
  wchar_t program[MaxPathChars];
  wchar_t folder[MaxPathChars];
};

// 0, or KEY_WOW64_64KEY while a ScopedRegistryView selects the 64-bit
// view; every registry access ORs it into its access mask.
extern uint32_t RegistryViewFlags;

// True for a 32-bit process on 64-bit Windows. A failed probe is not cached.
bool IsWow64();
bool IsNativeItanium();
// Selects a registry view for as long as it lives, then restores the view
// that was selected before, whatever way its scope is left: the 64-bit
// view for `want64` where one exists (under WOW64; elsewhere the view
// stays), else the default view.
class ScopedRegistryView {
 public:
  explicit ScopedRegistryView(bool want64);
  ~ScopedRegistryView() { RegistryViewFlags = previous_; }
  ScopedRegistryView(const ScopedRegistryView&) = delete;
  ScopedRegistryView& operator=(const ScopedRegistryView&) = delete;

 private:
  uint32_t previous_;
};
// n * LOGPIXELSY / 96, truncating toward zero; 0 without a screen.
int ScaleForDpi(int n);

// The current language is written right to left; the language file decides
// it once at start.
bool IsRightToLeft();
void SetRightToLeft(bool rightToLeft);

// Looks up an optional export of kernel32 by name; null when it is missing.
FARPROC Kernel32Export(const char* name);
template <typename Function>
Function Kernel32Function(const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(Kernel32Export(name)));
}

// Puts every item above back to its start value; for tests.
void ResetRunState();
