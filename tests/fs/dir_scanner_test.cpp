#include "fs/dir_scanner.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

#include "support/test_files.h"

namespace {

std::map<std::wstring, ScanEntry> ScanAll(const std::wstring& mask) {
  std::map<std::wstring, ScanEntry> entries;
  DirScanner scanner;
  scanner.SetMask(mask.c_str());
  ScanEntry entry;
  while (scanner.Next(entry)) entries[entry.name] = entry;
  EXPECT_FALSE(entry.error);
  return entries;
}

uint64_t Ticks(const FILETIME& time) {
  return (uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime;
}

// A file of `size` bytes that takes no room on the disk.
bool MakeHugeFile(const std::wstring& path, int64_t size) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER end;
  end.QuadPart = size;
  bool ok = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  CloseHandle(file);
  return ok;
}

}  // namespace

TEST(DirScanner, EmptyAndMissingFolders) {
  std::wstring folder = FreshFolder(L"scan_empty");
  DirScanner scanner;
  ScanEntry entry;
  EXPECT_FALSE(scanner.Next(entry));
  scanner.SetMask((folder + L"\\*").c_str());
  EXPECT_FALSE(scanner.Next(entry));
  EXPECT_FALSE(entry.error);
  scanner.SetMask((folder + L"\\missing\\*").c_str());
  EXPECT_FALSE(scanner.Next(entry));
  EXPECT_FALSE(entry.error);
  scanner.SetMask(L"C:\\tests\\bad<name>|\\*");
  EXPECT_FALSE(scanner.Next(entry));
  EXPECT_TRUE(entry.error);
}

TEST(DirScanner, ListsEntriesInTheCallersFolderForm) {
  std::wstring folder = FreshFolder(L"scan_entries");
  ASSERT_TRUE(WriteBytes(folder + L"\\one.txt", "12345"));
  ASSERT_TRUE(WriteBytes(folder + L"\\two.dat", ""));
  ASSERT_TRUE(WriteBytes(folder + L"\\trail.", "abc"));
  CreateDirectoryW((folder + L"\\sub").c_str(), nullptr);

  auto entries = ScanAll(folder + L"\\*");
  ASSERT_EQ(entries.size(), 4u);
  const ScanEntry& one = entries[folder + L"\\one.txt"];
  EXPECT_EQ(one.size, 5u);
  EXPECT_FALSE(one.isFolder);
  EXPECT_FALSE(one.isReparsePoint);
  EXPECT_NE(Ticks(one.rawWriteTime), 0u);
  EXPECT_EQ(one.modificationTime, Ticks(one.rawWriteTime) * 100);
  EXPECT_EQ(one.creationTime, Ticks(one.rawCreationTime) * 100);
  EXPECT_EQ(one.accessTime, Ticks(one.rawAccessTime) * 100);
  EXPECT_EQ(entries[folder + L"\\trail."].size, 3u);
  EXPECT_TRUE(entries[folder + L"\\sub"].isFolder);
  EXPECT_TRUE(entries.count(folder + L"\\two.dat"));

  auto texts = ScanAll(folder + L"\\*.txt");
  ASSERT_EQ(texts.size(), 1u);
  EXPECT_TRUE(texts.count(folder + L"\\one.txt"));
  // A relative mask gives relative names.
  wchar_t saved[MaxPathChars];
  GetCurrentDirectoryW(MaxPathChars, saved);
  ASSERT_TRUE(SetCurrentDirectoryW(L"C:\\tests"));
  auto relative = ScanAll(L"scan_entries\\t*");
  SetCurrentDirectoryW(saved);
  EXPECT_EQ(relative.size(), 2u);
  EXPECT_TRUE(relative.count(L"scan_entries\\two.dat"));
}

TEST(DirScanner, LongFormKeepsThePlainFolder) {
  // The plain form of a folder name ending in a blank is cut by the system,
  // so the scan has to open through the long form.
  std::wstring folder = FreshFolder(L"scan_long") + L"\\blank ";
  ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(folder + L"\\inner.txt", "x"));
  auto entries = ScanAll(folder + L"\\*");
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries.begin()->first, folder + L"\\inner.txt");

  ScanEntry entry;
  EXPECT_TRUE(ReadScanEntry((folder + L"\\inner.txt").c_str(), entry));
}

TEST(DirScanner, SingleFileRead) {
  std::wstring folder = FreshFolder(L"scan_single");
  ASSERT_TRUE(WriteBytes(folder + L"\\kelnew.dat", std::string(22, 'k')));
  ScanEntry entry;
  ASSERT_TRUE(ReadScanEntry((folder + L"\\kelnew.dat").c_str(), entry));
  EXPECT_EQ(std::wstring(entry.name), folder + L"\\kelnew.dat");
  EXPECT_EQ(entry.size, 22u);
  EXPECT_FALSE(entry.isFolder);
  EXPECT_TRUE(ReadScanEntry(folder.c_str(), entry));
  EXPECT_TRUE(entry.isFolder);
  // Wildcards are refused even where they would match.
  EXPECT_FALSE(ReadScanEntry((folder + L"\\kelnew.da?").c_str(), entry));
  EXPECT_FALSE(ReadScanEntry((folder + L"\\*").c_str(), entry));
  EXPECT_FALSE(entry.error);
  EXPECT_FALSE(ReadScanEntry((folder + L"\\missing.dat").c_str(), entry));
  EXPECT_FALSE(entry.error);
}

TEST(DirScanner, SizesBeyondFourGigabytes) {
  std::wstring folder = FreshFolder(L"scan_huge");
  const int64_t size = (int64_t{4} << 30) + 12345;
  ASSERT_TRUE(MakeHugeFile(folder + L"\\huge.bin", size));
  ScanEntry entry;
  ASSERT_TRUE(ReadScanEntry((folder + L"\\huge.bin").c_str(), entry));
  EXPECT_EQ(entry.size, static_cast<uint64_t>(size));
  auto entries = ScanAll(folder + L"\\*");
  EXPECT_EQ(entries[folder + L"\\huge.bin"].size, static_cast<uint64_t>(size));
  RemoveTree(folder);
}

TEST(DirScanner, NewMaskStartsAgainAndCloseEnds) {
  std::wstring folder = FreshFolder(L"scan_restart");
  for (const wchar_t* name : {L"a", L"b", L"c"}) ASSERT_TRUE(WriteBytes(folder + L"\\" + name, ""));
  DirScanner scanner;
  ScanEntry entry;
  scanner.SetMask((folder + L"\\*").c_str());
  ASSERT_TRUE(scanner.Next(entry));
  scanner.SetMask((folder + L"\\*").c_str());
  int count = 0;
  while (scanner.Next(entry)) ++count;
  EXPECT_EQ(count, 3);
  EXPECT_FALSE(entry.error);

  scanner.SetMask((folder + L"\\*").c_str());
  ASSERT_TRUE(scanner.Next(entry));
  scanner.Close();
  EXPECT_FALSE(scanner.Next(entry));
  scanner.Close();
}
