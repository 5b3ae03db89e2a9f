// Which names the log may be opened by, and how the uninstall knows it.
#include "fs/log_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/log.h"
#include "base/run_state.h"
#include "fs/path_names.h"
#include "support/file_link.h"
#include "support/folder_link.h"
#include "support/test_files.h"

namespace {

const wchar_t PipeName[] = L"\\\\.\\pipe\\pelodra log test";

std::wstring ShortForm(const std::wstring& path) {
  wchar_t shortForm[MAX_PATH] = {};
  GetShortPathNameW(path.c_str(), shortForm, MAX_PATH);
  return shortForm;
}

// Opens `name` as the log and closes it again; whether it was opened.
bool Opens(const std::wstring& name, const ProductFile* productFiles = nullptr,
           unsigned count = 0) {
  bool opened = OpenLogFile(name.c_str(), productFiles, count);
  EXPECT_EQ(IsLogging(), opened);
  LogEnd(ExitDone);
  return opened;
}

}  // namespace

// Devices, pipes and the device namespace are not even opened: opening a
// device or a pipe may already act on it. Nor is a file that is not there
// to append to, a file of the program's own, or a folder.
TEST(LogFile, OnlyAPlainDiskFileIsOpened) {
  std::wstring folder = FreshFolder(L"log names");
  std::wstring readOnly = folder + L"\\read only.log";
  WriteBytes(readOnly, "keep");
  SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY);
  std::wstring list = folder + L"\\Uninstall.lst";
  WriteBytes(list, "Kel.txt\r\n");
  const ProductFile programFiles[] = {{folder.c_str(), L"Uninstall.lst"}};
  HANDLE pipe = CreateNamedPipeW(PipeName, PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_NOWAIT, 1, 512,
                                 512, 0, nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);

  const std::wstring refused[] = {
      L"", L"NUL", L"con", L"COM1", L"LPT1", PipeName, L"\\\\?\\pipe\\pelodra log test",
      L"\\\\?\\GLOBALROOT\\Device\\Null", L"\\\\.\\C:", L"\\\\?\\Volume{0}\\x.log", folder,
      folder + L"\\no such folder\\run.log", readOnly, list,
      // Another name of the same file is the same file.
      folder + L"\\.\\UNINSTALL.LST",
      // A stream would make its file; wildcards name no file.
      folder + L"\\run.log:x", folder + L"\\run.log::$DATA", folder + L"\\run*.log",
      folder + L"\\run?.log"};
  for (const std::wstring& name : refused) {
    EXPECT_FALSE(OpenLogFile(name.c_str(), programFiles, 1)) << name.c_str();
    EXPECT_FALSE(IsLogging());
  }
  EXPECT_EQ(ReadBytes(readOnly), "keep");
  EXPECT_EQ(ReadBytes(list), "Kel.txt\r\n");
  EXPECT_FALSE(Exists(folder + L"\\no such folder"));
  EXPECT_EQ(FilesMatching(folder + L"\\run*"), 0);
  // The pipe's server saw no client come.
  EXPECT_FALSE(ConnectNamedPipe(pipe, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PIPE_LISTENING));
  CloseHandle(pipe);
  SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A name beyond MAX_PATH that the program's buffers hold is a name like
// any other.
TEST(LogFile, ALongNameIsOpenedInItsLongForm) {
  std::wstring folder = FreshFolder(L"log long");
  std::wstring deep = folder;
  while (deep.size() < 400) {
    deep += L"\\" + std::wstring(60, L'd');
    CreateDirectoryW((L"\\\\?\\" + deep).c_str(), nullptr);
  }
  std::wstring log = deep + L"\\run.log";
  ASSERT_TRUE(OpenLogFile(log.c_str(), nullptr, 0));
  LogEnd(ExitDone);
  EXPECT_NE(ReadBytes(L"\\\\?\\" + log).find("exit code 0"), std::string::npos);
  RemoveTree(folder);
}

// The uninstall asks by another name than the one the log was opened by.
TEST(LogFile, TheLogIsKnownByWhatItIsNotByItsName) {
  std::wstring folder = FreshFolder(L"log identity");
  std::wstring other = folder + L"\\other.log";
  WriteBytes(other, "");
  std::wstring log = folder + L"\\Run.log";
  EXPECT_FALSE(IsLogFile(log.c_str()));
  ASSERT_TRUE(OpenLogFile(log.c_str(), nullptr, 0));
  EXPECT_TRUE(IsLogFile((folder + L"\\RUN.LOG").c_str()));
  EXPECT_TRUE(IsLogFile((L"\\\\?\\" + log).c_str()));
  EXPECT_FALSE(IsLogFile(other.c_str()));
  EXPECT_FALSE(IsLogFile(folder.c_str()));
  LogEnd(ExitDone);
  EXPECT_FALSE(IsLogFile(log.c_str()));
}

// A log that can no longer be written is still held, and still known: the
// uninstall never deletes it.
TEST(LogFile, ALogThatFailsStaysTheLog) {
  std::wstring folder = FreshFolder(L"log failed");
  std::wstring log = folder + L"\\run.log";
  WriteBytes(log, "");
  HANDLE reading = CreateFileW(log.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(reading, INVALID_HANDLE_VALUE);
  AttachLog(reading, log.c_str());
  LogEvent(L"deleted", L"C:\\x", L"done");
  EXPECT_FALSE(IsLogging());
  EXPECT_TRUE(IsLogFile(log.c_str()));
  EXPECT_FALSE(DeleteFileW(log.c_str()));
  LogEnd(ExitDone);
  EXPECT_FALSE(IsLogFile(log.c_str()));
  EXPECT_TRUE(DeleteFileW(log.c_str()));
}

// A file of the product's is no log by any name Windows reaches it by, and
// a name that Windows would make into one of them makes nothing: not yet
// there, it is known by its spelling in a folder known by what it is.
TEST(LogFile, NoNameOfAProductFileIsALog) {
  std::wstring root = FreshFolder(L"log product files");
  std::wstring program = root + L"\\Program folder of a long name";
  std::wstring temp = root + L"\\Temporary";
  std::wstring elsewhere = root + L"\\elsewhere";
  for (const std::wstring& f : {program, temp, elsewhere}) CreateDirectoryW(f.c_str(), nullptr);
  std::wstring list = program + L"\\Uninstall.lst";
  WriteBytes(list, "Kel.txt\r\n");
  ASSERT_TRUE(CreateHardLinkW((elsewhere + L"\\list.log").c_str(), list.c_str(), nullptr));
  std::wstring shortProgram = ShortForm(program);
  ASSERT_NE(shortProgram, program);
  // The program's folder is named in its short form, as a program started
  // by that name finds it.
  const ProductFile productFiles[] = {{shortProgram.c_str(), L"Uninstall.lst"},
                                      {shortProgram.c_str(), L"Pelodra.ini"},
                                      {temp.c_str(), L"Uninstall_Kel.*.Bat"}};
  const std::wstring refused[] = {
      program + L"\\Pelodra.ini", program + L"\\PELODRA.INI", program + L"\\pelodra.ini.",
      program + L"\\Pelodra.ini . .", L"\\\\?\\" + program + L"\\Pelodra.ini.",
      L"\\\\?\\" + program + L"\\Pelodra.ini ",
      program + L"\\..\\" + FindNamePart(program.c_str()) + L"\\Pelodra.ini",
      root + L"/" + FindNamePart(program.c_str()) + L"/Pelodra.ini",
      shortProgram + L"\\Pelodra.ini",
      // The list is there: its short form, its long form, another link to it.
      ShortForm(list), L"\\\\?\\" + list, elsewhere + L"\\list.log",
      // Any name the batch file takes, in the temporary folder.
      temp + L"\\Uninstall_Kel.1234.Bat", temp + L"\\uninstall_kel.1234.2.BAT",
      temp + L"\\Uninstall_Kel.1234.Bat."};
  for (const std::wstring& name : refused)
    EXPECT_FALSE(Opens(name, productFiles, 3)) << name.c_str();
  EXPECT_EQ(FilesMatching(program + L"\\*"), 3) << "more than ., .. and the list";
  EXPECT_EQ(FilesMatching(temp + L"\\*"), 2) << "more than . and ..";
  EXPECT_EQ(ReadBytes(list), "Kel.txt\r\n");

  // Names that only look alike are logs like any other.
  const std::wstring accepted[] = {
      program + L"\\Pelodra.ini.log",   program + L"\\Pelodra.in",
      program + L"\\Uninstall.lst.txt", elsewhere + L"\\Pelodra.ini",
      temp + L"\\Uninstall_Kel.Bat",    temp + L"\\Uninstall_Kel.1.Bat.log",
      root + L"\\Uninstall_Kel.1.Bat"};
  for (const std::wstring& name : accepted) {
    EXPECT_TRUE(Opens(name, productFiles, 3)) << name.c_str();
    DeleteFileW(name.c_str());
  }
  RemoveTree(root);
}

// The log is the file its name ends in, never what a link there leads to,
// and no file is made through a link. A folder on the way may be a link.
TEST(LogFile, ALinkIsNoLogAndLeadsNowhere) {
  std::wstring root = FreshFolder(L"log links");
  std::wstring logs = root + L"\\logs";
  std::wstring elsewhere = root + L"\\elsewhere";
  for (const std::wstring& f : {logs, elsewhere}) CreateDirectoryW(f.c_str(), nullptr);
  std::wstring target = elsewhere + L"\\target.txt";
  WriteBytes(target, "target");
  WriteBytes(logs + L"\\beside.txt", "beside");
  std::wstring missing = elsewhere + L"\\missing.txt";
  struct Case {
    const wchar_t* name;
    std::wstring leadsTo;
    bool hard;
  };
  const Case cases[] = {
      {L"to a file elsewhere.log", target, false},
      {L"to a file beside.log", logs + L"\\beside.txt", false},
      {L"to no file.log", missing, false},
      {L"another name.log", elsewhere + L"\\other.txt", true},
  };
  WriteBytes(missing, "");
  WriteBytes(elsewhere + L"\\other.txt", "other");
  for (const Case& c : cases) {
    std::wstring link = logs + L"\\" + c.name;
    if (c.hard) {
      ASSERT_TRUE(CreateHardLinkW(link.c_str(), c.leadsTo.c_str(), nullptr)) << c.name;
    } else {
      ASSERT_TRUE(MakeFileLink(link, c.leadsTo)) << c.name;
    }
  }
  ASSERT_TRUE(DeleteFileW(missing.c_str()));
  for (const Case& c : cases) EXPECT_FALSE(Opens(logs + L"\\" + c.name)) << c.name;
  EXPECT_EQ(ReadBytes(target), "target");
  EXPECT_EQ(ReadBytes(elsewhere + L"\\other.txt"), "other");
  EXPECT_EQ(ReadBytes(logs + L"\\beside.txt"), "beside");
  EXPECT_FALSE(Exists(missing)) << "made through a link";
  WriteBytes(missing, "");
  for (const Case& c : cases) {
    if (!c.hard) {
      EXPECT_TRUE(RemoveFileLink(logs + L"\\" + c.name));
    }
  }

  std::wstring linkedFolder = root + L"\\linked";
  ASSERT_TRUE(MakeFolderLink(linkedFolder, elsewhere));
  EXPECT_TRUE(Opens(linkedFolder + L"\\run.log"));
  EXPECT_TRUE(Exists(elsewhere + L"\\run.log"));
  RemoveFolderLink(linkedFolder);
  RemoveTree(root);
}
