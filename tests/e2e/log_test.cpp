// Logs of real runs: the boxes of an interactive run, a log in the
// program's own folder, and names that are no place for a log.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/e2e.h"
#include "support/gui_driver.h"
#include "support/log_lines.h"
#include "support/restart_list.h"
#include "support/test_files.h"

namespace {

const wchar_t PipeName[] = L"\\\\.\\pipe\\pelodra log e2e";

void LayOut(const Installation& product, const std::string& moreLines = "") {
  CreateDirectoryW((product.folder + L"\\Formats").c_str(), nullptr);
  for (const wchar_t* name : {L"Pelodra.exe", L"Kel.txt", L"Formats\\zip.fmt"})
    WriteBytes(product.folder + L"\\" + name, "stand-in");
  WriteBytes(product.folder + L"\\Uninstall.lst",
             "Formats\r\nPelodra.exe\r\nKel.txt\r\nFormats\\zip.fmt\r\n" + moreLines +
                 "uninstall.exe\r\n");
}

std::wstring LogSwitch(const std::wstring& name) { return L"\"/log=" + name + L"\""; }

struct Outcome {
  DWORD exitCode = 0;
  std::vector<std::wstring> shown;
  bool folderGone = false;
};

// An uninstall answered Yes: how it ended, the boxes it showed, and
// whether the program's folder went.
Outcome Uninstall(const std::wstring& args) {
  Installation product = MakeInstallation(L"Pelodra log names");
  LayOut(product);
  Outcome outcome;
  RunResult run = RunProgram(product.exe, args, {}, 60000,
                             [&](DWORD process) { outcome.shown = AnswerBoxes(process, IDYES); });
  EXPECT_TRUE(run.finished);
  outcome.exitCode = run.exitCode;
  outcome.folderGone = WaitUntilGone(product.folder, 30000);
  return outcome;
}

}  // namespace

TEST(LogRuns, AnInteractiveRunLogsWhatItIsAndTheBoxesWithTheirAnswers) {
  Installation product = MakeInstallation(L"Pelodra log boxes");
  LayOut(product);
  std::wstring log = FreshFolder(L"log boxes") + L"\\run.log";
  std::vector<std::wstring> shown;
  RunResult run = RunProgram(product.exe, LogSwitch(log), {}, 60000,
                             [&](DWORD process) { shown = AnswerBoxes(process, IDNO); });
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 1u);
  ASSERT_EQ(shown.size(), 1u);

  std::vector<LogLine> lines = ReadLog(log);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0].what, "start");
  EXPECT_EQ(lines[0].where, Utf8(product.exe));
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  for (const char* part : {"version 5.61.1, Windows ", wow64 ? " 64-bit, " : " 32-bit, ",
                           "\"/log=C:\\tests\\log boxes\\run.log\""})
    EXPECT_NE(lines[0].result.find(part), std::string::npos) << part << " in " << lines[0].raw;
  EXPECT_EQ(CountLines(lines, "message"), 1u);
  for (const LogLine& line : lines) {
    if (line.what != "message") continue;
    EXPECT_NE(line.where.find("remove Pelodra"), std::string::npos) << line.raw;
    EXPECT_EQ(line.result, "No");
  }
  EXPECT_EQ(lines.back().what, "end");
  EXPECT_EQ(lines.back().result, "exit code 1 (cancelled)");
  RemoveTree(product.folder);
}

// Listed or not, the log is no file of the product's: it stays, and the
// folder with it, and the run is complete. A line the uninstall refuses
// is logged with the reason.
TEST(LogRuns, ALogInTheProgramsFolderStaysAndSoDoesTheFolder) {
  Installation product = MakeInstallation(L"Pelodra log inside");
  LayOut(product, "uninstall.log\r\n..\\outside.txt\r\n");
  std::wstring log = product.folder + L"\\uninstall.log";
  WriteBytes(log, "an earlier run\r\n");
  RunResult run = RunProgram(product.exe, L"/S " + LogSwitch(log), {}, 60000);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(WaitUntilGone(product.exe, 30000));
  Sleep(3000);  // the batch file's tries at the folder
  EXPECT_EQ(FilesMatching(product.folder + L"\\*"), 3) << "more than ., .. and the log";
  EXPECT_TRUE(Exists(log));
  EXPECT_TRUE(ScheduledForRestart().empty());

  std::vector<LogLine> lines = ReadLog(log);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0].raw, "an earlier run");
  EXPECT_EQ(lines[1].what, "start");
  EXPECT_TRUE(HasLine(lines, "kept", Utf8(log), "the log"));
  for (const LogLine& line : lines) {
    if (line.where == Utf8(log)) {
      EXPECT_EQ(line.what, "kept") << line.raw;
    }
  }
  EXPECT_TRUE(HasLine(lines, "deleted", Utf8(product.folder + L"\\Kel.txt"), "done"));
  EXPECT_TRUE(HasLine(lines, "refused", "..\\outside.txt", "no name inside the folder"));
  EXPECT_TRUE(HasLine(lines, "handed to the batch file", Utf8(product.exe), "done"));
  EXPECT_EQ(lines.back().what, "end");
  EXPECT_EQ(lines.back().result, "exit code 0 (done)");
  RemoveTree(product.folder);
}

// A log that cannot be made, may not be written or is no file: the run
// goes exactly as without one, and nothing is written anywhere.
TEST(LogRuns, NamesThatAreNoPlaceForALogChangeNothing) {
  std::wstring folder = FreshFolder(L"log bad names");
  std::wstring readOnly = folder + L"\\read only.log";
  WriteBytes(readOnly, "keep");
  SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
  HANDLE pipe = CreateNamedPipeW(PipeName, PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_NOWAIT, 1, 512,
                                 512, 0, nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);
  // Cut anywhere, this name would name a file that could be made.
  std::wstring longName = folder + L"\\u.log";
  while (longName.size() < 5000) longName += L"\\..\\u.log";

  Outcome plain = Uninstall(L"");
  ASSERT_EQ(plain.exitCode, 0u);
  ASSERT_TRUE(plain.folderGone);
  const std::wstring names[] = {
      folder + L"\\no such folder\\run.log", readOnly, L"NUL", L"CON", L"COM1", PipeName, longName};
  for (const std::wstring& name : names) {
    Outcome outcome = Uninstall(LogSwitch(name));
    EXPECT_EQ(outcome.exitCode, plain.exitCode) << name.c_str();
    EXPECT_EQ(outcome.shown, plain.shown) << name.c_str();
    EXPECT_TRUE(outcome.folderGone) << name.c_str();
  }
  EXPECT_EQ(FilesMatching(folder + L"\\*"), 3) << "more than ., .. and the read-only file";
  EXPECT_EQ(ReadBytes(readOnly), "keep");
  EXPECT_FALSE(ConnectNamedPipe(pipe, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PIPE_LISTENING)) << "a client came";
  CloseHandle(pipe);
  SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
}
