// The process-wide error record of the file layer, and the end of the run
// on a fatal error.
#pragma once

#include <cstdint>

// Exit codes the program records; a fatal one ends the process with it.
enum KEL_EXIT : int32_t {
  KEL_SUCCESS = 0,
  KEL_WARNING = 1,
  KEL_FATAL_ERROR = 2,
  KEL_CRC_ERROR = 3,
  KEL_OPEN_ERROR = 6,
  KEL_MEMORY_ERROR = 8,
  KEL_CREATE_ERROR = 11,
  KEL_USER_BREAK = 255,
};

class ErrorRecord {
 public:
  // Codes 1 and 255 only replace 0; code 2 replaces 0 or 1; code 3 replaces
  // anything but 11; any other code replaces the record.
  void Record(KEL_EXIT code);
  // Records the code, ends the log with it and ends the process with it,
  // after the run's teardown (see SetTeardown); a fatal error met during
  // that teardown ends the process at once.
  [[noreturn]] void Raise(KEL_EXIT code);
  [[noreturn]] void OutOfMemory();
  // The teardown of the run that is under way (help, settings file,
  // language), which a fatal error runs as the run's own end would; null
  // for none.
  void SetTeardown(void (*teardown)()) { teardown_ = teardown; }
  // The teardown has begun: from now on a fatal error ends the process at
  // once.
  void ProcessEnding() { ending_ = true; }
  void Reset();

  KEL_EXIT Code() const { return code_; }
  uint32_t Count() const { return count_; }

  // Error texts are never shown by this program; the switches are kept so
  // that the record has the same shape wherever it is shared.
  bool quietErrors = false;
  bool quietMessages = false;

 private:
  KEL_EXIT code_ = KEL_SUCCESS;
  uint32_t count_ = 0;
  bool ending_ = false;
  void (*teardown_)() = nullptr;
};

extern ErrorRecord ErrorState;
