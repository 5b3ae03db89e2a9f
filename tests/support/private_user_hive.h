// Gives this process a private HKEY_CURRENT_USER: a fresh key of the real
// registry below the real one. Tests that delete the whole product tree or
// need a user without settings use it, so that test programs running at the
// same time in the shared prefix are not disturbed.
#pragma once

#include <windows.h>

#include <string>

class PrivateUserHive {
 public:
  explicit PrivateUserHive(const std::wstring& name);
  ~PrivateUserHive();
  PrivateUserHive(const PrivateUserHive&) = delete;
  PrivateUserHive& operator=(const PrivateUserHive&) = delete;
  // The key that stands in for HKEY_CURRENT_USER, below the real one.
  const std::wstring& Path() const { return path_; }

 private:
  std::wstring path_;
  HKEY key_ = nullptr;
};
