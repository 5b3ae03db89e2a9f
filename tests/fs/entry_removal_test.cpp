#include "fs/entry_removal.h"

#include <gtest/gtest.h>

#include <string>

#include "fs/path_names.h"
#include "support/host_side.h"
#include "support/test_files.h"

namespace {

// Where every test's folder lies.
const wchar_t* const Tests = L"C:\\tests";

}  // namespace

// Files and folders go, read-only ones too; a folder that still holds
// something stays, and so does a file another program holds open.
TEST(RemoveEntry, RemovesWhatWindowsLetsGoOf) {
  std::wstring folder = FreshFolder(L"remove entry");
  WriteBytes(folder + L"\\plain.txt", "x");
  WriteBytes(folder + L"\\readonly.txt", "x");
  SetFileAttributesW((folder + L"\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  CreateDirectoryW((folder + L"\\full").c_str(), nullptr);
  WriteBytes(folder + L"\\full\\inside.txt", "x");
  WriteBytes(folder + L"\\open.txt", "x");
  HANDLE open = CreateFileW((folder + L"\\open.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                            nullptr, OPEN_EXISTING, 0, nullptr);

  EXPECT_EQ(RemoveEntry((folder + L"\\plain.txt").c_str(), Tests), Removal::Removed);
  EXPECT_EQ(RemoveEntry((folder + L"\\readonly.txt").c_str(), Tests), Removal::Removed);
  EXPECT_EQ(RemoveEntry((folder + L"\\full").c_str(), Tests), Removal::FolderKept);
  EXPECT_EQ(RemoveEntry((folder + L"\\open.txt").c_str(), Tests), Removal::InUse);
  EXPECT_EQ(RemoveEntry((folder + L"\\missing.txt").c_str(), Tests), Removal::Missing);
  CloseHandle(open);
  EXPECT_EQ(RemoveEntry((folder + L"\\full\\inside.txt").c_str(), Tests), Removal::Removed);
  EXPECT_EQ(RemoveEntry((folder + L"\\full").c_str(), Tests), Removal::Removed);
  EXPECT_FALSE(Exists(folder + L"\\readonly.txt"));
  EXPECT_FALSE(Exists(folder + L"\\full"));
}

// Wine follows a link made on the host whatever a program asks: such a
// link is left, and so is what it points at, its attributes included.
TEST(RemoveEntry, NeverGoesThroughALink) {
  // Links left by an earlier run lead into the targets' folder: that is
  // made after.
  std::wstring folder = FreshFolder(L"links");
  std::wstring outside = FreshFolder(L"link targets");
  WriteBytes(outside + L"\\precious.txt", "keep");
  ASSERT_TRUE(MakeHostLink(outside + L"\\precious.txt", folder + L"\\file link"));
  ASSERT_TRUE(MakeHostLink(outside, folder + L"\\folder link"));
  CreateDirectoryW((outside + L"\\empty").c_str(), nullptr);
  ASSERT_TRUE(MakeHostLink(outside + L"\\empty", folder + L"\\empty link"));

  EXPECT_EQ(RemoveEntry((folder + L"\\file link").c_str(), Tests), Removal::Link);
  EXPECT_EQ(RemoveEntry((folder + L"\\folder link").c_str(), Tests), Removal::Link);
  EXPECT_EQ(RemoveEntry((folder + L"\\empty link").c_str(), Tests), Removal::Link);
  EXPECT_FALSE(ClearAttributes((folder + L"\\file link").c_str(), Tests, FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(ReadBytes(outside + L"\\precious.txt"), "keep");
  EXPECT_TRUE(Exists(outside + L"\\empty"));
  for (const wchar_t* link : {L"\\file link", L"\\folder link", L"\\empty link"})
    RemoveHostLink(folder + link);
}

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

namespace {

std::wstring ShortForm(const std::wstring& path) {
  wchar_t buffer[MAX_PATH];
  DWORD n = GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
  return n > 0 && n < MAX_PATH ? buffer : L"";
}

}  // namespace

// A folder named in its short form, or reached through a link on the way,
// has a final path of another text than its name: its files still go, and
// a link among them is still told apart and left with what it points at,
// a file beside it.
TEST(RemoveEntry, TellsLinksApartInAFolderNamedOtherwise) {
  // A link left by an earlier run leads into the folder made after it.
  std::wstring links = FreshFolder(L"links to a folder");
  std::wstring folder = FreshFolder(L"folder with a long name");
  const wchar_t* files[] = {L"\\a.txt", L"\\b.txt", L"\\c.txt", L"\\a long file name.txt"};
  for (const wchar_t* name : files) WriteBytes(folder + name, "x");
  WriteBytes(folder + L"\\kept.txt", "keep");
  ASSERT_TRUE(MakeHostLink(folder + L"\\kept.txt", folder + L"\\link.txt"));
  ASSERT_TRUE(MakeHostLink(folder, links + L"\\via"));
  std::wstring shortFolder = ShortForm(folder);
  std::wstring shortFile = ShortForm(folder + L"\\a long file name.txt");
  ASSERT_NE(shortFolder, L"");
  ASSERT_NE(shortFolder, folder);
  ASSERT_NE(shortFile, shortFolder + L"\\a long file name.txt") << "the file's part is short too";

  EXPECT_EQ(RemoveEntry((shortFolder + L"\\a.txt").c_str(), Tests), Removal::Removed);
  EXPECT_EQ(RemoveEntry((shortFolder + L"\\link.txt").c_str(), Tests), Removal::Link);
  EXPECT_EQ(RemoveEntry(shortFile.c_str(), Tests), Removal::Removed);
  EXPECT_EQ(RemoveEntry((links + L"\\via\\b.txt").c_str(), Tests), Removal::Removed);
  EXPECT_EQ(RemoveEntry((links + L"\\via\\link.txt").c_str(), Tests), Removal::Link);
  EXPECT_EQ(RemoveEntry((shortFolder + L"\\c.txt").c_str(), Tests), Removal::Removed);
  for (const wchar_t* name : files) EXPECT_FALSE(Exists(folder + name)) << name;
  EXPECT_EQ(ReadBytes(folder + L"\\kept.txt"), "keep");
  RemoveHostLink(links + L"\\via");
  RemoveHostLink(folder + L"\\link.txt");
}

// A folder name that has come to reach another folder since its last
// entry: the entry there is removed, its namesake in the first one kept.
TEST(RemoveEntry, FollowsAFolderNameToWhereItNowLeads) {
  std::wstring links = FreshFolder(L"moved folder links");
  std::wstring first = FreshFolder(L"moved folder first");
  std::wstring second = FreshFolder(L"moved folder second");
  for (const std::wstring& folder : {first, second})
    for (const wchar_t* name : {L"\\one.txt", L"\\two.txt"}) WriteBytes(folder + name, "x");
  std::wstring via = links + L"\\via";
  ASSERT_TRUE(MakeHostLink(first, via));
  EXPECT_EQ(RemoveEntry((via + L"\\one.txt").c_str(), Tests), Removal::Removed);
  RemoveHostLink(via);
  ASSERT_TRUE(MakeHostLink(second, via));
  EXPECT_EQ(RemoveEntry((via + L"\\two.txt").c_str(), Tests), Removal::Removed);
  RemoveHostLink(via);
  EXPECT_FALSE(Exists(first + L"\\one.txt"));
  EXPECT_TRUE(Exists(first + L"\\two.txt"));
  EXPECT_TRUE(Exists(second + L"\\one.txt"));
  EXPECT_FALSE(Exists(second + L"\\two.txt"));
}

// A folder inside the product that has come to lead out of it since it
// was checked: what lies there is left, the product's own entries go.
TEST(RemoveEntry, NeverRemovesOutsideTheFolderItIsGiven) {
  std::wstring product = FreshFolder(L"confined product");
  std::wstring outside = FreshFolder(L"confined outside");
  CreateDirectoryW((product + L"\\sub").c_str(), nullptr);
  WriteBytes(product + L"\\sub\\one.txt", "x");
  WriteBytes(product + L"\\two.txt", "x");
  WriteBytes(outside + L"\\two.txt", "keep");
  EXPECT_EQ(RemoveEntry((product + L"\\sub\\one.txt").c_str(), product.c_str()), Removal::Removed);
  EXPECT_EQ(RemoveEntry((product + L"\\sub").c_str(), product.c_str()), Removal::Removed);
  ASSERT_TRUE(MakeHostLink(outside, product + L"\\sub"));
  EXPECT_EQ(RemoveEntry((product + L"\\sub\\two.txt").c_str(), product.c_str()), Removal::Link);
  EXPECT_FALSE(ClearAttributes((product + L"\\sub\\two.txt").c_str(), product.c_str(),
                               FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(RemoveEntry((product + L"\\two.txt").c_str(), product.c_str()), Removal::Removed);
  RemoveHostLink(product + L"\\sub");
  EXPECT_EQ(ReadBytes(outside + L"\\two.txt"), "keep");
}

// A read-only program that is running cannot go: it keeps its attribute.
// Once it has ended, the attributes asked are cleared, the others kept.
TEST(RemoveEntry, PutsBackTheAttributeOfAFileItCannotRemove) {
  std::wstring folder = FreshFolder(L"running read-only");
  wchar_t source[MAX_PATH * 4] = {};
  GetEnvironmentVariableW(L"UNINSTALL_EXE", source, MAX_PATH * 4);
  std::wstring program = folder + L"\\running.exe";
  ASSERT_TRUE(CopyFileW(source, program.c_str(), FALSE));
  const DWORD kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
  ASSERT_TRUE(SetFileAttributesW(program.c_str(), kept));
  std::wstring commandLine = L"\"" + program + L"\" /wait /S";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process));
  EXPECT_EQ(RemoveEntry(program.c_str(), Tests), Removal::Refused);
  EXPECT_EQ(GetFileAttributesW(program.c_str()) & kept, kept);
  WaitForSingleObject(process.hProcess, 30000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);

  EXPECT_TRUE(ClearAttributes(program.c_str(), Tests, FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(GetFileAttributesW(program.c_str()) & kept, static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
  EXPECT_EQ(RemoveEntry(program.c_str(), Tests), Removal::Removed);
}
