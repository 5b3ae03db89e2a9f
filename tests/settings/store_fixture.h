// What the settings tests share: a store reset to its start with the
// program placed in a fresh folder, and the removal of every key the tests
// made.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/settings_store.h"

// Product-relative key path that the tests write below, and its class key
// twin under HKEY_CLASSES_ROOT.
constexpr wchar_t TestKey[] = L"SettingsTests";
constexpr wchar_t TestProductKey[] = L"Software\\Pelodra\\SettingsTests";
constexpr wchar_t TestClassKey[] = L"PelodraSettingsTests";

struct Entry {
  std::wstring name;
  std::wstring value;
  EntryKind kind;
  bool operator==(const Entry& other) const {
    return name == other.name && value == other.value && kind == other.kind;
  }
};
using Entries = std::vector<Entry>;
void PrintTo(const Entry& entry, std::ostream* out);

// The store's entries in list order.
Entries IniEntries();

// UTF-16 little-endian bytes with the byte-order mark.
std::string Utf16File(const std::wstring& text);

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes Pelodra.ini beside the program and drops what the store held,
  // so that the next call reads that file.
  void UseIniFile(const std::string& bytes);
  std::wstring IniPath() const { return folder_ + L"\\Pelodra.ini"; }
  // Drops the entries without saving and reads the file again at once.
  void Reload();

  std::wstring folder_;
};
