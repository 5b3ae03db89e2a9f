// The lines of a log as the program writes them, read back for tests.
#pragma once

#include <string>
#include <vector>

// Wide text as UTF-8, the form of the log's lines.
std::string Utf8(const std::wstring& text);

// One line: its time stamp and three fields, in UTF-8. A line that does
// not have the shape keeps its whole text in `raw` and empty fields.
struct LogLine {
  std::string raw;
  std::string stamp;
  std::string what;
  std::string where;
  std::string result;
};

// The lines of the file at `path` (ended by CR LF), in order.
std::vector<LogLine> ReadLog(const std::wstring& path);

// Whether a line has exactly these fields.
bool HasLine(const std::vector<LogLine>& lines, const std::string& what, const std::string& where,
             const std::string& result);
// The first line of the kind `what` about `where`; null when there is none.
const LogLine* FindLine(const std::vector<LogLine>& lines, const std::string& what,
                        const std::string& where);
// How many lines are of the kind `what`.
size_t CountLines(const std::vector<LogLine>& lines, const std::string& what);
