#include "text/disk_file.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "base/error_state.h"
#include "support/test_files.h"

namespace {

std::set<std::wstring> NamesIn(const std::wstring& folder) {
  std::set<std::wstring> names;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((L"\\\\?\\" + folder + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    std::wstring name = data.cFileName;
    if (name != L"." && name != L"..") names.insert(name);
  } while (FindNextFileW(find, &data));
  FindClose(find);
  return names;
}

// A folder whose full name is well beyond MAX_PATH, made through the long
// form.
std::wstring DeepFolder(const std::wstring& base) {
  std::wstring folder = base;
  for (int i = 0; i < 5; ++i) {
    folder += L"\\" + std::wstring(60, static_cast<wchar_t>(L'a' + i));
    CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr);
  }
  return folder;
}

// Whether another handle could open the file with the given access while
// the DiskFile holds it (the other side shares everything).
bool OthersCanOpen(const std::wstring& path, DWORD access) {
  HANDLE other =
      CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, 0, nullptr);
  if (other == INVALID_HANDLE_VALUE) return false;
  CloseHandle(other);
  return true;
}

}  // namespace

TEST(DiskFile, WritesClosesAndReadsBack) {
  std::wstring path = FreshFolder(L"disk_file_rw") + L"\\data.bin";
  {
    DiskFile file;
    ASSERT_TRUE(file.Create(path.c_str(), CreateShareRead));
    EXPECT_TRUE(file.IsOpened());
    EXPECT_TRUE(file.Write("hello, world", 12));
    EXPECT_TRUE(file.Close());
    EXPECT_FALSE(file.IsOpened());
    EXPECT_TRUE(file.Close());
  }
  EXPECT_EQ(ReadBytes(path), "hello, world");

  DiskFile file;
  ASSERT_TRUE(file.Open(path.c_str(), 0));
  char buffer[64] = {};
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 12);
  EXPECT_EQ(std::string(buffer, 12), "hello, world");
  EXPECT_EQ(file.Read(buffer, sizeof buffer), 0);
  // Opened for reading only.
  EXPECT_FALSE(file.Write("x", 1));
}

TEST(DiskFile, MissingFileAndClosedObject) {
  std::wstring folder = FreshFolder(L"disk_file_missing");
  DiskFile file;
  EXPECT_FALSE(file.Open((folder + L"\\none.txt").c_str(), 0));
  EXPECT_FALSE(file.IsOpened());
  EXPECT_EQ(file.Tell(), -1);
  EXPECT_EQ(file.FileLength(), -1);
  char buffer[4];
  EXPECT_EQ(file.Read(buffer, sizeof buffer), -1);
  EXPECT_TRUE(file.Write(buffer, 0));
  EXPECT_FALSE(file.Write(buffer, 1));
  EXPECT_FALSE(file.Create((folder + L"\\no\\such\\folder.txt").c_str(), 0));
}

TEST(DiskFile, CreatedFileIsDeletedUnlessClosed) {
  std::wstring folder = FreshFolder(L"disk_file_cleanup");
  {
    DiskFile file;
    ASSERT_TRUE(file.Create((folder + L"\\abandoned.ini").c_str(), 0x11));
    ASSERT_TRUE(file.Write("half", 4));
  }
  EXPECT_FALSE(Exists(folder + L"\\abandoned.ini"));
  {
    DiskFile file;
    ASSERT_TRUE(file.Create((folder + L"\\kept.ini").c_str(), 0x11));
    ASSERT_TRUE(file.Write("whole", 5));
    ASSERT_TRUE(file.Close());
  }
  EXPECT_EQ(ReadBytes(folder + L"\\kept.ini"), "whole");
  {
    // An opened file is only closed, never deleted.
    DiskFile file;
    ASSERT_TRUE(file.Open((folder + L"\\kept.ini").c_str(), OpenReadWrite));
  }
  EXPECT_TRUE(Exists(folder + L"\\kept.ini"));
}

TEST(DiskFile, TrailingDotNamesGoThroughTheLongForm) {
  std::wstring folder = FreshFolder(L"disk_file_dot");
  ASSERT_TRUE(WriteBytes(folder + L"\\name", "other file"));
  {
    DiskFile file;
    ASSERT_TRUE(file.Create((folder + L"\\name.").c_str(), 0));
    ASSERT_TRUE(file.Write("dotted", 6));
    ASSERT_TRUE(file.Close());
  }
  EXPECT_EQ(NamesIn(folder), (std::set<std::wstring>{L"name", L"name."}));
  EXPECT_EQ(ReadBytes(folder + L"\\name"), "other file");
  EXPECT_EQ(ReadBytes(folder + L"\\name."), "dotted");
  {
    // The clean-up must delete the file it made, not the one that the plain
    // name reaches.
    DiskFile file;
    ASSERT_TRUE(file.Create((folder + L"\\name.").c_str(), 0));
  }
  EXPECT_EQ(NamesIn(folder), (std::set<std::wstring>{L"name"}));
  EXPECT_EQ(ReadBytes(folder + L"\\name"), "other file");
  {
    DiskFile file;
    ASSERT_TRUE(file.Create((folder + L"\\plain.").c_str(), CreateTryPlainName));
    ASSERT_TRUE(file.Close());
  }
  EXPECT_EQ(NamesIn(folder), (std::set<std::wstring>{L"name", L"plain"}));
}

TEST(DiskFile, PathsBeyondMaxPath) {
  std::wstring folder = DeepFolder(FreshFolder(L"disk_file_deep"));
  std::wstring path = folder + L"\\file.txt";
  ASSERT_GT(path.size(), 300u);
  {
    DiskFile file;
    ASSERT_TRUE(file.Create(path.c_str(), 0));
    ASSERT_TRUE(file.Write("deep", 4));
    ASSERT_TRUE(file.Close());
  }
  DiskFile file;
  ASSERT_TRUE(file.Open(path.c_str(), 0));
  EXPECT_EQ(file.FileLength(), 4);
  RemoveTree(L"C:\\tests\\disk_file_deep");
}

TEST(DiskFile, SeekTellAndLength) {
  std::wstring path = FreshFolder(L"disk_file_seek") + L"\\hundred.bin";
  std::string bytes(100, '\0');
  for (int i = 0; i < 100; ++i) bytes[i] = static_cast<char>(i);
  ASSERT_TRUE(WriteBytes(path, bytes));

  DiskFile file;
  ASSERT_TRUE(file.Open(path.c_str(), 0));
  EXPECT_EQ(file.Tell(), 0);
  file.Seek(-16, FILE_END);
  EXPECT_EQ(file.Tell(), 84);
  file.Seek(-4, FILE_CURRENT);
  EXPECT_EQ(file.Tell(), 80);
  file.Seek(5, FILE_CURRENT);
  EXPECT_EQ(file.Tell(), 85);
  EXPECT_EQ(file.FileLength(), 100);
  EXPECT_EQ(file.Tell(), 85);
  unsigned char c = 0;
  EXPECT_EQ(file.Read(&c, 1), 1);
  EXPECT_EQ(c, 85);
  // Before the start: the position stays.
  file.Seek(-200, FILE_END);
  EXPECT_EQ(file.Tell(), 86);
  file.Seek(3, FILE_BEGIN);
  EXPECT_EQ(file.Tell(), 3);
}

TEST(DiskFile, FilesBeyondFourGigabytes) {
  std::wstring path = FreshFolder(L"disk_file_huge") + L"\\huge.bin";
  const int64_t beyond = (int64_t{5} << 30) + 7;
  DiskFile file;
  ASSERT_TRUE(file.Create(path.c_str(), 0));
  file.Seek(beyond, FILE_BEGIN);
  EXPECT_EQ(file.Tell(), beyond);
  ASSERT_TRUE(file.Write("z", 1));
  EXPECT_EQ(file.FileLength(), beyond + 1);
  file.Seek(-1, FILE_END);
  EXPECT_EQ(file.Tell(), beyond);
  char c = 0;
  EXPECT_EQ(file.Read(&c, 1), 1);
  EXPECT_EQ(c, 'z');
  // Left unclosed: the destructor removes the big file.
}

TEST(DiskFile, ModeBitsDecideAccessAndSharing) {
  std::wstring path = FreshFolder(L"disk_file_modes") + L"\\shared.bin";
  ASSERT_TRUE(WriteBytes(path, "0123456789"));
  {
    DiskFile file;
    ASSERT_TRUE(file.Open(path.c_str(), 0));
    EXPECT_TRUE(OthersCanOpen(path, GENERIC_READ));
    EXPECT_FALSE(OthersCanOpen(path, GENERIC_WRITE));
  }
  {
    DiskFile file;
    ASSERT_TRUE(file.Open(path.c_str(), OpenShareWrite));
    EXPECT_TRUE(OthersCanOpen(path, GENERIC_WRITE));
  }
  {
    DiskFile file;
    ASSERT_TRUE(file.Open(path.c_str(), OpenDenyRead));
    EXPECT_FALSE(OthersCanOpen(path, GENERIC_READ));
  }
  {
    DiskFile file;
    ASSERT_TRUE(file.Open(path.c_str(), OpenReadWrite | OpenWriteOnly));
    char c;
    EXPECT_EQ(file.Read(&c, 1), -1);
    EXPECT_TRUE(file.Write("AB", 2));
    EXPECT_TRUE(file.Close());
  }
  EXPECT_EQ(ReadBytes(path), "AB23456789");
  {
    DiskFile file;
    ASSERT_TRUE(file.Create(path.c_str(), 0));
    EXPECT_FALSE(OthersCanOpen(path, GENERIC_READ));
    ASSERT_TRUE(file.Close());
    ASSERT_TRUE(file.Create(path.c_str(), CreateShareRead | CreateWriteOnly));
    EXPECT_TRUE(OthersCanOpen(path, GENERIC_READ));
    char c;
    EXPECT_EQ(file.Read(&c, 1), -1);
    EXPECT_TRUE(file.Close());
  }
}
