// The lines of the administrators' log: their shape, their text in UTF-8,
// and their place at the end of the file whoever else appends to it.
#include "base/log.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "base/best_effort.h"
#include "base/error_state.h"
#include "base/run_state.h"
#include "fs/log_file.h"
#include "support/log_lines.h"
#include "support/test_files.h"

TEST(Log, LinesHoldTimeWhatWhereAndResultInUtf8) {
  std::wstring log = FreshFolder(L"log lines") + L"\\run \u00e4\u4e2d.log";
  ASSERT_TRUE(OpenLogFile(log.c_str(), nullptr, 0));
  const std::wstring file = L"C:\\Programme\\Pelodra \u00fc\u4e2d\U0001F600\\Kel.txt";
  LogEvent(L"deleted", file.c_str(), L"done");
  // A text of several lines, or one with tabs, stays one line of four fields.
  LogEvent(L"message", L"Remove Pelodra?\r\n\tAll of it.", L"Yes");
  LogOutcome(L"left", L"C:\\x", ERROR_ACCESS_DENIED);
  LogOutcome(L"registry set", L"HKCR\\.kel : (default)", ERROR_SUCCESS);
  LogOutcome(L"shortcut made", L"C:\\y.lnk", static_cast<DWORD>(E_ACCESSDENIED));
  LogEnd(ExitIncomplete);
  EXPECT_FALSE(IsLogging());
  LogEvent(L"deleted", L"after the end", L"done");

  std::vector<LogLine> lines = ReadLog(log);
  ASSERT_EQ(lines.size(), 6u);
  const std::regex stamp("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d");
  for (const LogLine& line : lines) EXPECT_TRUE(std::regex_match(line.stamp, stamp)) << line.raw;
  EXPECT_EQ(lines[0].raw.substr(20), "deleted\t" + Utf8(file) + "\tdone");
  EXPECT_EQ(lines[0].where, "C:\\Programme\\Pelodra \xC3\xBC\xE4\xB8\xAD\xF0\x9F\x98\x80\\Kel.txt");
  EXPECT_EQ(lines[1].where, "Remove Pelodra?   All of it.");
  EXPECT_EQ(lines[1].result, "Yes");
  // The system's text follows the code, on the same line.
  EXPECT_EQ(lines[2].result.rfind("error 5: ", 0), 0u) << lines[2].result;
  EXPECT_GT(lines[2].result.size(), 9u);
  EXPECT_EQ(lines[3].result, "done");
  EXPECT_EQ(lines[4].result.rfind("error 0x80070005", 0), 0u) << lines[4].result;
  EXPECT_EQ(lines[5].what, "end");
  EXPECT_EQ(lines[5].result, "exit code 2 (incomplete)");
}

// Whatever breaks a line for some reader (CR, LF, vertical tab, form feed,
// the next-line control, Unicode's line and paragraph separators) or acts
// on a terminal that shows the log (escape, DEL, the C1 controls) is a
// blank in every field; other characters, unusual ones too, stay as they
// are.
TEST(Log, ControlCharactersAndLineBreaksBecomeBlanks) {
  std::wstring log = FreshFolder(L"log controls") + L"\\run.log";
  ASSERT_TRUE(OpenLogFile(log.c_str(), nullptr, 0));
  struct Case {
    wchar_t c;
    bool blank;
  };
  const Case cases[] = {
      {0x01, true},    {L'\t', true},   {L'\n', true}, {0x0B, true},    {0x0C, true},
      {L'\r', true},   {0x1B, true},    {0x1F, true},  {0x7F, true},    {0x80, true},
      {0x81, true},    {0x85, true},    {0x9F, true},  {0x2028, true},  {0x2029, true},
      {L'~', false},   {0xA0, false},   {0xFF, false}, {0x2027, false}, {0x202A, false},
      {0x3000, false}, {0xFEFF, false},
  };
  for (const Case& c : cases) {
    const wchar_t field[] = {L'a', c.c, L'b', 0};
    LogEvent(field, field, field);
  }
  LogEnd(ExitDone);

  std::vector<LogLine> lines = ReadLog(log);
  ASSERT_EQ(lines.size(), std::size(cases) + 1);
  for (size_t i = 0; i < std::size(cases); ++i) {
    const wchar_t kept[] = {L'a', cases[i].c, L'b', 0};
    std::string expected = cases[i].blank ? "a b" : Utf8(kept);
    EXPECT_EQ(lines[i].what, expected) << std::hex << static_cast<unsigned>(cases[i].c);
    EXPECT_EQ(lines[i].where, expected);
    EXPECT_EQ(lines[i].result, expected);
  }
}

// Each run adds to what is there, and a line of another run written in
// between stays whole between two of this run's.
TEST(Log, RunsAppendToTheSameFile) {
  std::wstring log = FreshFolder(L"log appending") + L"\\shared.log";
  WriteBytes(log, "an earlier run\r\n");
  ASSERT_TRUE(OpenLogFile(log.c_str(), nullptr, 0));
  LogEvent(L"start", L"first", L"");
  HANDLE other = CreateFileW(log.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(other, "another run\r\n", 13, &written, nullptr);
  CloseHandle(other);
  LogEnd(ExitDone);
  ASSERT_TRUE(OpenLogFile(log.c_str(), nullptr, 0));
  LogEnd(ExitCancelled);

  std::vector<LogLine> lines = ReadLog(log);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].raw, "an earlier run");
  EXPECT_EQ(lines[1].where, "first");
  EXPECT_EQ(lines[2].raw, "another run");
  EXPECT_EQ(lines[3].result, "exit code 0 (done)");
  EXPECT_EQ(lines[4].result, "exit code 1 (cancelled)");
}

namespace {

std::wstring teardownMarker;

void TearDownWithMarker() { WriteBytes(teardownMarker, "torn down"); }

void TearDownOutOfMemory() {
  TearDownWithMarker();
  ErrorState.Raise(KEL_CREATE_ERROR);
}

struct FatalEnd {
  void (*teardown)();
  int exitCode;
};

// One death test each: the child process runs its test up to its own.
class FatalEndTest : public testing::TestWithParam<FatalEnd> {};

}  // namespace

// A run that memory fails ends where it stands, and its log says so in its
// last line, written before the run's teardown runs. A fatal error in that
// teardown ends the process at once.
TEST_P(FatalEndTest, TheEndIsTheLastLineOfTheLog) {
  const FatalEnd& c = GetParam();
  std::wstring folder = FreshFolder(L"log fatal end");
  std::wstring log = folder + L"\\run.log";
  teardownMarker = folder + L"\\torn down";
  EXPECT_EXIT(
      {
        ErrorState.SetTeardown(c.teardown);
        BestEffort(OpenLogFile(log.c_str(), nullptr, 0));
        ErrorState.OutOfMemory();
      },
      testing::ExitedWithCode(c.exitCode), "");
  EXPECT_EQ(Exists(teardownMarker), c.teardown != nullptr);
  std::vector<LogLine> lines = ReadLog(log);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().what, "end");
  EXPECT_EQ(lines.back().result, "exit code 8 (out of memory)");
}

INSTANTIATE_TEST_SUITE_P(Log, FatalEndTest,
                         testing::Values(FatalEnd{nullptr, KEL_MEMORY_ERROR},
                                         FatalEnd{TearDownWithMarker, KEL_MEMORY_ERROR},
                                         FatalEnd{TearDownOutOfMemory, KEL_CREATE_ERROR}));

TEST(Log, WritingKeepsTheLastErrorOfTheRun) {
  std::wstring log = FreshFolder(L"log last error") + L"\\run.log";
  ASSERT_TRUE(OpenLogFile(log.c_str(), nullptr, 0));
  SetLastError(ERROR_SHARING_VIOLATION);
  LogOutcome(L"left", L"C:\\x", ERROR_ACCESS_DENIED);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
  SetLastError(0);
  EXPECT_EQ(FailureCode(), static_cast<DWORD>(ERROR_GEN_FAILURE));
  LogEnd(ExitDone);
}
