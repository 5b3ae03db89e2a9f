// What the settings tests share: a store reset to its start with the
// program placed in a fresh folder, direct registry access to check what
// the store did, and the removal of every key the tests made.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/settings_store.h"
#include "support/private_hive.h"

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

// Reads and writes the registry without the store. `view` is 0 or
// KEY_WOW64_64KEY.
bool RawKeyExists(HKEY root, const std::wstring& path, REGSAM view = 0);
bool RawValue(HKEY root, const std::wstring& path, const wchar_t* name, DWORD& type,
              std::string& bytes, REGSAM view = 0);
std::wstring RawString(HKEY root, const std::wstring& path, const wchar_t* name, REGSAM view = 0);
bool RawSet(HKEY root, const std::wstring& path, const wchar_t* name, DWORD type,
            const void* data, DWORD size, REGSAM view = 0);
bool RawSetString(HKEY root, const std::wstring& path, const wchar_t* name,
                  const std::wstring& text);
void RawDeleteTree(HKEY root, const std::wstring& path, REGSAM view = 0);

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
