#include "base/run_state.h"

uint32_t RegistryViewFlags;

namespace {
int wow64Cache = -1;
int dpiCache = 0;
bool rightToLeft = false;
}  // namespace

FARPROC Kernel32Export(const char* name) {
  HMODULE kernel = GetModuleHandleW(L"kernel32");
  return kernel ? GetProcAddress(kernel, name) : nullptr;
}

bool IsWow64() {
  if (wow64Cache == -1) {
    using Probe = BOOL(WINAPI*)(HANDLE, PBOOL);
    auto probe = Kernel32Function<Probe>("IsWow64Process");
    BOOL wow = FALSE;
    if (probe && probe(GetCurrentProcess(), &wow)) wow64Cache = wow ? 1 : 0;
  }
  return wow64Cache == 1;
}

bool IsNativeItanium() {
  using Probe = void(WINAPI*)(LPSYSTEM_INFO);
  auto probe = Kernel32Function<Probe>("GetNativeSystemInfo");
  if (!probe) return false;
  SYSTEM_INFO info{};
  probe(&info);
  return info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_IA64;
}

ScopedRegistryView::ScopedRegistryView(bool want64) : previous_(RegistryViewFlags) {
  if (want64 && !IsWow64()) return;
  RegistryViewFlags = want64 ? KEY_WOW64_64KEY : 0;
}

int ScaleForDpi(int n) {
  if (dpiCache == 0) {
    if (HDC screen = GetDC(nullptr)) {
      dpiCache = GetDeviceCaps(screen, LOGPIXELSY);
      ReleaseDC(nullptr, screen);
    }
  }
  return static_cast<int>(static_cast<int64_t>(n) * dpiCache / 96);
}

bool IsRightToLeft() { return rightToLeft; }
void SetRightToLeft(bool value) { rightToLeft = value; }

void ResetRunState() {
  RegistryViewFlags = 0;
  wow64Cache = -1;
  dpiCache = 0;
  rightToLeft = false;
}
