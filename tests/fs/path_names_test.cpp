#include "fs/path_names.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "support/test_files.h"

TEST(PathNames, BoundedCopyAndAppendAlwaysTerminate) {
  wchar_t buffer[8];
  wmemset(buffer, L'#', 8);
  BoundedCopy(buffer, L"abc", 0);
  EXPECT_EQ(buffer[0], L'#');
  BoundedCopy(buffer, L"abc", 1);
  EXPECT_STREQ(buffer, L"");
  EXPECT_EQ(buffer[1], L'#');
  BoundedCopy(buffer, L"abcdefghij", 6);
  EXPECT_STREQ(buffer, L"abcde");
  EXPECT_EQ(buffer[6], L'#');

  BoundedCopy(buffer, L"ab", 8);
  BoundedAppend(buffer, L"cdefghij", 8);
  EXPECT_STREQ(buffer, L"abcdefg");
  BoundedAppend(buffer, L"x", 8);
  EXPECT_STREQ(buffer, L"abcdefg");
  BoundedAppend(buffer, L"x", 3);
  EXPECT_STREQ(buffer, L"abcdefg");
}

TEST(PathNames, TrailingSeparatorAndJoin) {
  wchar_t path[16] = L"";
  AddTrailingSeparator(path, 16);
  EXPECT_STREQ(path, L"");
  wcscpy(path, L"C:\\");
  AddTrailingSeparator(path, 16);
  EXPECT_STREQ(path, L"C:\\");
  wcscpy(path, L"C:\\dir");
  AddTrailingSeparator(path, 7);
  EXPECT_STREQ(path, L"C:\\dir");
  AddTrailingSeparator(path, 8);
  EXPECT_STREQ(path, L"C:\\dir\\");
  wcscpy(path, L"C:/dir/");
  AddTrailingSeparator(path, 16);
  EXPECT_STREQ(path, L"C:/dir/\\");

  wchar_t joined[16] = L"C:\\a";
  JoinPath(joined, L"b.txt", joined, 16);
  EXPECT_STREQ(joined, L"C:\\a\\b.txt");
  JoinPath(L"C:\\a\\", L"long name.txt", joined, 10);
  EXPECT_STREQ(joined, L"C:\\a\\long");
}

TEST(PathNames, NameParts) {
  const wchar_t* samples[][2] = {
      {L"C:\\dir\\file", L"file"}, {L"C:name", L"name"}, {L"C:", L""}, {L"dir/", L""},
      {L"a/b\\c", L"c"},           {L"", L""},
  };
  for (auto& sample : samples) EXPECT_STREQ(FindNamePart(sample[0]), sample[1]) << sample[0];

  const wchar_t* cuts[][2] = {
      {L"C:\\dir\\file", L"C:\\dir"},
      {L"C:\\file", L"C:\\"},
      {L"C:file", L"C:"},
      {L"\\file", L"\\"},
      {L"dir\\file", L"dir"},
      {L"file", L""},
  };
  for (auto& cut : cuts) {
    wchar_t path[32];
    wcscpy(path, cut[0]);
    RemoveNamePart(path);
    EXPECT_STREQ(path, cut[1]) << cut[0];
  }

  wchar_t path[32] = L"C:\\a\\setup.exe";
  ReplaceNamePart(path, L"Uninstall.lst", 32);
  EXPECT_STREQ(path, L"C:\\a\\Uninstall.lst");
  ReplaceNamePart(path, L"Uninstall.lst", 10);
  EXPECT_STREQ(path, L"C:\\a\\Unin");
  wcscpy(path, L"x.exe");
  ReplaceNamePart(path, L"y", 32);
  EXPECT_STREQ(path, L"y");
}

TEST(PathNames, Classification) {
  EXPECT_TRUE(IsDiskLetter(L"c:"));
  EXPECT_TRUE(IsDiskLetter(L"i:\\"));
  EXPECT_FALSE(IsDiskLetter(L"1:"));
  EXPECT_FALSE(IsDiskLetter(L""));
  EXPECT_TRUE(HasWildcards(L"a?b"));
  EXPECT_TRUE(HasWildcards(L"*"));
  EXPECT_FALSE(HasWildcards(L"plain"));
  EXPECT_FALSE(HasWildcards(nullptr));
  EXPECT_EQ(*LastCharOf(L"abc"), L'c');
  EXPECT_EQ(*LastCharOf(L""), L'\0');
}

TEST(PathNames, LongForms) {
  wchar_t out[MaxPathChars];
  EXPECT_FALSE(MakeLongPath(L"", out, MaxPathChars));
  ASSERT_TRUE(MakeLongPath(L"C:\\x", out, MaxPathChars));
  EXPECT_STREQ(out, L"\\\\?\\C:\\x");
  ASSERT_TRUE(MakeLongPath(L"\\\\srv\\sh\\x", out, MaxPathChars));
  EXPECT_STREQ(out, L"\\\\?\\UNC\\srv\\sh\\x");
  EXPECT_FALSE(MakeLongPath(L"C:\\x", out, 8));
  EXPECT_TRUE(MakeLongPath(L"C:\\x", out, 9));

  std::wstring longest = L"C:\\" + std::wstring(2042, L'n');
  ASSERT_EQ(longest.size(), 2045u);
  EXPECT_FALSE(MakeLongPath(longest.c_str(), out, MaxPathChars));

  std::wstring work = FreshFolder(L"path_names_cwd");
  wchar_t saved[MaxPathChars];
  GetCurrentDirectoryW(MaxPathChars, saved);
  ASSERT_TRUE(SetCurrentDirectoryW(work.c_str()));
  EXPECT_TRUE(MakeLongPath(L"\\x", out, MaxPathChars));
  EXPECT_STREQ(out, L"\\\\?\\C:\\x");
  EXPECT_TRUE(MakeLongPath(L".\\x", out, MaxPathChars));
  EXPECT_EQ(std::wstring(out), L"\\\\?\\" + work + L"\\x");
  EXPECT_TRUE(MakeLongPath(L"a\\b", out, MaxPathChars));
  EXPECT_EQ(std::wstring(out), L"\\\\?\\" + work + L"\\a\\b");
  ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\"));
  EXPECT_TRUE(MakeLongPath(L"x", out, MaxPathChars));
  EXPECT_STREQ(out, L"\\\\?\\C:\\x");
  EXPECT_FALSE(MakeLongPath(L"x", out, 8));
  SetCurrentDirectoryW(saved);
}
