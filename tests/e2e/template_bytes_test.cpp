// The empty-archive templates that setup writes live inside the program. A
// virus scanner or an archiver that finds an archive signature in an
// executable takes it for a self-extracting archive, so the stored bytes
// must hold none.
#include <windows.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "integration/associations.h"
#include "support/test_files.h"

namespace {

// Made from numbers at run time, so that this program's own bytes hold
// neither sequence.
std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int value : values) bytes += static_cast<char>(value);
  return bytes;
}

const std::string KelSignature = Bytes({0x4B, 0x65, 0x6C, 0x21, 0x1A, 0x07, 0x01, 0x00});
const std::string ZipSignature = Bytes({0x50, 0x4B, 0x05, 0x06});

std::string FileOf(const std::wstring& path) {
  std::string bytes = ReadBytes(path);
  EXPECT_GT(bytes.size(), 10000u) << "unreadable or not a program";
  return bytes;
}

}  // namespace

TEST(TemplateBytes, TheProgramHoldsNoArchiveSignature) {
  wchar_t program[MAX_PATH * 4] = {};
  ASSERT_GT(GetEnvironmentVariableW(L"UNINSTALL_EXE", program, MAX_PATH * 4), 0u);
  std::string bytes = FileOf(program);
  EXPECT_EQ(bytes.find(KelSignature), std::string::npos);
  EXPECT_EQ(bytes.find(ZipSignature), std::string::npos);
}

// This test program links the templates too (the reference below makes
// sure), so the check sees them even while the program does not use them.
TEST(TemplateBytes, TheTemplatesAreStoredWithTheirFirstByteZero) {
  void (*volatile linked)(const wchar_t*, bool, bool, bool, bool) = &AssociateExtension;
  ASSERT_NE(linked, nullptr);
  wchar_t self[MAX_PATH * 4] = {};
  ASSERT_GT(GetModuleFileNameW(nullptr, self, MAX_PATH * 4), 0u);
  std::string bytes = FileOf(self);
  EXPECT_EQ(bytes.find(KelSignature), std::string::npos);
  EXPECT_EQ(bytes.find(ZipSignature), std::string::npos);
  EXPECT_NE(bytes.find(std::string(1, '\0') + KelSignature.substr(1)), std::string::npos);
  EXPECT_NE(bytes.find(std::string(1, '\0') + ZipSignature.substr(1) + std::string(18, '\0')),
            std::string::npos);
}
