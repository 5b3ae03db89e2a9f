#include "removal/batch_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/log.h"
#include "fs/log_file.h"
#include "support/log_lines.h"
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

std::string SystemFolder() {
  char folder[MAX_PATH];
  GetSystemDirectoryA(folder, MAX_PATH);
  return folder;
}

// A folder holding a stand-in program, which is no program at all: nothing
// may run it.
struct StandIn {
  explicit StandIn(const std::wstring& name)
      : folder(FreshFolder(name)), program(folder + L"\\uninstall.exe") {
    WriteBytes(program, "x");
  }
  std::wstring folder;
  std::wstring program;
};

// Holds the stand-in program as a scanner does, without delete sharing,
// and starts a silent batch file on it; the batch file's name.
std::wstring StartOnHeld(const StandIn& product, HANDLE& hold) {
  hold = CreateFileW(product.program.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     0, nullptr);
  std::wstring temp = product.folder + L" temp";
  CreateDirectoryW(temp.c_str(), nullptr);
  BatchNames names;
  wchar_t batch[MAX_PATH] = {};
  bool started =
      hold != INVALID_HANDLE_VALUE &&
      PrepareBatchNames(product.program.c_str(), product.folder.c_str(), temp.c_str(), names) &&
      WriteCleanupBatch(temp.c_str(), names, true, batch, MAX_PATH) && StartHiddenBatch(batch);
  EXPECT_TRUE(started) << product.folder.c_str();
  return batch;
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
  for (int i = 0; i < DeleteTries; ++i)
    expected += "\"" + SystemFolder() + "\\ping.exe\" -n 2 127.0.0.1 >nul\r\ndel \"" + p +
                "\\uninstall.exe\"\r\nif not exist \"" + p + "\\uninstall.exe\" goto done\r\n";
  expected += ":done\r\nrd \"" + p + "\"\r\ndel \"" + p + "\\Uninstall_Kel." +
              std::to_string(GetCurrentProcessId()) + ".Bat\"\r\n";
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
  // The interpreter's command line takes any character; a batch line does
  // not. A temporary folder with no form for a line is still one to start
  // the batch file in.
  wchar_t start[MAX_PATH];
  ASSERT_TRUE(StartForm(hostile.c_str(), start, MAX_PATH));
  EXPECT_EQ(start, hostile);
  StandIn plain(L"plain product");
  ASSERT_TRUE(PrepareBatchNames(plain.program.c_str(), plain.folder.c_str(),
                                (hostile + L"\\").c_str(), names));
  EXPECT_FALSE(names.tempNamed);
  EXPECT_EQ(names.tempFolder, hostile + L"\\");
  ASSERT_TRUE(
      PrepareBatchNames(plain.program.c_str(), plain.folder.c_str(), L"C:\\tests\\", names));
  EXPECT_TRUE(names.tempNamed);
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
  EXPECT_FALSE(StartForm(deep.c_str(), start, MAX_PATH));
  EXPECT_FALSE(PrepareBatchNames(plain.program.c_str(), plain.folder.c_str(), deep.c_str(), names));
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
  GetSystemDirectoryW(names.systemFolder, MAX_PATH);
  names.tempNamed = true;
  wchar_t batch[MAX_PATH];
  EXPECT_FALSE(WriteCleanupBatch(folder.c_str(), names, true, batch, MAX_PATH));
  EXPECT_EQ(GetFileAttributesW(BatchName(folder).c_str()), INVALID_FILE_ATTRIBUTES);
}

// A scanner may hold the program after the run. The tries go on for about
// half a minute, each after a real pause that runs nothing of the product's
// (the stand-in is no program), and end as soon as the program is gone:
// held for 12 s, it goes with its folder; held for good, the batch file
// gives up in its time and deletes itself.
TEST(BatchFile, TriesForAboutHalfAMinute) {
  StandIn released(L"held for 12 s"), kept(L"held for good");
  HANDLE releasedHold = nullptr, keptHold = nullptr;
  std::wstring first = StartOnHeld(released, releasedHold);
  std::wstring second = StartOnHeld(kept, keptHold);
  DWORD started = GetTickCount();
  Sleep(12000);
  EXPECT_TRUE(Exists(released.program));
  CloseHandle(releasedHold);
  EXPECT_TRUE(WaitUntilGone(released.folder, 30000)) << "program and folder left";
  EXPECT_TRUE(WaitUntilGone(first, 30000));

  EXPECT_TRUE(WaitUntilGone(second, 180000)) << "the tries never end";
  // Pauses that returned at once would end the tries in a few seconds.
  EXPECT_GE(GetTickCount() - started, 25000ul);
  EXPECT_TRUE(Exists(kept.program));
  CloseHandle(keptHold);
}

// Without a form of its temporary folder for a line, the batch file does
// all but deleting itself: it stays, and the log says so.
TEST(BatchFile, ABatchFileNoLineCanNameStaysAndIsLogged) {
  StandIn product(L"unnamed temp product");
  std::wstring temp = FreshFolder(L"\u4e34\u65f6 temp");
  std::wstring log = FreshFolder(L"unnamed temp log") + L"\\run.log";
  SetShortPathLookupForTesting(NoShortNames);
  BatchNames names;
  bool prepared = PrepareBatchNames(product.program.c_str(), product.folder.c_str(),
                                    (temp + L"\\").c_str(), names);
  SetShortPathLookupForTesting(nullptr);
  ASSERT_TRUE(prepared);
  ASSERT_TRUE(OpenLogFile(log.c_str(), nullptr, 0));
  EXPECT_TRUE(StartCleanupBatch(temp.c_str(), names, true));
  LogEnd(0);
  EXPECT_TRUE(WaitUntilGone(product.folder, 30000)) << "program and folder left";
  Sleep(1000);  // the batch file's last lines
  std::wstring batch = BatchName(temp);
  EXPECT_TRUE(Exists(batch));
  std::vector<LogLine> lines = ReadLog(log);
  for (const char* what : {"batch file written", "batch file started"})
    EXPECT_TRUE(HasLine(lines, what, Utf8(batch), "done")) << what;
  EXPECT_TRUE(HasLine(lines, "left", Utf8(batch), "no batch line can name it"));
}
