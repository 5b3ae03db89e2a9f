#include "fs/file_ops.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <cwchar>
#include <string>

#include "fs/path_names.h"
#include "support/test_files.h"

namespace {

DWORD LongFormAttributes(const std::wstring& path) {
  return GetFileAttributesW((L"\\\\?\\" + path).c_str());
}

// Restores the current folder when a test has changed it.
struct CurrentFolder {
  wchar_t saved[MaxPathChars];
  CurrentFolder() { GetCurrentDirectoryW(MaxPathChars, saved); }
  ~CurrentFolder() { SetCurrentDirectoryW(saved); }
};

}  // namespace

TEST(FileOps, AttributesExistenceAndErasure) {
  std::wstring folder = FreshFolder(L"file_ops_attributes");
  std::wstring file = folder + L"\\plain.txt";
  std::wstring dotted = folder + L"\\dotted.";
  ASSERT_TRUE(WriteBytes(file, "x"));
  ASSERT_TRUE(WriteBytes(dotted, "y"));

  EXPECT_TRUE(PathExists(folder.c_str()));
  EXPECT_TRUE(IsDirectory(GetAttributes(folder.c_str())));
  EXPECT_TRUE(PathExists(file.c_str()));
  EXPECT_FALSE(IsDirectory(GetAttributes(file.c_str())));
  // The plain form of this name is refused; the long form reaches it.
  EXPECT_EQ(GetFileAttributesW(dotted.c_str()), InvalidAttributes);
  EXPECT_TRUE(PathExists(dotted.c_str()));
  EXPECT_FALSE(PathExists((folder + L"\\missing").c_str()));
  EXPECT_EQ(GetAttributes(L""), InvalidAttributes);
  // The missing file's attribute word has every bit set, 0x10 included.
  EXPECT_FALSE(IsDirectory(GetAttributes((folder + L"\\missing").c_str())));

  EXPECT_TRUE(SetAttributes(dotted.c_str(), FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(LongFormAttributes(dotted) & FILE_ATTRIBUTE_HIDDEN, DWORD{FILE_ATTRIBUTE_HIDDEN});
  EXPECT_FALSE(SetAttributes((folder + L"\\missing").c_str(), FILE_ATTRIBUTE_HIDDEN));

  EXPECT_TRUE(EraseFile(dotted.c_str()));
  EXPECT_FALSE(Exists(dotted));
  EXPECT_TRUE(EraseFile(file.c_str()));
  EXPECT_FALSE(EraseFile(file.c_str()));
  EXPECT_FALSE(EraseFile(folder.c_str()));
}

TEST(FileOps, CreateFolderResults) {
  std::wstring folder = FreshFolder(L"file_ops_folders");
  std::wstring made = folder + L"\\made";
  EXPECT_EQ(CreateFolder(made.c_str(), false, 0), FolderCreated);
  EXPECT_TRUE(IsDirectory(GetFileAttributesW(made.c_str())));
  EXPECT_EQ(CreateFolder(made.c_str(), false, 0), FolderNotCreated);
  EXPECT_EQ(CreateFolder((folder + L"\\no\\parent").c_str(), false, 0), FolderParentMissing);

  std::wstring blank = folder + L"\\made ";
  EXPECT_EQ(CreateFolder(blank.c_str(), true, FILE_ATTRIBUTE_HIDDEN), FolderCreated);
  ASSERT_TRUE(IsDirectory(LongFormAttributes(blank)));
  // The attributes went to the new folder, not to its plain-named twin.
  EXPECT_EQ(LongFormAttributes(blank) & FILE_ATTRIBUTE_HIDDEN, DWORD{FILE_ATTRIBUTE_HIDDEN});
  EXPECT_EQ(GetFileAttributesW(made.c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
  EXPECT_EQ(CreateFolder(blank.c_str(), false, 0), FolderNotCreated);

  std::wstring dotted = folder + L"\\alone.";
  EXPECT_EQ(CreateFolder(dotted.c_str(), false, 0), FolderCreated);
  EXPECT_TRUE(IsDirectory(LongFormAttributes(dotted)));
  EXPECT_FALSE(Exists(folder + L"\\alone"));
  EXPECT_EQ(CreateFolder(dotted.c_str(), false, 0), FolderNotCreated);

  std::wstring deep = folder;
  for (int i = 0; i < 6; ++i) {
    deep += L"\\" + std::wstring(50, static_cast<wchar_t>(L'k' + i));
    ASSERT_EQ(CreateFolder(deep.c_str(), false, 0), FolderCreated);
  }
  EXPECT_GT(deep.size(), 300u);
  EXPECT_TRUE(PathExists(deep.c_str()));
}

TEST(FileOps, WindowsVersion) {
  // The test prefix runs as Windows 7.
  EXPECT_EQ(GetWindowsVersion(), 0x0601u);
  EXPECT_EQ(GetWindowsVersion(), 0x0601u);
}

TEST(FileOps, AppDataFolder) {
  wchar_t buffer[MaxPathChars];
  wchar_t appData[MAX_PATH];
  ASSERT_TRUE(SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, FALSE));
  std::wstring expected = std::wstring(appData) + L"\\Pelodra";
  // Only an empty folder can be removed; another test's files keep it.
  RemoveDirectoryW(expected.c_str());
  if (!Exists(expected)) {
    EXPECT_FALSE(GetAppDataFolder(buffer, MaxPathChars, false));
    EXPECT_EQ(std::wstring(buffer), expected);
    EXPECT_FALSE(Exists(expected));
  }
  EXPECT_TRUE(GetAppDataFolder(buffer, MaxPathChars, true));
  EXPECT_EQ(std::wstring(buffer), expected);
  EXPECT_TRUE(IsDirectory(GetFileAttributesW(expected.c_str())));
  EXPECT_TRUE(GetAppDataFolder(buffer, MaxPathChars, false));

  // A small buffer holds a cut, terminated path and nothing beyond it.
  wchar_t small[12];
  wmemset(small, L'#', 12);
  EXPECT_FALSE(GetAppDataFolder(small, 8, false));
  EXPECT_EQ(std::wstring(small), expected.substr(0, 7));
  EXPECT_EQ(small[8], L'#');
}

TEST(FileOps, StreamsOnLongAndDottedNames) {
  std::wstring folder = FreshFolder(L"file_ops_streams");
  for (std::wstring name : {folder + L"\\list.", folder + L"\\" + std::wstring(250, L's') + L"\\" +
                                                     std::wstring(30, L't')}) {
    CreateDirectoryW((L"\\\\?\\" + name.substr(0, name.rfind(L'\\'))).c_str(), nullptr);
    FILE* out = OpenStream(name.c_str(), L"wb");
    ASSERT_NE(out, nullptr);
    fputs("line\r\n", out);
    fclose(out);
    FILE* in = OpenStream(name.c_str(), L"rb");
    ASSERT_NE(in, nullptr);
    char text[16] = {};
    EXPECT_EQ(fread(text, 1, sizeof text, in), 6u);
    fclose(in);
    EXPECT_STREQ(text, "line\r\n");
  }
  EXPECT_EQ(OpenStream((folder + L"\\missing.txt").c_str(), L"rb"), nullptr);
}
