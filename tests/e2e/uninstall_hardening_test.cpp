// The uninstall run of the real program where names, links, depth, other
// runs and refusals of Windows would lead it astray.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/current_folder.h"
#include "support/e2e.h"
#include "support/gui_driver.h"
#include "support/host_side.h"
#include "support/log_lines.h"
#include "support/restart_list.h"
#include "support/test_files.h"
#include "support/test_registry.h"

namespace {

std::wstring Long(const std::wstring& path) { return L"\\\\?\\" + path; }

// A folder made anew with its parents: also one whose name Windows would
// cut, or one too deep for plain names.
void MakeFolders(const std::wstring& folder) {
  RemoveTree(folder);
  for (size_t at = folder.find(L'\\', 3); at != std::wstring::npos; at = folder.find(L'\\', at + 1))
    CreateDirectoryW(Long(folder.substr(0, at)).c_str(), nullptr);
  CreateDirectoryW(Long(folder).c_str(), nullptr);
}

// An installation in any folder: the program, a stand-in file and the
// list naming both and `moreLines`.
Installation InstallIn(const std::wstring& folder, const std::string& moreLines = "") {
  MakeFolders(folder);
  Installation product{folder, folder + L"\\uninstall.exe"};
  wchar_t source[MAX_PATH * 4] = {};
  GetEnvironmentVariableW(L"UNINSTALL_EXE", source, MAX_PATH * 4);
  CopyFileW(source, Long(product.exe).c_str(), FALSE);
  WriteBytes(folder + L"\\Pelodra.exe", "stand-in");
  WriteBytes(folder + L"\\Uninstall.lst", "Pelodra.exe\r\n" + moreLines + "uninstall.exe\r\n");
  return product;
}

struct Answered {
  RunResult run;
  std::vector<std::wstring> shown;
};

// Runs the program answering Yes to its question and OK to every other box.
Answered Uninstall(const std::wstring& exe, const wchar_t* args, const Environment& env = {}) {
  Answered answered;
  answered.run = RunProgram(exe, args, env, 120000,
                            [&](DWORD process) { answered.shown = AnswerBoxes(process, IDYES); });
  EXPECT_TRUE(answered.run.finished);
  return answered;
}

// A folder of `length` characters or more below `base`, in parts of
// `part` characters.
std::wstring DeepFolder(const std::wstring& base, size_t length, size_t part) {
  std::wstring folder = base;
  for (wchar_t c = L'a'; folder.size() < length; c = c == L'z' ? L'a' : c + 1)
    folder += L"\\" + std::wstring(part, c);
  return folder;
}

// The list of work for the next restart, which a user without the right to
// change it cannot add to.
const wchar_t SessionManager[] = L"System\\CurrentControlSet\\Control\\Session Manager";

}  // namespace

// Installed in "Tr " beside "Tr" and started from a third folder: the
// plain names of the list, the help index and the folder would reach the
// twin or the current folder. A read-only list and program go all the same.
TEST(UninstallNames, EveryNameComesFromTheProgramsOwnFolder) {
  std::wstring twin = L"C:\\Program Files\\Tr";
  RemoveTree(twin);
  CreateDirectoryW(twin.c_str(), nullptr);
  const wchar_t* names[] = {L"Uninstall.lst", L"pelodra.gid", L"pelodra.fts", L"Pelodra.exe"};
  for (const wchar_t* name : names) WriteBytes(twin + L"\\" + name, "twin");
  std::wstring elsewhere = FreshFolder(L"started from here");
  WriteBytes(elsewhere + L"\\pelodra.gid", "here");
  Installation product = InstallIn(twin + L" ");
  WriteBytes(product.folder + L"\\pelodra.gid", "index");
  SetFileAttributesW(Long(product.folder + L"\\Uninstall.lst").c_str(), FILE_ATTRIBUTE_READONLY);
  SetFileAttributesW(Long(product.exe).c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);

  RunResult run;
  {
    ScopedCurrentFolder current(elsewhere);
    run = RunProgram(product.exe, L"/S");
  }
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_TRUE(WaitUntilGone(product.folder, 30000)) << "installation folder left";
  for (const wchar_t* name : names) EXPECT_EQ(ReadBytes(twin + L"\\" + name), "twin") << name;
  EXPECT_EQ(ReadBytes(elsewhere + L"\\pelodra.gid"), "here");
  RemoveTree(twin);
}

// Links in the folder, the help index among them, are left with what they
// point at. Wine removes no link of the host's, so they stay and are
// named; Windows removes such a link itself.
TEST(UninstallNames, LinksAreLeftWithWhatTheyPointAt) {
  Installation product = InstallIn(L"C:\\Program Files\\Pelodra links",
                                   "data.dat\r\nFormats\\data.txt\r\nFormats\r\n");
  std::wstring outside = FreshFolder(L"link targets e2e");
  const wchar_t* links[][2] = {{L"pelodra.gid", L"gid.txt"},
                               {L"pelodra.fts", L"fts.txt"},
                               {L"data.dat", L"data.txt"},
                               {L"Formats", L""}};
  WriteBytes(outside + L"\\data.txt", "keep");
  for (auto& link : links) {
    if (link[1][0]) WriteBytes(outside + L"\\" + link[1], "keep");
    ASSERT_TRUE(MakeHostLink(link[1][0] ? outside + L"\\" + link[1] : outside,
                             product.folder + L"\\" + link[0]));
  }
  Answered answered = Uninstall(product.exe, L"");
  EXPECT_EQ(answered.run.exitCode, 2u);
  ASSERT_EQ(answered.shown.size(), 2u);
  for (const wchar_t* name : {L"pelodra.gid", L"data.dat", L"Formats"})
    EXPECT_NE(answered.shown[1].find(name), std::wstring::npos) << answered.shown[1].c_str();
  EXPECT_TRUE(WaitUntilGone(product.exe, 30000));
  for (const wchar_t* target : {L"gid.txt", L"fts.txt", L"data.txt"})
    EXPECT_EQ(ReadBytes(outside + L"\\" + target), "keep") << target;
  for (auto& link : links) RemoveHostLink(product.folder + L"\\" + link[0]);
  RemoveTree(product.folder);
}

// 320 to 600 characters: Windows starts no program from there, the
// host's side of Wine does. Short names bring every batch line below the
// limit, and the batch file starts in a folder of its own choosing.
TEST(UninstallFolders, DeepFoldersAreRemovedWhole) {
  for (size_t length : {320u, 450u, 600u}) {
    std::wstring base = L"C:\\Program Files\\Pelodra deep";
    Installation product =
        InstallIn(DeepFolder(base, length, 40), "Formats\r\nFormats\\zip.fmt\r\n");
    CreateDirectoryW(Long(product.folder + L"\\Formats").c_str(), nullptr);
    WriteBytes(product.folder + L"\\Formats\\zip.fmt", "stand-in");
    RunResult run = RunFromHost(product.exe, L"/S", 60000);
    ASSERT_TRUE(run.finished) << length;
    EXPECT_EQ(run.exitCode, 0u) << length;
    EXPECT_TRUE(WaitUntilGone(product.folder, 30000)) << length;
    RemoveTree(base);
  }
}

// A temporary folder too deep for any name of it to start the batch file
// by: nothing of the folder is deleted, the user is told to remove it, and
// the exit code says so.
TEST(UninstallFolders, AFolderNoBatchFileCanRemoveIsLeftWhole) {
  Installation product = InstallIn(L"C:\\Program Files\\Pelodra left whole");
  std::wstring temp = DeepFolder(FreshFolder(L"deep temp"), 300, 8);
  MakeFolders(temp);
  Answered answered = Uninstall(product.exe, L"", {{L"TEMP", temp}, {L"TMP", temp}});
  EXPECT_EQ(answered.run.exitCode, 2u);
  ASSERT_EQ(answered.shown.size(), 2u);
  EXPECT_NE(answered.shown[1].find(product.folder), std::wstring::npos)
      << answered.shown[1].c_str();
  Sleep(3000);
  for (const wchar_t* name : {L"uninstall.exe", L"Pelodra.exe", L"Uninstall.lst"})
    EXPECT_TRUE(Exists(product.folder + L"\\" + name)) << name;
  EXPECT_EQ(FilesMatching(temp + L"\\Uninstall_Kel.*"), 0);
}

// Two runs at once, from one temporary folder, each with a batch file of
// its own; one of them in a folder whose name has full-width quotes,
// ampersands and a colon, which stay characters of a name.
TEST(UninstallRuns, TwoRunsAtOnceRemoveBothProducts) {
  Installation first = InstallIn(L"C:\\Program Files\\Pelodra first");
  Installation second = InstallIn(
      L"C:\\Program Files\\Pel\uff02 & echo INJECTED \uff1e C\uff1a\uff3cpwned.txt & \uff02");
  std::wstring temp = FreshFolder(L"shared temp");
  Environment env = {{L"TEMP", temp}, {L"TMP", temp}};
  RunResult other;
  RunResult run = RunProgram(first.exe, L"/S", env, 120000,
                             [&](DWORD) { other = RunProgram(second.exe, L"/S", env, 120000); });
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(other.exitCode, 0u);
  EXPECT_TRUE(WaitUntilGone(first.folder, 30000));
  EXPECT_TRUE(WaitUntilGone(second.folder, 30000));
  Sleep(1000);  // each batch file deletes itself last
  EXPECT_EQ(FilesMatching(temp + L"\\Uninstall_Kel.*"), 0);
  EXPECT_FALSE(Exists(L"C:\\pwned.txt"));
}

// A file in use: the restart note and 3010 (done once Windows restarts)
// when Windows took the schedule, else the file's name and 2; the log says
// which, and why a file stays.
TEST(UninstallRefusals, TheRestartNoteOnlyForWhatWasScheduled) {
  std::wstring log = FreshFolder(L"refusals log") + L"\\uninstall.log";
  for (bool refused : {false, true}) {
    Installation product = InstallIn(
        refused ? L"C:\\Program Files\\Pelodra refused" : L"C:\\Program Files\\Pelodra in use",
        "Kel.txt\r\n");
    std::wstring file = product.folder + L"\\Kel.txt";
    WriteBytes(file, "in use");
    HANDLE lock = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    Answered answered;
    {
      std::optional<ReadOnlyKey> readOnly;
      if (refused) readOnly.emplace(HKEY_LOCAL_MACHINE, SessionManager);
      answered = Uninstall(product.exe, (L"\"/log=" + log + L"\"").c_str());
    }
    EXPECT_EQ(answered.run.exitCode, refused ? 2u : 3010u);
    std::vector<LogLine> lines = ReadLog(log);
    if (refused) {
      // Why, in the system's words after its code.
      const LogLine* left = FindLine(lines, "left", Utf8(file));
      ASSERT_NE(left, nullptr);
      EXPECT_EQ(left->result.rfind("error ", 0), 0u) << left->raw;
      EXPECT_EQ(lines.back().result, "exit code 2 (incomplete)");
    } else {
      EXPECT_TRUE(HasLine(lines, "scheduled for restart", Utf8(file), "done"));
      EXPECT_TRUE(HasLine(lines, "scheduled for restart", Utf8(product.folder), "done"));
      EXPECT_EQ(CountLines(lines, "left"), 0u);
      EXPECT_EQ(lines.back().result, "exit code 3010 (done, restart needed)");
    }
    DeleteFileW(log.c_str());
    ASSERT_EQ(answered.shown.size(), 2u) << refused;
    EXPECT_NE(answered.shown[1].find(refused ? L"could not be removed:\nKel.txt" : L"in use"),
              std::wstring::npos)
        << answered.shown[1].c_str();
    EXPECT_EQ(ScheduledForRestart().empty(), refused);
    ClearScheduledForRestart();
    WaitUntilGone(product.exe, 30000);
    CloseHandle(lock);
    RemoveTree(product.folder);
  }
}

// A file type that Windows does not let the uninstall give back: the run
// says so, names the type, ends incomplete, and the record of the type's
// former owner stays for a run that may write there. Any other refusal is
// told apart: no file type is named.
TEST(UninstallRefusals, AFileTypeThatCannotBeGivenBackKeepsItsRecord) {
  struct Case {
    HKEY root;
    const wchar_t* lockedKey;
    const wchar_t* told;
    bool recordKept;
  };
  for (const Case& c : {Case{HKEY_CLASSES_ROOT, L".7z", L"former program: .7z. To choose", true},
                        Case{HKEY_LOCAL_MACHINE, L"Software\\RegisteredApplications",
                             L"all of the registrations", false}}) {
    SCOPED_TRACE(c.lockedKey);
    DeleteRegistryTree(HKEY_CLASSES_ROOT, L".7z");
    DeleteRegistryTree(HKEY_CURRENT_USER, L"Software\\Pelodra");
    // Setup writes the templates of new archives beside the program.
    Installation product =
        InstallIn(L"C:\\Program Files\\Pelodra refused type", "kelnew.dat\r\nzipnew.dat\r\n");
    ASSERT_EQ(RunProgram(product.exe, L"/setup /S /noexplorer").exitCode, 0u);
    ASSERT_EQ(RegistryString(HKEY_CLASSES_ROOT, L".7z", L""), L"Pelodra");
    std::wstring log = FreshFolder(L"refused type log") + L"\\uninstall.log";
    Answered answered;
    {
      ReadOnlyKey locked(c.root, c.lockedKey);
      answered = Uninstall(product.exe, (L"\"/log=" + log + L"\"").c_str());
    }
    EXPECT_EQ(answered.run.exitCode, 2u);
    std::vector<LogLine> lines = ReadLog(log);
    EXPECT_EQ(CountLines(lines, "message"), 2u);
    EXPECT_EQ(CountLines(lines, "former owner kept"), c.recordKept ? 1u : 0u);
    if (c.recordKept) {
      EXPECT_TRUE(
          HasLine(lines, "former owner kept", ".7z", "refused by Windows; the record stays"));
    }
    ASSERT_EQ(answered.shown.size(), 2u);
    EXPECT_NE(answered.shown[1].find(c.told), std::wstring::npos) << answered.shown[1].c_str();
    EXPECT_EQ(RegistryKeyExists(HKEY_CURRENT_USER, L"Software\\Pelodra\\Setup\\.7z"), c.recordKept);
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, L"Software\\Pelodra\\Setup\\.zip"));
    EXPECT_TRUE(WaitUntilGone(product.folder, 30000));
    DeleteRegistryValue(HKEY_LOCAL_MACHINE, L"Software\\RegisteredApplications", L"Pelodra");
    DeleteRegistryTree(HKEY_CLASSES_ROOT, L".7z");
    DeleteRegistryTree(HKEY_CURRENT_USER, L"Software\\Pelodra");
  }
}
