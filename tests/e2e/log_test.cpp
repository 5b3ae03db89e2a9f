// Logs of real runs: the boxes of an interactive run, a log in the
// program's own folder, and names that are no place for a log.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup_test_support.h"
#include "support/e2e.h"
#include "support/gui_driver.h"
#include "support/log_lines.h"
#include "support/restart_list.h"
#include "support/test_files.h"
#include "support/test_registry.h"

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

// What a setup adds to the installation: the new-archive templates.
constexpr char SetupFiles[] = "kelnew.dat\r\nzipnew.dat\r\n";

std::wstring LogSwitch(const std::wstring& name) { return L"\"/log=" + name + L"\""; }

struct Outcome {
  DWORD exitCode = 0;
  std::vector<std::wstring> shown;
  bool folderGone = false;
};

// An uninstall answered Yes: how it ended, the boxes it showed, and
// whether the program's folder went. Each run has a folder of its own: the
// batch file of one run never meets the next installation. It waits beyond
// the batch file's bounded tries.
Outcome Uninstall(const std::wstring& args) {
  static int runs = 0;
  Installation product = MakeInstallation(L"Pelodra log names " + std::to_wstring(++runs));
  LayOut(product);
  Outcome outcome;
  RunResult run = RunProgram(product.exe, args, {}, 60000,
                             [&](DWORD process) { outcome.shown = AnswerBoxes(process, IDYES); });
  EXPECT_TRUE(run.finished);
  outcome.exitCode = run.exitCode;
  outcome.folderGone = WaitUntilGone(product.folder, 90000);
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
  EXPECT_TRUE(WaitForCleanup(run));
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

// A log named like the settings file, by any spelling, while the installer
// brings one: the installer's file arrives, setup keeps the former owners
// in it, and the uninstall gives them back. No log is written.
TEST(LogRuns, ALogNamedLikeTheSettingsFileLeavesItsPlaceToTheInstallersFile) {
  SetupTraces traces;
  const std::wstring productKey = L"Software\\Pelodra";
  DeleteRegistryTree(HKEY_CURRENT_USER, productKey);
  ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, L".7z", L"", L"Other.7z"));
  Installation product = MakeInstallation(L"Pelodra log settings");
  LayOut(product, std::string(SetupFiles) + "Pelodra.ini\r\n");
  std::wstring installer = FreshFolder(L"log settings installer");
  WriteBytes(installer + L"\\pelodra.ini", "HKCU\\Setup\\Links\\Desktop=1\r\n");

  RunResult setup =
      RunProgram(product.exe, L"/setup /S " + LogSwitch(product.folder + L"\\PELODRA.INI. "),
                 {{L"sfxname", installer + L"\\pelodra-5.61.exe"}}, 120000);
  ASSERT_TRUE(setup.finished);
  EXPECT_EQ(setup.exitCode, 0u);
  std::string bytes = ReadBytes(product.folder + L"\\Pelodra.ini");
  std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
  EXPECT_NE(text.find(L"HKCU\\Setup\\Links\\Desktop=1\r\n"), std::wstring::npos);
  EXPECT_EQ(bytes.find("\tstart\t"), std::string::npos) << "a log line in the settings file";
  EXPECT_EQ(RegistryString(HKEY_CLASSES_ROOT, L".7z", L""), L"Pelodra");
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, productKey)) << "records beside the file";

  std::wstring log = FreshFolder(L"log settings") + L"\\uninstall.log";
  RunResult uninstall = RunProgram(product.exe, L"/S " + LogSwitch(log), {}, 120000);
  ASSERT_TRUE(uninstall.finished);
  EXPECT_EQ(uninstall.exitCode, 0u);
  EXPECT_EQ(RegistryString(HKEY_CLASSES_ROOT, L".7z", L""), L"Other.7z");
  EXPECT_TRUE(HasLine(ReadLog(log), "former owner restored", ".7z (class Other.7z)", "done"));
  EXPECT_TRUE(WaitUntilGone(product.folder, 90000));
  DeleteRegistryTree(HKEY_CURRENT_USER, productKey);
  RemoveTree(installer);
}

// A log in the program group stays there, and the group with it, as the
// log says; a second setup and the uninstall end as they do without a log.
TEST(LogRuns, ALogInTheProgramGroupChangesNoExitCode) {
  SetupTraces traces;
  const std::wstring productKey = L"Software\\Pelodra";
  std::vector<DWORD> codes[2];
  std::wstring log;
  for (bool logged : {false, true}) {
    DeleteRegistryTree(HKEY_CURRENT_USER, productKey);
    Installation product =
        MakeInstallation(logged ? L"Pelodra log group" : L"Pelodra log group plain");
    LayOut(product, SetupFiles);
    RunResult first = RunProgram(product.exe, L"/setup /S", {}, 120000);
    std::wstring group = ProgramGroup();
    ASSERT_FALSE(group.empty()) << "no program group";
    log = group + L"\\setup.log";
    std::wstring logSwitch = logged ? L" " + LogSwitch(log) : L"";
    RunResult second = RunProgram(product.exe, L"/setup /S" + logSwitch, {}, 120000);
    RunResult uninstall = RunProgram(product.exe, L"/S" + logSwitch, {}, 120000);
    for (const RunResult* run : {&first, &second, &uninstall}) {
      EXPECT_TRUE(run->finished);
      codes[logged].push_back(run->exitCode);
    }
    EXPECT_TRUE(WaitUntilGone(product.folder, 90000));
    EXPECT_EQ(Exists(group), logged);
  }
  EXPECT_EQ(codes[true], codes[false]);
  EXPECT_EQ(codes[false], (std::vector<DWORD>{0, 0, 0}));

  std::vector<LogLine> lines = ReadLog(log);
  EXPECT_EQ(CountLines(lines, "start"), 2u);
  EXPECT_TRUE(HasLine(lines, "kept", Utf8(log), "the log"));
  std::wstring group = log.substr(0, log.rfind(L'\\'));
  EXPECT_TRUE(HasLine(lines, "kept", Utf8(group), "holds the log"));
  for (const LogLine& line : lines) {
    EXPECT_EQ(line.result.rfind("error", 0), std::string::npos) << line.raw;
    if (line.what == "end") {
      EXPECT_EQ(line.result, "exit code 0 (done)");
    }
  }
  EXPECT_EQ(FilesMatching(group + L"\\*"), 3) << "more than ., .. and the log";
  DeleteFileW(log.c_str());
  DeleteRegistryTree(HKEY_CURRENT_USER, productKey);
}
