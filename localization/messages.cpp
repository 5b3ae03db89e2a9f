#include "localization/messages.h"

#include <windows.h>

#include <cstddef>
#include <cwchar>

#include "localization/language_file.h"
#include "localization/language_module.h"

namespace {

constexpr unsigned RingSize = 8;

wchar_t ring[RingSize][MessageChars];
unsigned ringIndex = 0;

constexpr unsigned StringsPerBlock = 16;

// String `id` of `module`'s table, cut to `capacity` and terminated; false
// when the module holds no text for it. The table is read here rather than
// by LoadStringW, which trusts a block's length words: a language module's
// block that claims more text than it holds would have it read past the
// resource. A text empty up to a NUL counts as missing.
bool ReadString(HMODULE module, uint32_t id, wchar_t* buffer, size_t capacity) {
  buffer[0] = 0;
  uint16_t number = static_cast<uint16_t>(id);
  HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(number / StringsPerBlock + 1), RT_STRING);
  if (!found) return false;
  auto words = static_cast<const uint16_t*>(LockResource(LoadResource(module, found)));
  if (!words) return false;
  size_t count = SizeofResource(module, found) / sizeof(uint16_t);
  size_t at = 0;
  for (unsigned skip = number % StringsPerBlock; skip > 0 && at < count; --skip)
    at += 1 + size_t{words[at]};
  if (at >= count) return false;
  size_t length = words[at++];
  if (length > count - at) return false;
  size_t copied = length < capacity ? length : capacity - 1;
  std::wmemcpy(buffer, reinterpret_cast<const wchar_t*>(words + at), copied);
  buffer[copied] = 0;
  return buffer[0] != 0;
}

}  // namespace

const wchar_t* LoadMessage(uint32_t id) {
  ringIndex = ringIndex + 1 == RingSize ? 0 : ringIndex + 1;
  wchar_t* buffer = ring[ringIndex];
  // Language-file entries are keyed by the program's own texts, so the
  // language DLL's string table is passed over while a file is loaded.
  if (IsLanguageFileLoaded() || !ReadString(ResourceModule(), id, buffer, MessageChars))
    ReadString(ProgramModule(), id, buffer, MessageChars);
  TranslateText(buffer, buffer, MessageChars, TextKind::Message, nullptr);
  return buffer;
}
