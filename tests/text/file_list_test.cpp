// How lines of "Uninstall.lst" become names, and which never do.
#include "text/file_list.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring EntryOf(const wchar_t* line, unsigned* depth = nullptr) {
  wchar_t entry[4096];
  unsigned parts = 0;
  if (!ListEntryName(L"C:\\P\\", line, entry, 4096, parts)) return L"refused";
  if (depth) *depth = parts;
  return entry;
}

}  // namespace

TEST(ListEntryName, KeepsEveryLineInsideTheFolder) {
  unsigned depth = 0;
  EXPECT_EQ(EntryOf(L"sub/../x/./y.dll", &depth), L"C:\\P\\x\\y.dll");
  EXPECT_EQ(depth, 2u);
  // A leading backslash is the folder's own, as the installer writes it.
  EXPECT_EQ(EntryOf(L"\\Formats\\zip.fmt"), L"C:\\P\\Formats\\zip.fmt");
  EXPECT_EQ(EntryOf(L"\\\\server\\share"), L"C:\\P\\server\\share");
  EXPECT_EQ(EntryOf(L" leading blank"), L"C:\\P\\ leading blank");
  for (const wchar_t* line :
       {L"..\\x", L"sub\\..\\..\\x", L"a\\..\\..\\P\\x", L"C:\\windows", L"C:x", L"file:stream",
        L".", L"sub\\..", L"a*", L"a?b", L"a<b", L"tab\there", L"dir.\\x", L"dir \\x", L"x."})
    EXPECT_EQ(EntryOf(line), L"refused") << line;
  wchar_t small[10];
  EXPECT_FALSE(ListEntryName(L"C:\\P\\", L"abcdef", small, 10, depth));
}
