#include "removal/batch_file.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_files.h"

namespace {

std::wstring Form(const std::wstring& path) {
  wchar_t form[MAX_PATH];
  return CommandForm(path.c_str(), form, MAX_PATH) ? form : L"none";
}

DWORD WINAPI NoShortNames(const wchar_t*, wchar_t*, DWORD) { return 0; }

std::wstring BatchName(const std::wstring& folder, const wchar_t* counter = L"") {
  return folder + L"\\Uninstall_Kel." + std::to_wstring(GetCurrentProcessId()) + counter + L".Bat";
}

}  // namespace

TEST(BatchFile, WritesNamesTheInterpreterReadsBack) {
  std::wstring folder = FreshFolder(L"50%off \u00dcbersetzer");
  std::wstring program = folder + L"\\uninstall.exe";
  WriteBytes(program, "x");
  EXPECT_EQ(Form(folder), folder);
  std::wstring chinese = FreshFolder(L"\u4e2d\u6587");
  std::wstring form = Form(chinese);
  EXPECT_EQ(form.find(L'\u4e2d'), std::wstring::npos) << "short form expected";
  wchar_t longForm[MAX_PATH];
  GetLongPathNameW(form.c_str(), longForm, MAX_PATH);
  EXPECT_EQ(longForm, chinese);

  BatchNames names;
  ASSERT_TRUE(PrepareBatchNames(program.c_str(), folder.c_str(), (folder + L"\\").c_str(), names));
  wchar_t batch[MAX_PATH];
  ASSERT_TRUE(WriteCleanupBatch(folder.c_str(), names, true, batch, MAX_PATH));
  EXPECT_EQ(batch, BatchName(folder));
  // U+00DC is 0x9A in code page 437, 0xDC in 1252; "%" is doubled.
  std::string p =
      "C:\\tests\\50%%off \x9A"
      "bersetzer";
  std::string expected;
  for (int i = 0; i < 5; ++i)
    expected += "\"" + p + "\\uninstall.exe\" /wait\r\ndel \"" + p + "\\uninstall.exe\"\r\nrd \"" +
                p + "\"\r\nif not exist \"" + p + "\\uninstall.exe\" goto done\r\n";
  expected += ":done\r\ndel \"" + p + "\\Uninstall_Kel." + std::to_string(GetCurrentProcessId()) +
              ".Bat\"\r\n";
  EXPECT_EQ(ReadBytes(batch), expected);
}

// A name goes into the batch file as it is, or in a short form that names
// the same folder, or not at all: a full-width quote, ampersand or colon
// never turns into batch syntax, a folder whose name ends in a blank is not
// taken for its twin, and a path too long for any command line is no name.
TEST(BatchFile, NamesOnlyWhatItCanWriteExactly) {
  std::wstring twin = FreshFolder(L"Tr");
  std::wstring blank = L"\\\\?\\" + twin + L" ";
  CreateDirectoryW(blank.c_str(), nullptr);
  std::wstring form = Form(twin + L" ");
  EXPECT_NE(form, twin);
  wchar_t longForm[MAX_PATH];
  GetLongPathNameW(form.c_str(), longForm, MAX_PATH);
  EXPECT_EQ(longForm, twin + L" ");

  std::wstring hostile =
      FreshFolder(L"Pel\uff02 & echo INJECTED \uff1e C\uff1a\uff3cpwned.txt & \uff02");
  std::wstring program = hostile + L"\\uninstall.exe";
  WriteBytes(program, "x");
  EXPECT_NE(Form(hostile), L"none") << "through its short form";
  SetShortPathLookupForTesting(NoShortNames);
  EXPECT_EQ(Form(hostile), L"none");
  EXPECT_EQ(Form(twin + L" "), L"none");
  BatchNames names;
  EXPECT_FALSE(PrepareBatchNames(program.c_str(), hostile.c_str(), L"C:\\tests\\", names));
  SetShortPathLookupForTesting(nullptr);

  std::wstring deep = FreshFolder(L"deep");
  std::wstring shortened = deep;
  while (deep.size() < 300) {
    deep += L"\\abcdefgh";
    CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr);
  }
  while (shortened.size() < 400) {
    shortened += L"\\abcdefghijklmnopqrstuvwxyz";
    CreateDirectoryW((L"\\\\?\\" + shortened).c_str(), nullptr);
  }
  EXPECT_EQ(Form(deep), L"none");
  EXPECT_LT(Form(shortened).size(), static_cast<size_t>(MAX_PATH));
  RemoveTree(blank);
}

// A batch file of another run keeps its name and its text.
TEST(BatchFile, EachRunWritesAFileOfItsOwn) {
  std::wstring folder = FreshFolder(L"two runs");
  std::wstring program = folder + L"\\uninstall.exe";
  WriteBytes(program, "x");
  WriteBytes(BatchName(folder), "another run");
  BatchNames names;
  ASSERT_TRUE(PrepareBatchNames(program.c_str(), folder.c_str(), folder.c_str(), names));
  wchar_t first[MAX_PATH], second[MAX_PATH];
  ASSERT_TRUE(WriteCleanupBatch(folder.c_str(), names, false, first, MAX_PATH));
  ASSERT_TRUE(WriteCleanupBatch(folder.c_str(), names, false, second, MAX_PATH));
  EXPECT_EQ(first, BatchName(folder, L".1"));
  EXPECT_EQ(second, BatchName(folder, L".2"));
  EXPECT_EQ(ReadBytes(BatchName(folder)), "another run");
  EXPECT_NE(ReadBytes(second).find("/warning"), std::string::npos);
}

// A line the console's code page cannot hold fails the whole batch file:
// nothing is reported written, and no part of it is left behind.
TEST(BatchFile, AFileThatCannotBeWrittenWholeIsNoBatchFile) {
  std::wstring folder = FreshFolder(L"unwritable line");
  BatchNames names{};
  wcscpy(names.program, L"C:\\tests\\\u4e2d\\uninstall.exe");
  wcscpy(names.folder, L"C:\\tests\\\u4e2d");
  wcscpy(names.tempFolder, (folder + L"\\").c_str());
  wchar_t batch[MAX_PATH];
  EXPECT_FALSE(WriteCleanupBatch(folder.c_str(), names, true, batch, MAX_PATH));
  EXPECT_EQ(GetFileAttributesW(BatchName(folder).c_str()), INVALID_FILE_ATTRIBUTES);
}

// A program that is slow to end keeps its file past the first pause; the
// batch file pauses before every try, so the program and its folder still
// go once it lets go.
TEST(BatchFile, PausesBeforeEveryTry) {
  std::wstring folder = FreshFolder(L"slow to end");
  std::wstring temp = FreshFolder(L"slow to end temp");
  std::wstring program = folder + L"\\uninstall.exe";
  wchar_t source[MAX_PATH * 4] = {};
  GetEnvironmentVariableW(L"UNINSTALL_EXE", source, MAX_PATH * 4);
  ASSERT_TRUE(CopyFileW(source, program.c_str(), FALSE));
  HANDLE held = CreateFileW(program.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  BatchNames names;
  ASSERT_TRUE(PrepareBatchNames(program.c_str(), folder.c_str(), (temp + L"\\").c_str(), names));
  wchar_t batch[MAX_PATH];
  ASSERT_TRUE(WriteCleanupBatch(temp.c_str(), names, true, batch, MAX_PATH));
  ASSERT_TRUE(StartHiddenBatch(batch));
  Sleep(3500);
  CloseHandle(held);
  EXPECT_TRUE(WaitUntilGone(folder, 30000)) << "program and folder left";
}
