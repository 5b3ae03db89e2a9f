// A private stand-in for HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE of this
// process: a fresh, empty key of the real registry below the real current
// user's "Software\PelodraTestHives\<name>". Tests that write or delete the
// product's settings, or need a user without any, use it, so that they
// neither disturb nor see other test programs sharing the prefix. Undone,
// and the key removed, on destruction. The registry's 32/64-bit
// redirection does not apply inside the stand-in.
#pragma once

#include <windows.h>

#include <string>

#include "support/test_registry.h"

class PrivateHive {
 public:
  explicit PrivateHive(const std::wstring& name, HKEY predefined = HKEY_CURRENT_USER);
  ~PrivateHive();
  PrivateHive(const PrivateHive&) = delete;
  PrivateHive& operator=(const PrivateHive&) = delete;

  // False (and the test failed) when the stand-in could not be put in place.
  bool Active() const { return active_; }

 private:
  HKEY predefined_;
  std::wstring path_;
  RegistryKey key_;
  bool active_ = false;
};
