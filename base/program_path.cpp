#include "base/program_path.h"

#include <windows.h>

#include <cwchar>

#include "base/format.h"
#include "base/run_state.h"

namespace {

wchar_t testPath[MaxPathChars];

}  // namespace

unsigned GetProgramPath(wchar_t* buffer, size_t size) {
  if (size == 0) return 0;
  size_t n = testPath[0] ? wcslen(testPath)
                         : GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(size));
  // A cut name would name another file or folder: none is safer.
  if (n >= size)
    n = 0;
  else if (testPath[0])
    wmemcpy(buffer, testPath, n);
  buffer[n] = 0;
  return static_cast<unsigned>(n);
}

void SetProgramPathForTesting(const wchar_t* path) {
  BoundedCopy(testPath, path ? path : L"", MaxPathChars);
}
