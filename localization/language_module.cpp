#include "localization/language_module.h"

namespace {

constexpr unsigned RingSize = 8;

struct LanguageModuleState {
  HMODULE program = nullptr;
  HMODULE resources = nullptr;
  bool loaded = false;
  wchar_t ring[RingSize][MessageChars] = {};
  unsigned ringIndex = 0;

  ~LanguageModuleState() { ReleaseLanguageModule(); }
};

LanguageModuleState state;

HMODULE ProgramOrSelf() {
  return state.program ? state.program : GetModuleHandleW(nullptr);
}

}  // namespace

void LoadLanguageModule(HINSTANCE program) {
  ReleaseLanguageModule();
  state.program = program;
  state.resources = program;
}

void ReleaseLanguageModule() {
  if (state.loaded) FreeLibrary(state.resources);
  state.loaded = false;
  state.resources = state.program;
}

HMODULE ResourceModule() { return state.resources ? state.resources : ProgramOrSelf(); }

HMODULE ProgramModule() { return ProgramOrSelf(); }

const wchar_t* LoadMessage(uint32_t id) {
  state.ringIndex = (state.ringIndex + 1) % RingSize;
  wchar_t* buffer = state.ring[state.ringIndex];
  buffer[0] = 0;
  if (LoadStringW(ResourceModule(), id, buffer, MessageChars) == 0)
    LoadStringW(ProgramModule(), id, buffer, MessageChars);
  return buffer;
}
