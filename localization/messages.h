// The texts of the program's messages: from the language DLL or the
// program's own string table, translated by the language file.
#pragma once

#include <cstdint>

constexpr unsigned MessageChars = 512;

// The text of message `id`, translated by the language file. It lives in a
// ring of eight buffers and stays valid until eight further calls.
const wchar_t* LoadMessage(uint32_t id);
