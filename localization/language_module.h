// The language DLL, the module that localized resources come from, and the
// texts of the program's messages.
#pragma once

#include <windows.h>

#include <cstdint>

constexpr unsigned MessageChars = 512;

// Loads the language DLL when one is found; remembers the program instance.
void LoadLanguageModule(HINSTANCE program);
// Frees a loaded language DLL; resources come from the program afterwards.
void ReleaseLanguageModule();
HMODULE ResourceModule();
HMODULE ProgramModule();

// The text of message `id`. It lives in a ring of eight buffers and stays
// valid until eight further calls have been made.
const wchar_t* LoadMessage(uint32_t id);
