// The uninstall run of the real program, started as Programs and Features
// or an administrator starts it, in stand-in installations.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/e2e.h"
#include "support/gui_driver.h"
#include "support/log_lines.h"
#include "support/process_command_line.h"
#include "support/test_files.h"

namespace {

// Product files, a subfolder listed before its content, and the list.
void LayOutProduct(const Installation& product) {
  const std::wstring& f = product.folder;
  CreateDirectoryW((f + L"\\Formats").c_str(), nullptr);
  for (const wchar_t* name : {L"Pelodra.exe", L"kelext.dll", L"Kel.txt", L"Formats\\zip.fmt"})
    WriteBytes(f + L"\\" + name, "stand-in");
  WriteBytes(f + L"\\Uninstall.lst",
             "Formats\r\nPelodra.exe\r\nkelext.dll  \r\nKel.txt\r\nFormats\\zip.fmt\r\n"
             "uninstall.exe\r\n..\\neighbour.txt\r\n");
}

// Runs the program as a user would, answering its boxes with `answer`;
// the texts of the boxes it showed.
std::vector<std::wstring> RunAnswering(const Installation& product, const wchar_t* args, int answer,
                                       DWORD exitCode) {
  std::vector<std::wstring> shown;
  RunResult run = RunProgram(product.exe, args, {}, 60000,
                             [&](DWORD process) { shown = AnswerBoxes(process, answer); });
  EXPECT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, exitCode);
  return shown;
}

}  // namespace

TEST(Uninstall, SilentRunRemovesTheProductAndItsFolder) {
  Installation product = MakeInstallation(L"Pelodra 50%off \u4e2d\u6587");
  LayOutProduct(product);
  WriteBytes(L"C:\\Program Files\\neighbour.txt", "not ours");
  std::wstring temp = FreshFolder(L"Ann & Bob (temp)");

  RunResult run = RunProgram(product.exe, L"/S", {{L"TEMP", temp}, {L"TMP", temp}});
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0u);
  for (const wchar_t* name :
       {L"Pelodra.exe", L"kelext.dll", L"Kel.txt", L"Formats", L"Uninstall.lst"})
    EXPECT_FALSE(Exists(product.folder + L"\\" + name)) << name;

  // The batch file waits for the program, then deletes it, the folder and
  // itself.
  EXPECT_TRUE(WaitUntilGone(product.folder, 30000)) << "installation folder left";
  Sleep(1000);  // the batch file deletes itself last
  EXPECT_EQ(FilesMatching(temp + L"\\Uninstall_Kel.*.Bat"), 0) << "batch file left";
  EXPECT_EQ(ReadBytes(L"C:\\Program Files\\neighbour.txt"), "not ours");
  DeleteFileW(L"C:\\Program Files\\neighbour.txt");
}

// A scanner that holds the program, without delete sharing, for 12 s after
// the run: the batch file's tries outlast it, and the program goes with its
// folder. The interpreter runs no AutoRun command and keeps delayed
// expansion off whatever the machine says; Wine reads neither setting, so
// its command line shows it.
TEST(Uninstall, AProgramHeldAfterTheRunStillGoesWithItsFolder) {
  Installation product = MakeInstallation(L"Pelodra held A!x!B");
  LayOutProduct(product);
  HANDLE held = CreateFileW(product.exe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  DWORD uninstall = 0;
  RunResult run = RunProgram(product.exe, L"/S", {}, 60000, [&](DWORD id) { uninstall = id; });
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0u);
  wchar_t interpreter[MAX_PATH] = {};
  GetEnvironmentVariableW(L"COMSPEC", interpreter, MAX_PATH);
  std::vector<std::wstring> started = ChildCommandLines(uninstall, wcsrchr(interpreter, L'\\') + 1);
  ASSERT_EQ(started.size(), 1u);
  EXPECT_NE(started[0].find(L" /d /v:off /c \"\""), std::wstring::npos) << started[0].c_str();
  Sleep(12000);
  EXPECT_TRUE(Exists(product.exe));
  CloseHandle(held);
  EXPECT_TRUE(WaitUntilGone(product.folder, 30000)) << "installation folder left";
}

// A log in the installation folder, listed or not, stays and keeps the
// folder. The log says so and claims no hand-over of the folder, and the
// run ends as the same run without a log does.
TEST(Uninstall, ALogInTheFolderKeepsItAndChangesNothingElse) {
  DWORD withoutLog = 0;
  for (const char* listed : {"no log", "", "uninstall.log\r\n"}) {
    Installation product = MakeInstallation(L"Pelodra log kept");
    LayOutProduct(product);
    std::wstring log = product.folder + L"\\uninstall.log";
    std::string list = ReadBytes(product.folder + L"\\Uninstall.lst");
    WriteBytes(product.folder + L"\\Uninstall.lst", list + listed);
    bool logged = std::string(listed) != "no log";
    RunResult run = RunProgram(product.exe, logged ? L"/S \"/log=" + log + L"\"" : L"/S");
    ASSERT_TRUE(run.finished);
    if (!logged) {
      withoutLog = run.exitCode;
      EXPECT_TRUE(WaitUntilGone(product.folder, 30000));
      continue;
    }
    EXPECT_EQ(run.exitCode, withoutLog) << listed;
    EXPECT_TRUE(WaitUntilGone(product.exe, 30000)) << listed;
    // Its "rd" of the folder, which fails, makes the folder unreadable for
    // a moment.
    EXPECT_TRUE(WaitForCleanup(run)) << listed;
    EXPECT_EQ(FilesMatching(product.folder + L"\\*"), 3) << "more than ., .. and the log";
    std::vector<LogLine> lines = ReadLog(log);
    EXPECT_TRUE(HasLine(lines, "kept", Utf8(log), "the log")) << listed;
    EXPECT_TRUE(HasLine(lines, "kept", Utf8(product.folder), "it holds the log")) << listed;
    EXPECT_EQ(CountLines(lines, "kept"), 2u) << listed;
    EXPECT_EQ(FindLine(lines, "handed to the batch file", Utf8(product.folder)), nullptr);
    EXPECT_TRUE(HasLine(lines, "handed to the batch file", Utf8(product.exe), "done"));
    RemoveTree(product.folder);
  }
}

// No box waits for a person in a silent run: the exit code tells.
TEST(Uninstall, MissingListIsReportedByTheExitCode) {
  Installation product = MakeInstallation(L"Pelodra no list");
  WriteBytes(product.folder + L"\\Pelodra.exe", "stand-in");
  RunResult silent = RunProgram(product.exe, L"/S", {}, 30000);
  EXPECT_TRUE(silent.finished) << "waited for a person";
  EXPECT_EQ(silent.exitCode, 3u);
  std::vector<std::wstring> shown = RunAnswering(product, L"", IDYES, 3);
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_NE(shown[1].find(L"Uninstall.lst"), std::wstring::npos) << shown[1].c_str();
  EXPECT_TRUE(Exists(product.folder + L"\\Pelodra.exe"));
  EXPECT_TRUE(Exists(product.exe));
}

TEST(Uninstall, AnsweringNoKeepsEverything) {
  Installation product = MakeInstallation(L"Pelodra answer no");
  LayOutProduct(product);
  std::vector<std::wstring> shown = RunAnswering(product, L"", IDNO, 1);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].find(L"remove Pelodra"), std::wstring::npos) << shown[0].c_str();
  EXPECT_TRUE(Exists(product.folder + L"\\Pelodra.exe"));
  EXPECT_TRUE(Exists(product.folder + L"\\Uninstall.lst"));
}

TEST(Uninstall, AnsweringYesRemovesTheProduct) {
  Installation product = MakeInstallation(L"Pelodra answer yes");
  LayOutProduct(product);
  std::vector<std::wstring> shown = RunAnswering(product, L"", IDYES, 0);
  EXPECT_EQ(shown.size(), 1u) << "only the question";
  EXPECT_FALSE(Exists(product.folder + L"\\Pelodra.exe"));
  EXPECT_TRUE(WaitUntilGone(product.folder, 30000));
}

TEST(Uninstall, MsiModeDeletesNoFiles) {
  Installation product = MakeInstallation(L"Pelodra msi");
  LayOutProduct(product);
  RunResult run = RunProgram(product.exe, L"/S /msi");
  ASSERT_TRUE(run.finished);
  // "/msi" is a switch of its own: the run is no uninstall at all.
  EXPECT_TRUE(Exists(product.folder + L"\\Pelodra.exe"));
  EXPECT_TRUE(Exists(product.folder + L"\\Uninstall.lst"));
}

// Without a command interpreter the batch file cannot run: it stays in the
// temporary folder, and so does the program, which the exit code tells.
TEST(Uninstall, MissingComspecLeavesTheProgramAndTheBatchFile) {
  Installation product = MakeInstallation(L"Pelodra no comspec");
  LayOutProduct(product);
  std::wstring temp = FreshFolder(L"temp no comspec");
  RunResult run =
      RunProgram(product.exe, L"/S", {{L"COMSPEC", L""}, {L"TEMP", temp}, {L"TMP", temp}});
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 2u);
  EXPECT_FALSE(Exists(product.folder + L"\\Pelodra.exe"));
  Sleep(3000);
  EXPECT_TRUE(Exists(product.exe));
  EXPECT_EQ(FilesMatching(temp + L"\\Uninstall_Kel.*.Bat"), 1);
}

// A program in a drive's root: the entries are the root followed by the
// line, and the batch file's "rd" of the root fails harmlessly.
TEST(Uninstall, ProgramInADrivesRoot) {
  std::wstring exe = L"C:\\uninstall.exe";
  wchar_t source[MAX_PATH * 4] = {};
  GetEnvironmentVariableW(L"UNINSTALL_EXE", source, MAX_PATH * 4);
  ASSERT_TRUE(CopyFileW(source, exe.c_str(), FALSE));
  WriteBytes(L"C:\\pelodra-root.dat", "stand-in");
  WriteBytes(L"C:\\Uninstall.lst", "pelodra-root.dat\r\nuninstall.exe\r\n");
  RunResult run = RunProgram(exe, L"/S");
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_FALSE(Exists(L"C:\\pelodra-root.dat"));
  EXPECT_FALSE(Exists(L"C:\\Uninstall.lst"));
  EXPECT_TRUE(WaitUntilGone(exe, 30000));
  EXPECT_TRUE(Exists(L"C:\\windows"));
}
