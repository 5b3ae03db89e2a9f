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
  if (testPath[0]) return static_cast<unsigned>(wcslen(BoundedCopy(buffer, testPath, size)));
  DWORD n = GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(size));
  if (n >= size) n = static_cast<DWORD>(size - 1);
  buffer[n] = 0;
  return n;
}

void SetProgramPathForTesting(const wchar_t* path) {
  BoundedCopy(testPath, path ? path : L"", MaxPathChars);
}
