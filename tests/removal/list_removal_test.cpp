#include "removal/list_removal.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "base/best_effort.h"
#include "base/log.h"
#include "fs/log_file.h"
#include "support/host_side.h"
#include "support/log_lines.h"
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

// Folders before their files: the first pass removes the files, one more
// the folders from the inside out. Lines that lead out of the folder are
// skipped while the files they name stay.
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
  EXPECT_EQ(removal.passes, 2u);
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

// 150 folders, each in the one before, listed from the top: all go in one
// pass more, not one pass a folder.
TEST(RemoveListedFiles, NestedFoldersListedFromTheTopGoInTwoPasses) {
  std::wstring product = FreshFolder(L"nested");
  std::wstring path = L"\\\\?\\" + product;
  std::string lines, relative;
  for (int i = 0; i < 150; ++i) {
    relative += (i ? "\\" : "") + std::string("d");
    path += L"\\d";
    CreateDirectoryW(path.c_str(), nullptr);
    lines += relative + "\r\n";
  }
  WriteBytes(path + L"\\bottom.txt", "x");
  lines += relative + "\\bottom.txt\r\n";
  ListFile list(product + L"\\Uninstall.lst", lines);
  ListRemoval removal = RemoveListedFiles(list.stream, WithSeparator(product).c_str(), L"x.exe");
  EXPECT_EQ(removal.passes, 2u);
  EXPECT_FALSE(Exists(product + L"\\d"));
}

// A running program cannot be deleted but can be renamed. A line that
// resolves to it only by way of another folder is refused: cut to fit a
// buffer, its restart name once moved the program into that folder. A
// plain line renames it beside itself.
TEST(RemoveListedFiles, RenamesARunningFileOnlyBesideItself) {
  std::wstring parent = FreshFolder(L"cut name");
  std::wstring other = parent + L"\\Another program";
  std::wstring product = parent + L"\\product";
  CreateDirectoryW(other.c_str(), nullptr);
  CreateDirectoryW(product.c_str(), nullptr);
  WriteBytes(other + L"\\keep.txt", "theirs");
  wchar_t source[MAX_PATH * 4] = {};
  GetEnvironmentVariableW(L"UNINSTALL_EXE", source, MAX_PATH * 4);
  std::wstring running = product + L"\\locked.exe";
  ASSERT_TRUE(CopyFileW(source, running.c_str(), FALSE));
  std::wstring commandLine = L"\"" + running + L"\" /wait";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  ASSERT_TRUE(CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process));
  // Cut at 2,047 characters, the folder and this line end in "...\moved".
  std::string detour = "xyz\\..\\";
  for (int i = 0; i < 398; ++i) detour += "x\\..\\";
  detour += "..\\Another program\\moved\\..\\..\\product\\locked.exe";
  ListFile list(product + L"\\Uninstall.lst", detour + "\r\nsub\\..\\locked.exe\r\n");
  ListRemoval removal = RemoveListedFiles(list.stream, WithSeparator(product).c_str(), L"x.exe");
  std::wstring names = PendingNames();
  ClearScheduledForRestart();
  WaitForSingleObject(process.hProcess, 30000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);

  EXPECT_TRUE(removal.restartPending);
  EXPECT_EQ(names.find(L"Another program"), std::wstring::npos);
  EXPECT_NE(names.find(running + L".0.tmp||"), std::wstring::npos);
  EXPECT_FALSE(Exists(other + L"\\moved"));
  EXPECT_TRUE(Exists(running + L".0.tmp"));
}

// A listed link is left with what it points at, and named; nothing is
// removed through a linked folder on the way.
TEST(RemoveListedFiles, LeavesLinksAndTheirTargets) {
  // Links left by an earlier run lead into the targets' folder: that is
  // made after.
  std::wstring product = FreshFolder(L"list links");
  std::wstring outside = FreshFolder(L"list link targets");
  WriteBytes(outside + L"\\precious.txt", "keep");
  ASSERT_TRUE(MakeHostLink(outside + L"\\precious.txt", product + L"\\data.dat"));
  ASSERT_TRUE(MakeHostLink(outside, product + L"\\Formats"));
  ListFile list(product + L"\\Uninstall.lst", "data.dat\r\nFormats\\precious.txt\r\nFormats\r\n");
  ListRemoval removal = RemoveListedFiles(list.stream, WithSeparator(product).c_str(), L"x.exe");
  EXPECT_EQ(ReadBytes(outside + L"\\precious.txt"), "keep");
  EXPECT_EQ(removal.filesLeft, 2u);
  EXPECT_STREQ(removal.leftNames, L"data.dat\nFormats\n");
  EXPECT_FALSE(removal.restartPending);
  RemoveHostLink(product + L"\\data.dat");
  RemoveHostLink(product + L"\\Formats");
}

namespace {

// Wine's own export: the host name of a Windows path.
std::wstring HostPath(const std::wstring& path) {
  using ToHost = char*(CDECL*)(LPCWSTR);
  auto toHost = reinterpret_cast<ToHost>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
  char* host = toHost ? toHost(path.c_str()) : nullptr;
  if (!host) return L"";
  std::wstring wide(host, host + strlen(host));
  HeapFree(GetProcessHeap(), 0, host);
  return wide;
}

// A host loop that swaps `folder` for a link to `victim` and back until
// it is stopped, and says when it has ended with the folder in place.
class SwappingLoop {
 public:
  SwappingLoop(const std::wstring& folder, const std::wstring& victim)
      : stop_(folder + L".stop"), ended_(folder + L".ended") {
    std::wstring f = L"'" + HostPath(folder) + L"'", v = L"'" + HostPath(victim) + L"'";
    std::wstring real = L"'" + HostPath(folder) + L".real'";
    // Each step whatever the one before did, a pause in each state, and the
    // folder back in its place at the end.
    std::wstring script = L"while [ ! -e '" + HostPath(stop_) + L"' ]; do mv -T " + f + L" " +
                          real + L"; ln -s " + v + L" " + f + L"; sleep 0.01; rm -f " + f +
                          L"; mv -T " + real + L" " + f + L"; sleep 0.01; done; [ -e " + real +
                          L" ] && mv -T " + real + L" " + f + L"; touch '" + HostPath(ended_) +
                          L"'";
    std::wstring command = L"Z:\\bin\\sh -c \"" + script + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    started_ = CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                              &startup, &process);
    if (!started_) return;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  // Whether the loop has swapped at least once.
  bool Running(const std::wstring& folder) {
    for (int i = 0; started_ && i < 400; ++i, Sleep(25))
      if (Exists(folder + L".real")) return true;
    return false;
  }
  ~SwappingLoop() { BestEffort(Stop()); }
  bool Stop() {
    if (!started_) return false;
    started_ = false;
    WriteBytes(stop_, "");
    bool ended = WaitUntilExists(ended_);
    DeleteFileW(stop_.c_str());
    DeleteFileW(ended_.c_str());
    return ended;
  }

 private:
  static bool WaitUntilExists(const std::wstring& path) {
    for (int i = 0; i < 800; ++i, Sleep(25))
      if (Exists(path)) return true;
    return false;
  }
  std::wstring stop_, ended_;
  bool started_;
};

}  // namespace

// A host loop swaps a folder of the product for a link to another folder
// while the list is removed: nothing of that folder is touched, and every
// listed entry is gone afterwards or named in the log by a line that does
// not say it was deleted.
TEST(RemoveListedFiles, AFolderSwappedForALinkLeavesItsTargetAndSaysWhatStays) {
  std::wstring product = FreshFolder(L"swapped product");
  std::wstring victim = FreshFolder(L"swap victim");
  std::wstring sub = product + L"\\sub";
  CreateDirectoryW(sub.c_str(), nullptr);
  const int Files = 400;
  std::string lines;
  std::vector<std::wstring> names;
  for (int i = 0; i < Files; ++i) {
    std::wstring name = L"f" + std::to_wstring(i) + L".txt";
    WriteBytes(sub + L"\\" + name, "product");
    WriteBytes(victim + L"\\" + name, "victim");
    names.push_back(L"sub\\" + name);
    lines += "sub\\f" + std::to_string(i) + ".txt\r\n";
  }
  names.push_back(L"sub");
  lines += "sub\r\n";
  std::wstring log = FreshFolder(L"swap log") + L"\\run.log";
  ASSERT_TRUE(OpenLogFile(log.c_str(), nullptr, 0));
  ListFile list(product + L".lst", lines);
  SwappingLoop loop(sub, victim);
  ASSERT_TRUE(loop.Running(sub));
  BestEffort(RemoveListedFiles(list.stream, WithSeparator(product).c_str(), L"x.exe"));
  ASSERT_TRUE(loop.Stop());
  LogEnd(0);
  ClearScheduledForRestart();

  for (int i = 0; i < Files; ++i)
    EXPECT_EQ(ReadBytes(victim + L"\\f" + std::to_wstring(i) + L".txt"), "victim") << i;
  std::vector<LogLine> logged = ReadLog(log);
  for (const std::wstring& name : names) {
    std::wstring full = product + L"\\" + name;
    if (!Exists(full)) continue;
    std::string said;
    for (const LogLine& line : logged)
      if (line.where == Utf8(full)) said += line.what + "; ";
    // Wine deletes at the handle's close by the name the file had when it
    // was opened, and not at all when that name leads elsewhere by then;
    // the look after the close goes through the folder's handle, which
    // under Wine follows the folder's name to the link swapped in, and so
    // a file can stay that the log calls deleted. Windows deletes the file
    // object itself. Every entry that stays has its line all the same.
    EXPECT_FALSE(said.empty()) << Utf8(full) << " stays, and the log says nothing of it";
  }
}
