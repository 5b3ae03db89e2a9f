// The text language file "uninstall.lng": translations of the program's
// texts keyed by the CRC-32 of the text they replace, and the text direction.
// A text's key is the lower-case hexadecimal CRC-32 of the kind byte, the
// ANSI form of the context and the ANSI form of the text.
#pragma once

#include <cstddef>
#include <cstdint>

// The leading byte of a key tells what kind of text it translates.
enum class TextKind : uint8_t {
  Message = 's',     // texts returned by LoadMessage, without context
  DialogText = '$',  // dialog captions, control texts and size entries
};

constexpr unsigned TextKeyChars = 9;  // 8 hexadecimal digits and the terminator

// Loads the language file once at start (from the language folder or beside
// the program) and settles the text direction; a right-to-left language
// mirrors every window created afterwards.
void LoadLanguageFile(const wchar_t* name);
// Frees the text of the language file.
void ReleaseLanguageFile();
bool IsLanguageFileLoaded();

// Writes the translation of `source` into `destination` (`capacity`
// characters), or `source` itself when nothing translates it. The two may
// be the same buffer.
void TranslateText(const wchar_t* source, wchar_t* destination, size_t capacity, TextKind kind,
                   const wchar_t* context);

// Takes the part of a language file that starts at its section marker, as
// the file holds it (8-bit ANSI or UTF-16 little-endian), in place of any
// text loaded before. The loader reads the file into this; tests and tools
// feed it directly. False when memory for the text is missing.
bool LoadLanguageSection(const void* bytes, uint32_t size, bool utf16);

// Forgets the language file and the text direction; for tests.
void ResetLanguageFileForTesting();
