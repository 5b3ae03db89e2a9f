#include "removal/uninstall_run.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "removal/batch_file.h"
#include "support/restart_list.h"
#include "support/test_files.h"

namespace {

struct ListFile {
  explicit ListFile(const std::wstring& path, const std::string& lines) : path_(path) {
    WriteBytes(path, lines);
    stream = _wfopen(path.c_str(), L"rb");
  }
  ~ListFile() {
    if (stream) fclose(stream);
  }
  std::wstring path_;
  FILE* stream;
};

std::wstring WithSeparator(const std::wstring& folder) { return folder + L"\\"; }

// The scheduled paths, each followed by "||".
std::wstring PendingNames() {
  std::wstring names;
  for (const std::wstring& name : ScheduledForRestart()) names += name + L"||";
  return names;
}

}  // namespace

TEST(IsInsideFolder, RefusesEveryWayOut) {
  std::wstring folder = WithSeparator(FreshFolder(L"inside"));
  CreateDirectoryW((folder + L"sub").c_str(), nullptr);
  EXPECT_TRUE(IsInsideFolder(folder.c_str(), L"file.dll"));
  EXPECT_TRUE(IsInsideFolder(folder.c_str(), L"sub\\file.dll"));
  EXPECT_TRUE(IsInsideFolder(folder.c_str(), L"sub/../file.dll"));
  EXPECT_TRUE(IsInsideFolder(folder.c_str(), L" leading blank"));

  EXPECT_FALSE(IsInsideFolder(folder.c_str(), L"..\\..\\windows\\system.ini"));
  EXPECT_FALSE(IsInsideFolder(folder.c_str(), L"sub\\..\\..\\other"));
  EXPECT_FALSE(IsInsideFolder(folder.c_str(), L"C:\\windows\\system.ini"));
  EXPECT_FALSE(IsInsideFolder(folder.c_str(), L"C:windows"));
  EXPECT_FALSE(IsInsideFolder(folder.c_str(), L"\\windows\\system.ini"));
  EXPECT_FALSE(IsInsideFolder(folder.c_str(), L"\\\\server\\share\\x"));
  EXPECT_FALSE(IsInsideFolder(folder.c_str(), L"/windows"));
  EXPECT_FALSE(IsInsideFolder(folder.c_str(), L"."));
  EXPECT_FALSE(IsInsideFolder(folder.c_str(), L"sub\\.."));
  EXPECT_FALSE(IsInsideFolder(folder.c_str(), L"file.dll:stream"));
}

// Folders before their files: the first pass removes the files, the next
// ones the folders from the inside out; a pass that leaves nothing to retry
// is the last. Lines that lead out of the folder are skipped while the
// files they name stay.
TEST(RemoveListedFiles, RemovesInPassesAndStaysInsideTheFolder) {
  std::wstring outside = FreshFolder(L"outside");
  std::wstring product = FreshFolder(L"outside\\product");
  std::wstring folder = WithSeparator(product);
  CreateDirectoryW((folder + L"Formats").c_str(), nullptr);
  CreateDirectoryW((folder + L"Formats\\deep").c_str(), nullptr);
  WriteBytes(folder + L"Formats\\deep\\a.txt", "a");
  WriteBytes(folder + L"b.dll", "b");
  WriteBytes(folder + L"readonly.txt", "r");
  SetFileAttributesW((folder + L"readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  WriteBytes(outside + L"\\victim.ini", "must stay");
  WriteBytes(folder + L"kept.txt", "not listed");

  ListFile list(outside + L"\\Uninstall.lst",
                "Formats\r\nFormats\\deep\r\n\r\n   \t\r\nb.dll  \t\r\nFormats\\deep\\a.txt\r\n"
                "..\\victim.ini\r\n" +
                    std::string(3000, 'x') + "\\..\\..\\victim.ini\r\n" +
                    "readonly.txt\nmissing.txt\r");
  ASSERT_NE(list.stream, nullptr);
  ListRemoval removal = RemoveListedFiles(list.stream, folder.c_str(), L"uninstall.exe");
  EXPECT_FALSE(removal.restartPending);
  EXPECT_EQ(removal.passes, 3u);
  EXPECT_FALSE(Exists(folder + L"Formats"));
  EXPECT_FALSE(Exists(folder + L"b.dll"));
  EXPECT_FALSE(Exists(folder + L"readonly.txt"));
  EXPECT_TRUE(Exists(folder + L"kept.txt"));
  EXPECT_EQ(ReadBytes(outside + L"\\victim.ini"), "must stay");
}

// A file held open without delete sharing is renamed out of the way and
// scheduled for deletion at restart, and so are the folders that hold it,
// up to the program's folder and each after its content; the program and
// the list never are.
TEST(RemoveListedFiles, SchedulesLockedFilesForRestart) {
  std::wstring product = FreshFolder(L"locked");
  std::wstring folder = WithSeparator(product);
  WriteBytes(folder + L"a.dll", "locked");
  WriteBytes(folder + L"a.dll.0.tmp", "older leftover");
  WriteBytes(folder + L"uninstall.exe", "program");
  CreateDirectoryW((folder + L"Formats").c_str(), nullptr);
  WriteBytes(folder + L"Formats\\b.fmt", "locked");
  HANDLE formatLock = CreateFileW((folder + L"Formats\\b.fmt").c_str(), GENERIC_READ,
                                  FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  HANDLE lock = CreateFileW((folder + L"a.dll").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(lock, INVALID_HANDLE_VALUE);
  HANDLE programLock = CreateFileW((folder + L"uninstall.exe").c_str(), GENERIC_READ,
                                   FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);

  ListFile list(product + L"\\Uninstall.lst",
                "Formats\r\nFormats/b.fmt\r\na.dll\r\nuninstall.exe\r\nUninstall.lst\r\n");
  EXPECT_TRUE(RemoveListedFiles(list.stream, folder.c_str(), L"UNINSTALL.EXE").restartPending);
  CloseHandle(lock);
  CloseHandle(programLock);
  CloseHandle(formatLock);

  EXPECT_TRUE(Exists(folder + L"a.dll.0.tmp"));
  EXPECT_TRUE(Exists(folder + L"uninstall.exe"));
  std::wstring names = PendingNames();
  // The rename may be refused while the file is open; then its own name is
  // scheduled.
  bool scheduled = names.find(L"locked\\a.dll.1.tmp") != std::wstring::npos ||
                   names.find(L"locked\\a.dll|") != std::wstring::npos;
  EXPECT_TRUE(scheduled) << std::string(names.begin(), names.end());
  size_t format = names.find(L"\\locked\\Formats\\b.fmt");
  size_t formats = names.find(L"\\locked\\Formats||");
  size_t last = names.rfind(L"\\locked||");
  EXPECT_NE(format, std::wstring::npos);
  EXPECT_LT(format, formats);
  EXPECT_LT(formats, last);
  EXPECT_NE(last, std::wstring::npos);
  EXPECT_EQ(names.find(L"\\tests||"), std::wstring::npos) << "only the program's folder and below";
  EXPECT_EQ(names.find(L"uninstall.exe"), std::wstring::npos);
  EXPECT_EQ(names.find(L"Uninstall.lst"), std::wstring::npos);

  ClearScheduledForRestart();
}

// A program in a drive's root: its locked file is scheduled, the root is
// not.
TEST(RemoveListedFiles, NeverSchedulesADrivesRoot) {
  WriteBytes(L"C:\\pelodra-locked.dat", "locked");
  HANDLE lock = CreateFileW(L"C:\\pelodra-locked.dat", GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  std::wstring listFolder = FreshFolder(L"root list");
  ListFile list(listFolder + L"\\Uninstall.lst", "pelodra-locked.dat\r\n");
  EXPECT_TRUE(RemoveListedFiles(list.stream, L"C:\\", L"uninstall.exe").restartPending);
  CloseHandle(lock);

  std::wstring names = PendingNames();
  ClearScheduledForRestart();
  DeleteFileW(L"C:\\pelodra-locked.dat");
  DeleteFileW(L"C:\\pelodra-locked.dat.0.tmp");
  EXPECT_NE(names.find(L"C:\\pelodra-locked.dat"), std::wstring::npos)
      << std::string(names.begin(), names.end());
  EXPECT_EQ(names.find(L":|"), std::wstring::npos);
  EXPECT_EQ(names.find(L":\\|"), std::wstring::npos);
}

TEST(BatchFile, WritesNamesTheInterpreterReadsBack) {
  std::wstring folder = FreshFolder(L"50%off \u00dcbersetzer");
  wchar_t path[MAX_PATH];
  BatchPath(folder.c_str(), path, MAX_PATH);
  EXPECT_STREQ(path, L"C:\\tests\\50%%off \u00dcbersetzer");

  std::wstring chinese = FreshFolder(L"\u4e2d\u6587");
  BatchPath(chinese.c_str(), path, MAX_PATH);
  EXPECT_EQ(wcschr(path, L'\u4e2d'), nullptr) << "short form expected";
  wchar_t longForm[MAX_PATH];
  GetLongPathNameW(path, longForm, MAX_PATH);
  EXPECT_STREQ(longForm, chinese.c_str());

  std::wstring batch = folder + L"\\Uninstall_Kel.Bat";
  std::wstring program = folder + L"\\uninstall.exe";
  ASSERT_TRUE(WriteCleanupBatch(batch.c_str(), program.c_str(), folder.c_str(), true));
  std::string bytes = ReadBytes(batch);
  // U+00DC is 0x9A in code page 437, 0xDC in 1252.
  std::string p = "C:\\tests\\50%%off \x9A" "bersetzer";
  std::string expected = "\"" + p + "\\uninstall.exe\" /wait\r\n";
  for (int i = 0; i < 5; ++i)
    expected += "del \"" + p + "\\uninstall.exe\"\r\nrd \"" + p + "\"\r\nif not exist \"" + p +
                "\\uninstall.exe\" goto done\r\n";
  expected += ":done\r\ndel \"" + p + "\\Uninstall_Kel.Bat\"\r\n";
  EXPECT_EQ(bytes, expected);

  ASSERT_TRUE(WriteCleanupBatch(batch.c_str(), program.c_str(), folder.c_str(), false));
  EXPECT_NE(ReadBytes(batch).find("if exist \"" + p + "\\uninstall.exe\" \"" + p +
                                  "\\uninstall.exe\" /warning\r\n"),
            std::string::npos);
}
