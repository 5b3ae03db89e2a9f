#include "support/private_user_hive.h"

#include <gtest/gtest.h>

#include "support/e2e.h"

namespace {
const wchar_t HivesKey[] = L"Software\\PelodraTestHives";
}

PrivateUserHive::PrivateUserHive(const std::wstring& name)
    : path_(std::wstring(HivesKey) + L"\\" + name) {
  DeleteRegistryTree(HKEY_CURRENT_USER, path_);
  RegCreateKeyExW(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_,
                  nullptr);
  EXPECT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, key_), ERROR_SUCCESS);
}

PrivateUserHive::~PrivateUserHive() {
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  if (key_) RegCloseKey(key_);
  DeleteRegistryTree(HKEY_CURRENT_USER, path_);
  HKEY parent = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, HivesKey, 0, KEY_READ, &parent) == ERROR_SUCCESS) {
    DWORD subkeys = 1;
    RegQueryInfoKeyW(parent, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr, nullptr);
    RegCloseKey(parent);
    if (subkeys == 0) RegDeleteKeyW(HKEY_CURRENT_USER, HivesKey);
  }
}
