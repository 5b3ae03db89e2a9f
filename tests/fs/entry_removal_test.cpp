#include "fs/entry_removal.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "fs/path_names.h"
#include "support/test_files.h"

// A folder whose name ends in a blank, beside its twin without: the plain
// name reaches the twin, the exact name the folder itself.
TEST(ExactName, ReachesANameWindowsWouldCut) {
  std::wstring twin = FreshFolder(L"Tr");
  std::wstring blank = L"\\\\?\\" + twin + L" ";
  RemoveTree(blank);
  ASSERT_TRUE(CreateDirectoryW(blank.c_str(), nullptr));
  wchar_t exact[MaxPathChars];
  ASSERT_TRUE(ExactName((twin + L" ").c_str(), exact, MaxPathChars));
  EXPECT_EQ(exact, blank);
  EXPECT_TRUE(SameFileObject(exact, blank.c_str()));
  EXPECT_FALSE(SameFileObject((twin + L" ").c_str(), blank.c_str()));
  ASSERT_TRUE(ExactName(twin.c_str(), exact, MaxPathChars));
  EXPECT_EQ(exact, twin);
  EXPECT_FALSE(ExactName(twin.c_str(), exact, twin.size()));
  RemoveTree(blank);
}
