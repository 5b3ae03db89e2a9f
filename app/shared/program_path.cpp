#include "app/shared/program_path.h"

#include <windows.h>

#include "app/shared/run_state.h"

namespace {

wchar_t testPath[MaxPathChars];

unsigned CopyCut(wchar_t* to, const wchar_t* from, size_t size) {
  size_t n = 0;
  for (; from[n] && n + 1 < size; ++n) to[n] = from[n];
  to[n] = 0;
  return static_cast<unsigned>(n);
}

}  // namespace

unsigned GetProgramPath(wchar_t* buffer, size_t size) {
  if (size == 0) return 0;
  if (testPath[0]) return CopyCut(buffer, testPath, size);
  DWORD n = GetModuleFileNameW(nullptr, buffer, static_cast<DWORD>(size));
  if (n >= size) n = static_cast<DWORD>(size - 1);
  buffer[n] = 0;
  return n;
}

void SetProgramPathForTesting(const wchar_t* path) {
  CopyCut(testPath, path ? path : L"", MaxPathChars);
}
