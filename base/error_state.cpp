#include "base/error_state.h"

#include <windows.h>

#include <cstdlib>

#include "base/log.h"

ErrorRecord ErrorState;

void ErrorRecord::Record(KEL_EXIT code) {
  bool take;
  switch (code) {
    case KEL_WARNING:
    case KEL_USER_BREAK:
      take = code_ == KEL_SUCCESS;
      break;
    case KEL_FATAL_ERROR:
      take = code_ == KEL_SUCCESS || code_ == KEL_WARNING;
      break;
    case KEL_CRC_ERROR:
      take = code_ != KEL_CREATE_ERROR;
      break;
    default:
      take = true;
      break;
  }
  if (take) code_ = code;
  ++count_;
}

void ErrorRecord::Raise(KEL_EXIT code) {
  Record(code);
  LogEnd(code);
  // A teardown that runs out of memory in turn ends the process where it
  // stands.
  if (ending_) ExitProcess(static_cast<UINT>(code));
  ending_ = true;
  if (teardown_) teardown_();
  std::exit(code);
}

void ErrorRecord::OutOfMemory() { Raise(KEL_MEMORY_ERROR); }

void ErrorRecord::Reset() {
  code_ = KEL_SUCCESS;
  count_ = 0;
  quietErrors = false;
  quietMessages = false;
  ending_ = false;
  teardown_ = nullptr;
}
