#include "support/private_hive.h"

#include <gtest/gtest.h>

namespace {
const wchar_t HivesKey[] = L"Software\\PelodraTestHives";
}

PrivateHive::PrivateHive(const std::wstring& name, HKEY predefined)
    : predefined_(predefined), path_(std::wstring(HivesKey) + L"\\" + name) {
  RegistryKey user;
  EXPECT_EQ(user.OpenCurrentUser(KEY_ALL_ACCESS), ERROR_SUCCESS);
  DeleteRegistryTree(user.Get(), path_);
  EXPECT_EQ(key_.Create(user.Get(), path_, KEY_ALL_ACCESS), ERROR_SUCCESS);
  active_ = key_ && RegOverridePredefKey(predefined_, key_.Get()) == ERROR_SUCCESS;
  EXPECT_TRUE(active_) << "no private stand-in for " << name.c_str();
}

PrivateHive::~PrivateHive() {
  if (active_) RegOverridePredefKey(predefined_, nullptr);
  key_.Close();
  RegistryKey user;
  if (user.OpenCurrentUser(KEY_ALL_ACCESS) != ERROR_SUCCESS) return;
  DeleteRegistryTree(user.Get(), path_);
  // Stays while other test programs keep hives of their own there.
  DeleteRegistryKeyIfEmpty(user.Get(), HivesKey);
}
