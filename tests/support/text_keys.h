// Keys of language-file entries, computed by the tests themselves.
#pragma once

#include <string>

#include "localization/language_file.h"

// The key the language file gives a text: the lower-case hexadecimal CRC-32
// of the kind byte, the ANSI form of the context and the ANSI form of the
// text.
std::wstring TextKeyOf(const wchar_t* source, TextKind kind = TextKind::Message,
                       const wchar_t* context = nullptr);
