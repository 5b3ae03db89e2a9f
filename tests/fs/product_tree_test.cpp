#include "fs/product_tree.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fs/native_files.h"
#include "support/host_side.h"
#include "support/test_files.h"

namespace {

std::wstring ShortForm(const std::wstring& path) {
  wchar_t buffer[MAX_PATH];
  DWORD n = GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
  return n > 0 && n < MAX_PATH ? buffer : L"";
}

// The program started from `path`, waiting a moment before it ends.
struct Running {
  explicit Running(const std::wstring& path) {
    wchar_t source[MAX_PATH * 4] = {};
    GetEnvironmentVariableW(L"UNINSTALL_EXE", source, MAX_PATH * 4);
    CopyFileW(source, path.c_str(), FALSE);
    std::wstring commandLine = L"\"" + path + L"\" /wait /S";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    started = CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process);
  }
  ~Running() { Wait(); }
  void Wait() {
    if (!started) return;
    WaitForSingleObject(process.hProcess, 30000);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    started = false;
  }
  PROCESS_INFORMATION process{};
  bool started;
};

}  // namespace

// Files and folders go, read-only ones too; a folder that still holds
// something stays, and so does a file another program holds open.
TEST(ProductTree, RemovesWhatWindowsLetsGoOf) {
  std::wstring folder = FreshFolder(L"remove entry");
  WriteBytes(folder + L"\\plain.txt", "x");
  WriteBytes(folder + L"\\readonly.txt", "x");
  SetFileAttributesW((folder + L"\\readonly.txt").c_str(), FILE_ATTRIBUTE_READONLY);
  CreateDirectoryW((folder + L"\\full").c_str(), nullptr);
  WriteBytes(folder + L"\\full\\inside.txt", "x");
  WriteBytes(folder + L"\\open.txt", "x");
  HANDLE open = CreateFileW((folder + L"\\open.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  ProductTree tree;
  ASSERT_TRUE(tree.Open((folder + L"\\").c_str()));
  EXPECT_EQ(tree.Remove(L"plain.txt"), Removal::Removed);
  EXPECT_EQ(tree.Remove(L"readonly.txt"), Removal::Removed);
  EXPECT_EQ(tree.Remove(L"full"), Removal::FolderKept);
  EXPECT_EQ(tree.Remove(L"open.txt"), Removal::InUse);
  EXPECT_EQ(tree.Remove(L"missing.txt"), Removal::Missing);
  EXPECT_EQ(tree.Remove(L"missing\\inside.txt"), Removal::Missing);
  CloseHandle(open);
  EXPECT_EQ(tree.Remove(L"full\\inside.txt"), Removal::Removed);
  // The folder kept for its entry is let go before it is removed itself.
  EXPECT_EQ(tree.Remove(L"full"), Removal::Removed);
  EXPECT_FALSE(Exists(folder + L"\\readonly.txt"));
  EXPECT_FALSE(Exists(folder + L"\\full"));
}

// Wine follows a link made on the host whatever a program asks: such a
// link is left, and so is what it points at, its attributes included; so
// is everything reached through a folder link on the way.
TEST(ProductTree, NeverGoesThroughALink) {
  // Links left by an earlier run lead into the targets' folder: that is
  // made after.
  std::wstring folder = FreshFolder(L"links");
  std::wstring outside = FreshFolder(L"link targets");
  WriteBytes(outside + L"\\precious.txt", "keep");
  ASSERT_TRUE(MakeHostLink(outside + L"\\precious.txt", folder + L"\\file link"));
  ASSERT_TRUE(MakeHostLink(outside, folder + L"\\folder link"));
  CreateDirectoryW((outside + L"\\empty").c_str(), nullptr);
  ASSERT_TRUE(MakeHostLink(outside + L"\\empty", folder + L"\\empty link"));
  ProductTree tree;
  ASSERT_TRUE(tree.Open(folder.c_str()));
  for (const wchar_t* name : {L"file link", L"folder link", L"empty link", L"file link"})
    EXPECT_EQ(tree.Remove(name), Removal::Link) << name;
  for (const wchar_t* name : {L"folder link\\precious.txt", L"folder link\\empty"})
    EXPECT_EQ(tree.Remove(name), Removal::LinkOnTheWay) << name;
  EXPECT_FALSE(tree.ClearAttributes(L"file link", FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(tree.ClearAttributes(L"folder link\\precious.txt", FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(ReadBytes(outside + L"\\precious.txt"), "keep");
  EXPECT_TRUE(Exists(outside + L"\\empty"));
  for (const wchar_t* link : {L"\\file link", L"\\folder link", L"\\empty link"})
    RemoveHostLink(folder + link);
}

// A folder named in its short form, or reached through a link on the way
// to it, has a final name of another text than its name: its entries
// still go, a short form among them, and a link among them is still told
// apart and left with what it points at, a file beside it.
TEST(ProductTree, TellsLinksApartInAFolderNamedOtherwise) {
  // A link left by an earlier run leads into the folder made after it.
  std::wstring links = FreshFolder(L"links to a folder");
  std::wstring folder = FreshFolder(L"folder with a long name");
  const wchar_t* files[] = {L"\\a.txt", L"\\b.txt", L"\\c.txt", L"\\a long file name.txt"};
  for (const wchar_t* name : files) WriteBytes(folder + name, "x");
  CreateDirectoryW((folder + L"\\a long folder name").c_str(), nullptr);
  WriteBytes(folder + L"\\a long folder name\\d.txt", "x");
  WriteBytes(folder + L"\\kept.txt", "keep");
  ASSERT_TRUE(MakeHostLink(folder + L"\\kept.txt", folder + L"\\link.txt"));
  ASSERT_TRUE(MakeHostLink(folder, links + L"\\via"));
  std::wstring shortFolder = ShortForm(folder);
  std::wstring shortFile = ShortForm(folder + L"\\a long file name.txt");
  std::wstring shortSub = ShortForm(folder + L"\\a long folder name");
  ASSERT_NE(shortFolder, L"");
  ASSERT_NE(shortFolder, folder);
  ASSERT_NE(shortFile, shortFolder + L"\\a long file name.txt") << "the file's part is short too";
  {
    ProductTree tree;
    ASSERT_TRUE(tree.Open(shortFolder.c_str()));
    EXPECT_EQ(tree.Remove(L"a.txt"), Removal::Removed);
    EXPECT_EQ(tree.Remove(L"link.txt"), Removal::Link);
    EXPECT_EQ(tree.Remove(shortFile.substr(shortFolder.size() + 1).c_str()), Removal::Removed);
    std::wstring inShortSub = shortSub.substr(shortFolder.size() + 1) + L"\\d.txt";
    EXPECT_EQ(tree.Remove(inShortSub.c_str()), Removal::Removed);
  }
  {
    ProductTree tree;
    ASSERT_TRUE(tree.Open((links + L"\\via").c_str()));
    EXPECT_EQ(tree.Remove(L"b.txt"), Removal::Removed);
    EXPECT_EQ(tree.Remove(L"link.txt"), Removal::Link);
    EXPECT_EQ(tree.Remove(L"c.txt"), Removal::Removed);
  }
  for (const wchar_t* name : files) EXPECT_FALSE(Exists(folder + name)) << name;
  EXPECT_FALSE(Exists(folder + L"\\a long folder name\\d.txt"));
  EXPECT_EQ(ReadBytes(folder + L"\\kept.txt"), "keep");
  RemoveHostLink(links + L"\\via");
  RemoveHostLink(folder + L"\\link.txt");
}

// A folder of the product that has come to lead out of it since it was
// opened, its own contents moved aside: nothing there or in the moved
// folder is removed through it, the product's own entries go.
TEST(ProductTree, NeverRemovesOutsideTheFolderItOpened) {
  std::wstring product = FreshFolder(L"confined product");
  std::wstring outside = FreshFolder(L"confined outside");
  CreateDirectoryW((product + L"\\sub").c_str(), nullptr);
  for (const wchar_t* name : {L"\\sub\\one.txt", L"\\sub\\two.txt", L"\\three.txt"})
    WriteBytes(product + name, "x");
  WriteBytes(outside + L"\\two.txt", "keep");
  ProductTree tree;
  ASSERT_TRUE(tree.Open(product.c_str()));
  EXPECT_EQ(tree.Remove(L"sub\\one.txt"), Removal::Removed);
  ASSERT_TRUE(MoveFileW((product + L"\\sub").c_str(), (product + L"\\moved").c_str()));
  ASSERT_TRUE(MakeHostLink(outside, product + L"\\sub"));
  // Through the folder still held, and through the name anew.
  EXPECT_EQ(tree.Remove(L"sub\\two.txt"), Removal::Link);
  EXPECT_EQ(tree.Remove(L"three.txt"), Removal::Removed);
  EXPECT_EQ(tree.Remove(L"sub\\two.txt"), Removal::LinkOnTheWay);
  EXPECT_FALSE(tree.ClearAttributes(L"sub\\two.txt", FILE_ATTRIBUTE_READONLY));
  RemoveHostLink(product + L"\\sub");
  EXPECT_EQ(ReadBytes(outside + L"\\two.txt"), "keep");
  EXPECT_TRUE(Exists(product + L"\\moved\\two.txt"));
  EXPECT_FALSE(Exists(product + L"\\three.txt"));
}

// A read-only program that is running cannot go: it keeps its attribute,
// and it is held to be renamed beside itself and named for the restart by
// the final names of it and its folders. Once it has ended, the attributes
// asked are cleared, the others kept. The names come from
// GetFinalPathNameByHandleW and, as on Windows XP, from the handle's
// native name.
TEST(ProductTree, HoldsWhatItCannotRemoveUnderItsFinalName) {
  for (bool native : {false, true}) {
    SCOPED_TRACE(native ? "native names" : "final path names");
    UseNativeFinalNamesForTesting(native);
    std::wstring folder = FreshFolder(L"running read-only");
    CreateDirectoryW((folder + L"\\bin").c_str(), nullptr);
    std::wstring program = folder + L"\\bin\\running.exe";
    Running running(program);
    ASSERT_TRUE(running.started);
    const DWORD kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN;
    ASSERT_TRUE(SetFileAttributesW(program.c_str(), kept));
    ProductTree tree;
    ASSERT_TRUE(tree.Open(folder.c_str()));
    EXPECT_EQ(tree.Remove(L"bin\\running.exe"), Removal::Refused);
    EXPECT_EQ(GetFileAttributesW(program.c_str()) & kept, kept);
    ASSERT_EQ(tree.HeldDepth(), 2u);
    EXPECT_EQ(tree.RenameHeld(L"running.exe.0.tmp"), Rename::Done);
    WriteBytes(folder + L"\\bin\\running.exe.1.tmp", "taken");
    EXPECT_EQ(tree.RenameHeld(L"running.exe.1.tmp"), Rename::NameTaken);
    wchar_t name[FinalNameChars];
    const std::wstring expected[] = {L"\\\\?\\" + program + L".0.tmp",
                                     L"\\\\?\\" + folder + L"\\bin", L"\\\\?\\" + folder};
    for (unsigned level = 0; level <= tree.HeldDepth(); ++level) {
      ASSERT_TRUE(tree.HeldFinalName(level, name, FinalNameChars)) << level;
      EXPECT_EQ(name, expected[level]);
    }
    EXPECT_FALSE(tree.HeldFinalName(3, name, FinalNameChars));
    running.Wait();
    EXPECT_EQ(tree.Remove(L"bin\\running.exe.1.tmp"), Removal::Removed);
    EXPECT_EQ(tree.HeldDepth(), 0u);
    EXPECT_TRUE(tree.ClearAttributes(L"bin\\running.exe.0.tmp", FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(GetFileAttributesW((program + L".0.tmp").c_str()) & kept,
              static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(tree.Remove(L"bin\\running.exe.0.tmp"), Removal::Removed);
    EXPECT_EQ(tree.Remove(L"bin"), Removal::Removed);
  }
  UseNativeFinalNamesForTesting(false);
}

namespace {

// Stands in for NtSetInformationFile: answers the deletion at once with
// `exAnswer`, doing it the classic way when that is success, and passes
// every other call on.
LONG exAnswer;
std::vector<ULONG> classesAsked;

LONG WINAPI FakeSetInformation(HANDLE file, void* io, void* information, ULONG length,
                               ULONG informationClass) {
  using Set = LONG(WINAPI*)(HANDLE, void*, void*, ULONG, ULONG);
  static Set real = reinterpret_cast<Set>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtSetInformationFile")));
  classesAsked.push_back(informationClass);
  if (informationClass != 64) return real(file, io, information, length, informationClass);
  if (exAnswer < 0) return exAnswer;
  BOOLEAN remove = TRUE;
  return real(file, io, &remove, sizeof remove, 13);
}

}  // namespace

// Where Windows deletes at once it is asked first; a version that does not
// know how is not asked again, any other refusal is this entry's only, and
// the classic deletion follows.
TEST(ProductTree, FallsBackToTheClassicDeletion) {
  struct Case {
    LONG answer;
    Removal result;
    std::vector<ULONG> first, second;  // the classes asked for two entries
  };
  const LONG notImplemented = static_cast<LONG>(0xC0000002);
  const LONG invalidClass = static_cast<LONG>(0xC0000003);
  const LONG invalidParameter = static_cast<LONG>(0xC000000D);
  const LONG notEmpty = static_cast<LONG>(0xC0000101);
  const Case cases[] = {
      {0, Removal::Removed, {64}, {64}},
      {notImplemented, Removal::Removed, {64, 13}, {13}},
      {invalidClass, Removal::Removed, {64, 13}, {13}},
      {invalidParameter, Removal::Removed, {64, 13}, {64, 13}},
      {notEmpty, Removal::FolderKept, {64}, {64}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.answer);
    std::wstring folder = FreshFolder(L"dispositions");
    for (const wchar_t* name : {L"\\one.txt", L"\\two.txt"}) WriteBytes(folder + name, "x");
    SetInformationHookForTesting(FakeSetInformation);
    exAnswer = c.answer;
    ProductTree tree;
    ASSERT_TRUE(tree.Open(folder.c_str()));
    classesAsked.clear();
    EXPECT_EQ(tree.Remove(L"one.txt"), c.result);
    EXPECT_EQ(classesAsked, c.first);
    classesAsked.clear();
    EXPECT_EQ(tree.Remove(L"two.txt"), c.result);
    EXPECT_EQ(classesAsked, c.second);
    SetInformationHookForTesting(nullptr);
    EXPECT_EQ(Exists(folder + L"\\one.txt"), c.result != Removal::Removed);
  }
}

// Without its folder nothing is removed, and nothing is told apart.
TEST(ProductTree, AFolderThatCannotBeOpenedLeavesEverything) {
  ProductTree tree;
  EXPECT_FALSE(tree.Open(L"C:\\tests\\no such folder\\"));
  EXPECT_EQ(tree.Remove(L"a.txt"), Removal::Unchecked);
  EXPECT_FALSE(tree.ClearAttributes(L"a.txt", FILE_ATTRIBUTE_READONLY));
  EXPECT_EQ(tree.HeldDepth(), 0u);
}

// A folder whose name ends in a blank, beside its twin without: Wine names
// such a folder itself without its blank, its entries with it. Its entries
// go and its held file is named with the blank, the twin's stay.
TEST(ProductTree, AFolderNameEndingInABlankIsItsOwn) {
  std::wstring twin = FreshFolder(L"Tr2");
  std::wstring blank = L"\\\\?\\" + twin + L" ";
  RemoveTree(blank);
  ASSERT_TRUE(CreateDirectoryW(blank.c_str(), nullptr));
  for (const std::wstring& folder : {twin, blank}) {
    WriteBytes(folder + L"\\a.txt", "x");
    WriteBytes(folder + L"\\held.txt", "x");
  }
  HANDLE held = CreateFileW((blank + L"\\held.txt").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ProductTree tree;
  ASSERT_TRUE(tree.Open((twin + L" \\").c_str()));
  EXPECT_EQ(tree.Remove(L"a.txt"), Removal::Removed);
  EXPECT_EQ(tree.Remove(L"held.txt"), Removal::InUse);
  wchar_t name[FinalNameChars];
  ASSERT_TRUE(tree.HeldFinalName(tree.HeldDepth(), name, FinalNameChars));
  EXPECT_EQ(name, blank);
  CloseHandle(held);
  EXPECT_FALSE(Exists(blank + L"\\a.txt"));
  EXPECT_TRUE(Exists(twin + L"\\a.txt"));
  RemoveTree(blank);
}
