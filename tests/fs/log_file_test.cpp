// Which names the log may be opened by, and how the uninstall knows it.
#include "fs/log_file.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/log.h"
#include "base/run_state.h"
#include "support/test_files.h"

namespace {

const wchar_t PipeName[] = L"\\\\.\\pipe\\pelodra log test";

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
  const wchar_t* programFiles[] = {list.c_str()};
  HANDLE pipe = CreateNamedPipeW(PipeName, PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE | PIPE_NOWAIT, 1, 512,
                                 512, 0, nullptr);
  ASSERT_NE(pipe, INVALID_HANDLE_VALUE);

  const std::wstring refused[] = {
      L"", L"NUL", L"con", L"COM1", L"LPT1", PipeName, L"\\\\?\\pipe\\pelodra log test",
      L"\\\\?\\GLOBALROOT\\Device\\Null", L"\\\\.\\C:", L"\\\\?\\Volume{0}\\x.log", folder,
      folder + L"\\no such folder\\run.log", readOnly, list,
      // Another name of the same file is the same file.
      folder + L"\\.\\UNINSTALL.LST"};
  for (const std::wstring& name : refused) {
    EXPECT_FALSE(OpenLogFile(name.c_str(), programFiles, 1)) << name.c_str();
    EXPECT_FALSE(IsLogging());
  }
  EXPECT_EQ(ReadBytes(readOnly), "keep");
  EXPECT_EQ(ReadBytes(list), "Kel.txt\r\n");
  EXPECT_FALSE(Exists(folder + L"\\no such folder"));
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
