#include "localization/language_file.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <memory>

#include "base/best_effort.h"
#include "base/conversion.h"
#include "base/program_path.h"
#include "base/run_state.h"
#include "fs/path_names.h"
#include "localization/crc32.h"
#include "localization/language_module.h"
#include "text/disk_file.h"
#include "text/text_lines.h"

namespace {

constexpr uint32_t MaxSectionBytes = 524288;
constexpr uint32_t MaxTextChars = 262144;
// Line breaks of the loaded text; a character no entry contains.
constexpr wchar_t LineBreak = 0x0C;
constexpr unsigned KeyChars = TextKeyChars - 1;
// A last line without a line break delivers at most this much.
constexpr size_t LastLineChars = 255;
constexpr size_t AnsiTextBytes = 4096;
constexpr unsigned DirectionChars = 1024;
// The marker is looked for in the first MarkerBlocks blocks of the file.
constexpr uint32_t MarkerBlockBytes = 8192;
constexpr unsigned MarkerBlocks = 256;
constexpr char SectionMarker[] = "***messages**";
constexpr uint32_t MarkerChars = sizeof SectionMarker - 1;
// Each block is read with the bytes a UTF-16 marker starting at its last
// byte would need, so that a marker across a block boundary is found.
constexpr uint32_t MarkerLookahead = MarkerChars * 2 - 1;

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using HeapBlock = std::unique_ptr<T, FreeDeleter>;

template <typename T>
HeapBlock<T> Allocate(size_t bytes) {
  return HeapBlock<T>(static_cast<T*>(std::malloc(bytes)));
}

wchar_t Unescaped(wchar_t c) {
  switch (c) {
    case L'"':
      return L'"';
    case L'\\':
      return L'\\';
    case L'n':
      return L'\n';
    case L'r':
      return L'\r';
    case L't':
      return L'\t';
    default:
      return 0;
  }
}

// An entry line: its key, parsed once at load, and where the line starts.
struct IndexEntry {
  uint32_t key;
  uint32_t offset;
};

// By key, and in file order where a key repeats, so that the file's first
// entry of a key is the one found.
int CompareIndexEntries(const void* a, const void* b) {
  const auto* x = static_cast<const IndexEntry*>(a);
  const auto* y = static_cast<const IndexEntry*>(b);
  if (x->key != y->key) return x->key < y->key ? -1 : 1;
  return x->offset < y->offset ? -1 : x->offset > y->offset;
}

// An entry line begins with its key, eight lower-case hexadecimal digits,
// and "="; any other line never matches a text.
bool ParseEntryKey(const wchar_t* line, uint32_t& key) {
  uint32_t value = 0;
  for (unsigned i = 0; i < KeyChars; ++i) {
    wchar_t c = line[i];
    uint32_t digit;
    if (c >= L'0' && c <= L'9') {
      digit = c - L'0';
    } else if (c >= L'a' && c <= L'f') {
      digit = c - L'a' + 10;
    } else {
      return false;
    }
    value = value << 4 | digit;
  }
  if (line[KeyChars] != L'=') return false;
  key = value;
  return true;
}

// The section of the file from its marker on, one entry per line, with
// every entry line indexed by its key.
class LanguageFile {
 public:
  bool Loaded() const { return text_ != nullptr; }

  void Reset() {
    text_.reset();
    length_ = 0;
    index_.Reset();
  }

  // `text` holds `length` characters and room for a terminator at
  // min(length, MaxTextChars).
  void Take(HeapBlock<wchar_t> text, uint32_t length) {
    Reset();
    text_ = std::move(text);
    length_ = std::min(length, MaxTextChars);
    text_.get()[length_] = 0;
    ProcessEscapes();
    BuildIndex();
  }

  // The entry line of `key`, or null.
  const wchar_t* FindEntry(uint32_t key) const {
    const IndexEntry* begin = index_.Data();
    const IndexEntry* end = begin + index_.Count();
    const IndexEntry* entry = std::lower_bound(
        begin, end, key, [](const IndexEntry& e, uint32_t k) { return e.key < k; });
    return entry != end && entry->key == key ? text_.get() + entry->offset : nullptr;
  }

 private:
  // Backslash escapes become their characters and raw line breaks become
  // LineBreak, so that an escaped break stays inside its entry.
  void ProcessEscapes() {
    wchar_t* text = text_.get();
    uint32_t write = 0;
    for (uint32_t read = 0; read < length_;) {
      wchar_t c = text[read++];
      if (c == 0) break;
      if (c == L'\\') {
        // text[length_] is the terminator, so the look-ahead stays inside.
        if (wchar_t replacement = Unescaped(text[read])) {
          text[write++] = replacement;
          ++read;
          continue;
        }
      } else if (c == L'\r' || c == L'\n') {
        c = LineBreak;
      }
      text[write++] = c;
    }
    text[write] = 0;
    length_ = write;
  }

  void BuildIndex() {
    const wchar_t* text = text_.get();
    for (const wchar_t* line = text; *line;) {
      uint32_t key;
      if (ParseEntryKey(line, key)) {
        index_.Add(1);
        index_[index_.Count() - 1] = {key, static_cast<uint32_t>(line - text)};
      }
      while (*line && *line != LineBreak) ++line;
      while (*line == LineBreak) ++line;
    }
    HeapSort(index_.Data(), index_.Count(), sizeof(IndexEntry), CompareIndexEntries);
  }

  HeapBlock<wchar_t> text_;
  uint32_t length_ = 0;
  GrowableArray<IndexEntry> index_;
};

LanguageFile languageFile;

// Turns the bytes read from the marker on into the loaded text. `bytes`
// holds `size` bytes and room for two more.
[[nodiscard]] bool TakeSection(HeapBlock<uint8_t> bytes, uint32_t size, bool utf16) {
  if (utf16) {
    HeapBlock<wchar_t> text(reinterpret_cast<wchar_t*>(bytes.release()));
    languageFile.Take(std::move(text), size / 2);
    return true;
  }
  auto text = Allocate<wchar_t>(static_cast<size_t>(size) * 2 + 2);
  if (!text) return false;
  bytes.get()[size] = 0;
  ToWide(reinterpret_cast<const char*>(bytes.get()), text.get(), static_cast<size_t>(size) + 1);
  bytes.reset();
  languageFile.Take(std::move(text), size);
  return true;
}

// The copied value of an entry: behind the key and "=", and behind an
// opening double quote; it ends at the line's end and at its last double
// quote.
void CopyEntryValue(const wchar_t* line, wchar_t* destination, size_t capacity) {
  if (capacity == 0) return;
  const wchar_t* value = line + KeyChars + 1;
  if (*value == L'"') ++value;
  const wchar_t* end = std::wcschr(value, LineBreak);
  size_t n = end ? static_cast<size_t>(end - value) : LastLineChars;
  n = std::min(n, capacity - 1);
  size_t copied = 0;
  for (; copied < n && value[copied]; ++copied) destination[copied] = value[copied];
  destination[copied] = 0;
  if (wchar_t* quote = std::wcsrchr(destination, L'"')) *quote = 0;
}

bool IsMarkerAt(const uint8_t* p, uint32_t available, bool& utf16) {
  if (available >= MarkerChars && std::memcmp(p, SectionMarker, MarkerChars) == 0) {
    utf16 = false;
    return true;
  }
  if (available < MarkerChars * 2) return false;
  for (uint32_t i = 0; i < MarkerChars; ++i)
    if (p[2 * i] != static_cast<uint8_t>(SectionMarker[i]) || p[2 * i + 1] != 0) return false;
  utf16 = true;
  return true;
}

// The byte offset of the section marker, tested at every byte position of
// the first blocks of the file, 8-bit form before UTF-16; -1 when none is
// there.
int64_t FindSectionMarker(DiskFile& file, bool& utf16) {
  uint8_t window[MarkerBlockBytes + MarkerLookahead];
  int32_t filled = file.Read(window, sizeof window);
  int64_t base = 0;
  for (unsigned block = 0; block < MarkerBlocks && filled > 0; ++block) {
    auto available = static_cast<uint32_t>(filled);
    uint32_t starts = std::min(available, MarkerBlockBytes);
    for (uint32_t p = 0; p < starts; ++p)
      if (IsMarkerAt(window + p, available - p, utf16)) return base + p;
    if (available < sizeof window) break;
    std::memmove(window, window + MarkerBlockBytes, MarkerLookahead);
    base += MarkerBlockBytes;
    int32_t n = file.Read(window + MarkerLookahead, MarkerBlockBytes);
    if (n < 0) break;
    filled = static_cast<int32_t>(MarkerLookahead) + n;
  }
  return -1;
}

// A bare name is looked for in the program's folder.
bool PlaceBesideProgram(wchar_t* path) {
  if (std::wcschr(path, L'\\')) return true;
  wchar_t program[MaxPathChars];
  GetProgramPath(program, MaxPathChars);
  wchar_t* slash = std::wcsrchr(program, L'\\');
  if (!slash) return false;
  slash[1] = 0;
  BoundedAppend(program, path, MaxPathChars);
  BoundedCopy(path, program, MaxPathChars);
  return true;
}

void ReadLanguageFile(const wchar_t* name) {
  wchar_t path[MaxPathChars];
  FindInLanguageFolder(name, path, MaxPathChars);
  if (!PlaceBesideProgram(path)) return;
  DiskFile file;
  if (!file.Open(path, OpenShareWrite)) return;
  bool utf16 = false;
  int64_t marker = FindSectionMarker(file, utf16);
  if (marker < 0) return;
  file.Seek(marker, FILE_BEGIN);
  auto bytes = Allocate<uint8_t>(MaxSectionBytes + 2);
  if (!bytes) return;
  int32_t read = file.Read(bytes.get(), MaxSectionBytes);
  // The uninstall run deletes the file: it is not held open.
  BestEffort(file.Close());
  if (read >= 0) BestEffort(TakeSection(std::move(bytes), static_cast<uint32_t>(read), utf16));
}

void SettleTextDirection() {
  bool rightToLeft = FindResourceW(ResourceModule(), L"RTL", RT_DIALOG) != nullptr;
  if (!rightToLeft) {
    wchar_t direction[DirectionChars];
    TranslateText(L"LTR", direction, DirectionChars, TextKind::DialogText, L"LTR");
    rightToLeft = std::wcscmp(direction, L"RTL") == 0;
  }
  SetRightToLeft(rightToLeft);
  if (rightToLeft) SetProcessDefaultLayout(LAYOUT_RTL);
}

// The CRC-32 of the kind byte, the ANSI form of the context and the ANSI
// form of the source.
uint32_t TextKey(const wchar_t* source, TextKind kind, const wchar_t* context) {
  char ansi[AnsiTextBytes];
  uint8_t kindByte = static_cast<uint8_t>(kind);
  uint32_t crc = Crc32Update(Crc32Start, &kindByte, 1);
  if (context) {
    ToNarrow(context, ansi, AnsiTextBytes);
    crc = Crc32Update(crc, ansi, std::strlen(ansi));
  }
  ToNarrow(source, ansi, AnsiTextBytes);
  crc = Crc32Update(crc, ansi, std::strlen(ansi));
  return ~crc;
}

}  // namespace

void TranslateText(const wchar_t* source, wchar_t* destination, size_t capacity, TextKind kind,
                   const wchar_t* context) {
  if (languageFile.Loaded()) {
    if (const wchar_t* line = languageFile.FindEntry(TextKey(source, kind, context))) {
      CopyEntryValue(line, destination, capacity);
      return;
    }
  }
  BoundedCopy(destination, source, capacity);
}

bool LoadLanguageSection(const void* bytes, uint32_t size, bool utf16) {
  size = std::min(size, MaxSectionBytes);
  auto copy = Allocate<uint8_t>(static_cast<size_t>(size) + 2);
  if (!copy) return false;
  std::memcpy(copy.get(), bytes, size);
  return TakeSection(std::move(copy), size, utf16);
}

void LoadLanguageFile(const wchar_t* name) {
  languageFile.Reset();
  ReadLanguageFile(name);
  SettleTextDirection();
}

void ReleaseLanguageFile() { languageFile.Reset(); }

bool IsLanguageFileLoaded() { return languageFile.Loaded(); }

void ResetLanguageFileForTesting() {
  languageFile.Reset();
  SetRightToLeft(false);
  SetProcessDefaultLayout(0);
}
