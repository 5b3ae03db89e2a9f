#include "text/file_list.h"

#include <cwchar>

#include "fs/path_names.h"

namespace {

bool IsTrailingBlank(int c) { return c == '\r' || c == ' ' || c == '\t'; }

bool IsNameCharacter(wchar_t c) { return c >= 32 && !wcschr(L":*?\"<>|", c); }

}  // namespace

bool ReadListLine(FILE* list, char* line, ListLine& kind, uint32_t& consumed) {
  int c = getc(list);
  if (c == EOF) return false;
  size_t length = 0;
  bool tooLong = false;
  bool nul = false;
  consumed = 0;
  for (; c != EOF; c = getc(list)) {
    ++consumed;
    if (c == '\n') break;
    if (c == 0) nul = true;
    if (length < ListLineBytes - 1)
      line[length++] = static_cast<char>(c);
    else if (!IsTrailingBlank(c))
      tooLong = true;
  }
  while (length > 0 && IsTrailingBlank(line[length - 1])) --length;
  line[length] = 0;
  for (size_t i = 0; i < length; ++i)
    if (line[i] == 0) line[i] = ' ';
  kind = tooLong || nul ? ListLine::Damaged : length > 0 ? ListLine::Name : ListLine::Empty;
  return true;
}

bool ListEntryName(const wchar_t* folder, const wchar_t* line, wchar_t* entry, size_t size,
                   unsigned& depth) {
  size_t base = wcslen(folder);
  if (base + 1 >= size) return false;
  wmemcpy(entry, folder, base);
  size_t end = base;
  depth = 0;
  for (const wchar_t* p = line; *p;) {
    const wchar_t* part = p;
    for (; *p && !IsPathSeparator(*p); ++p)
      if (!IsNameCharacter(*p)) return false;
    size_t length = static_cast<size_t>(p - part);
    if (*p) ++p;
    if (length == 0 || (length == 1 && part[0] == L'.')) continue;
    if (length == 2 && part[0] == L'.' && part[1] == L'.') {
      if (depth == 0) return false;
      --depth;
      size_t start = end;
      while (start > base && entry[start - 1] != L'\\') --start;
      end = start > base ? start - 1 : base;
      continue;
    }
    if (part[length - 1] == L'.' || part[length - 1] == L' ') return false;
    size_t separator = depth > 0 ? 1 : 0;
    if (end + separator + length >= size) return false;
    if (separator) entry[end++] = L'\\';
    wmemcpy(entry + end, part, length);
    end += length;
    ++depth;
  }
  entry[end] = 0;
  return depth > 0;
}
