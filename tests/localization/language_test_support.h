// Small helpers shared by the localization tests.
#pragma once

#include <string>

#include "localization/language_file.h"

// The key of a text as the language file gives it.
std::wstring KeyOf(const wchar_t* source, TextKind kind = TextKind::Message,
                   const wchar_t* context = nullptr);

// Loads a section given as wide text, from the marker on, in its UTF-16 form.
void LoadSection(const std::wstring& lines);
// The same text in its 8-bit ANSI form.
void LoadAnsiSection(const std::string& lines);

std::wstring Translate(const wchar_t* source, TextKind kind = TextKind::Message,
                       const wchar_t* context = nullptr, size_t capacity = 512);

constexpr wchar_t Marker[] = L"***messages***";
