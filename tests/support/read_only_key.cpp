#include "support/read_only_key.h"

#include <sddl.h>

#include <gtest/gtest.h>

ReadOnlyKey::ReadOnlyKey(HKEY root, const std::wstring& path, REGSAM view) {
  EXPECT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | WRITE_DAC | view,
                            nullptr, &key_, nullptr),
            ERROR_SUCCESS);
  DWORD size = 0;
  RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, nullptr, &size);
  original_.resize(size);
  EXPECT_EQ(RegGetKeySecurity(key_, DACL_SECURITY_INFORMATION, original_.data(), &size),
            ERROR_SUCCESS);
  PSECURITY_DESCRIPTOR readOnly = nullptr;
  EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
      L"D:P(A;OICI;KR;;;WD)", SDDL_REVISION_1, &readOnly, nullptr));
  EXPECT_EQ(RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, readOnly), ERROR_SUCCESS);
  LocalFree(readOnly);
}

ReadOnlyKey::~ReadOnlyKey() {
  RegSetKeySecurity(key_, DACL_SECURITY_INFORMATION, original_.data());
  RegCloseKey(key_);
}
