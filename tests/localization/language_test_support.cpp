#include "language_test_support.h"

#include <vector>

#include "support/text_keys.h"

std::wstring KeyOf(const wchar_t* source, TextKind kind, const wchar_t* context) {
  return TextKeyOf(source, kind, context);
}

void LoadSection(const std::wstring& lines) {
  LoadLanguageSection(lines.data(), static_cast<uint32_t>(lines.size() * sizeof(wchar_t)), true);
}

void LoadAnsiSection(const std::string& lines) {
  LoadLanguageSection(lines.data(), static_cast<uint32_t>(lines.size()), false);
}

std::wstring Translate(const wchar_t* source, TextKind kind, const wchar_t* context,
                       size_t capacity) {
  std::vector<wchar_t> out(capacity + 1, L'#');
  TranslateText(source, out.data(), capacity, kind, context);
  return capacity ? std::wstring(out.data()) : std::wstring(out.data(), 1);
}
