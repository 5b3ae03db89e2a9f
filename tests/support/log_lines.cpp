#include "support/log_lines.h"

#include <windows.h>

#include "support/test_files.h"

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0,
                                 nullptr, nullptr);
  std::string result(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], size,
                      nullptr, nullptr);
  return result;
}

std::vector<LogLine> ReadLog(const std::wstring& path) {
  std::string text = ReadBytes(path);
  std::vector<LogLine> lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find("\r\n", start);
    if (end == std::string::npos) end = text.size();
    LogLine line;
    line.raw = text.substr(start, end - start);
    size_t tab1 = line.raw.find('\t');
    size_t tab2 = tab1 == std::string::npos ? tab1 : line.raw.find('\t', tab1 + 1);
    size_t tab3 = tab2 == std::string::npos ? tab2 : line.raw.find('\t', tab2 + 1);
    if (tab3 != std::string::npos && line.raw.find('\t', tab3 + 1) == std::string::npos) {
      line.stamp = line.raw.substr(0, tab1);
      line.what = line.raw.substr(tab1 + 1, tab2 - tab1 - 1);
      line.where = line.raw.substr(tab2 + 1, tab3 - tab2 - 1);
      line.result = line.raw.substr(tab3 + 1);
    }
    lines.push_back(line);
    start = end + 2;
  }
  return lines;
}

bool HasLine(const std::vector<LogLine>& lines, const std::string& what, const std::string& where,
             const std::string& result) {
  for (const LogLine& line : lines)
    if (line.what == what && line.where == where && line.result == result) return true;
  return false;
}

const LogLine* FindLine(const std::vector<LogLine>& lines, const std::string& what,
                        const std::string& where) {
  for (const LogLine& line : lines)
    if (line.what == what && line.where == where) return &line;
  return nullptr;
}

size_t CountLines(const std::vector<LogLine>& lines, const std::string& what) {
  size_t count = 0;
  for (const LogLine& line : lines)
    if (line.what == what) ++count;
  return count;
}
