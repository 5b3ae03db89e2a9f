// What the removal does with the lines of "Uninstall.lst" it cannot use.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/log.h"
#include "fs/log_file.h"
#include "removal/list_removal.h"
#include "support/log_lines.h"
#include "support/test_files.h"

namespace {

// Runs the list over the folder.
ListRemoval RemoveListed(const std::wstring& folder, const std::string& lines) {
  std::wstring name = folder + L".lst";
  WriteBytes(name, lines);
  FILE* list = _wfopen(name.c_str(), L"rb");
  ListRemoval removal = RemoveListedFiles(list, (folder + L"\\").c_str(), L"x.exe");
  fclose(list);
  return removal;
}

// A name of `length` characters below `folder`, in folders of 250.
std::string NestedName(const std::wstring& folder, size_t length) {
  std::string name;
  std::wstring path = L"\\\\?\\" + folder;
  while (length - name.size() > 251) {
    name += std::string(250, 'n') + "\\";
    path += L"\\" + std::wstring(250, L'n');
    CreateDirectoryW(path.c_str(), nullptr);
  }
  name += std::string(length - name.size(), 'f');
  WriteBytes(folder + L"\\" + std::wstring(name.begin(), name.end()), "x");
  return name;
}

}  // namespace

// The longest line is used; a longer one is no name, and neither is a part
// of it. A NUL does not end a line: before it and after it lie no names.
// Each damaged line is refused in the log, wherever its NUL lies (shown as
// a blank); empty lines are no lines at all.
TEST(ListLines, ALineIsJudgedByAllItsBytes) {
  std::wstring folder = FreshFolder(L"list lines");
  std::string longest = NestedName(folder, 2047);
  std::string tooLong = NestedName(folder, 2048);
  WriteBytes(folder + L"\\a", "x");
  WriteBytes(folder + L"\\unlisted.txt", "x");
  std::string nul(1, '\0');
  const std::string damaged[][2] = {
      // Too long as well: the log shows what was read of it.
      {"a" + nul + std::string(2045, 'p') + "unlisted.txt", "a " + std::string(2045, 'p')},
      {nul + "unlisted.txt", " unlisted.txt"},
      {"unlisted.txt" + nul, "unlisted.txt "},
      {nul + nul, "  "},
  };
  std::string lines = longest + "\r\n" + tooLong + "\r\n\r\n \t\r\n";
  for (const auto& line : damaged) lines += line[0] + "\r\n";
  std::wstring log = FreshFolder(L"list lines log") + L"\\run.log";
  ASSERT_TRUE(OpenLogFile(log.c_str(), nullptr, 0));
  RemoveListed(folder, lines);
  LogEnd(0);
  EXPECT_FALSE(Exists(folder + L"\\" + std::wstring(longest.begin(), longest.end())));
  EXPECT_TRUE(Exists(folder + L"\\" + std::wstring(tooLong.begin(), tooLong.end())));
  EXPECT_TRUE(Exists(folder + L"\\a"));
  EXPECT_TRUE(Exists(folder + L"\\unlisted.txt"));
  std::vector<LogLine> logged = ReadLog(log);
  EXPECT_EQ(CountLines(logged, "refused"), 1 + std::size(damaged));
  EXPECT_TRUE(
      HasLine(logged, "refused", tooLong.substr(0, 2047), "a damaged line (too long, or a NUL)"));
  for (const auto& line : damaged)
    EXPECT_TRUE(HasLine(logged, "refused", line[1], "a damaged line (too long, or a NUL)"))
        << line[1];
}
