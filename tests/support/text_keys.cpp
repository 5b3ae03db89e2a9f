#include "support/text_keys.h"

#include <windows.h>

#include <cstdio>

#include "localization/crc32.h"

namespace {

std::string Ansi(const wchar_t* text) {
  int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string bytes(size > 0 ? static_cast<size_t>(size) : 1, '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, &bytes[0], size, nullptr, nullptr);
  bytes.resize(bytes.size() - 1);
  return bytes;
}

}  // namespace

std::wstring TextKeyOf(const wchar_t* source, TextKind kind, const wchar_t* context) {
  std::string bytes(1, static_cast<char>(kind));
  if (context) bytes += Ansi(context);
  bytes += Ansi(source);
  uint32_t crc = ~Crc32Update(Crc32Start, bytes.data(), bytes.size());
  char digits[9];
  std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(crc));
  return std::wstring(digits, digits + 8);
}
