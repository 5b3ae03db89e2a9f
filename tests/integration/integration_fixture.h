// What the integration tests share: a stand-in installation folder that the
// running program seems to lie in, the user's and the machine's product
// settings in private stand-ins, and every class key that the integration
// writes kept and put back afterwards, in each registry view.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "integration/options.h"
#include "support/private_hive.h"
#include "support/test_registry.h"

constexpr wchar_t Server32Clsid[] = L"{D3A57C10-4B21-11D2-8F3A-0C5E2B7A91F4}";
constexpr wchar_t Server64Clsid[] = L"{D3A57C10-6A21-11D2-8F3A-0C5E2B7A91F4}";

// Where a key lives: root, path and registry view.
struct RegistryPlace {
  HKEY root;
  std::wstring path;
  REGSAM view;
};

// Every key below HKEY_CLASSES_ROOT that associations and the shell
// extension may write or delete, in both views where the two differ.
std::vector<RegistryPlace> IntegrationClassKeys();

class IntegrationTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A file of the stand-in installation.
  std::wstring ProductFile(const std::wstring& name) const { return folder_ + L"\\" + name; }
  // Writes Pelodra.ini beside the program and makes the store read it.
  void UseIniFile(const std::string& bytes);
  // An options record with nothing chosen.
  static IntegrationOptions NoOptions();

  std::wstring folder_;

 private:
  std::unique_ptr<PrivateHive> machine_;
  std::unique_ptr<PrivateHive> user_;
  std::vector<std::unique_ptr<SavedRegistryKey>> saved_;
};
