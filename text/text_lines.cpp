#include "text/text_lines.h"

#include <cstring>
#include <cwchar>
#include <memory>

#include "base/best_effort.h"
#include "base/conversion.h"
#include "fs/path_names.h"
#include "text/disk_file.h"

bool LineList::AppendLine(const wchar_t* text) {
  if (!text) text = L"";
  size_t length = wcslen(text) + 1;
  if (length > UINT32_MAX) return false;
  // The text may be one of this list's own strings, which growing moves.
  auto address = reinterpret_cast<uintptr_t>(text);
  auto begin = reinterpret_cast<uintptr_t>(storage_.Data());
  bool inside = begin && address >= begin && address < begin + storage_.Count() * sizeof(wchar_t);
  uint32_t at = storage_.Count();
  if (!storage_.TryAdd(static_cast<uint32_t>(length))) return false;
  if (inside) text = storage_.Data() + (address - begin) / sizeof(wchar_t);
  wmemcpy(storage_.Data() + at, text, length);
  ++stringCount_;
  return true;
}

bool LineList::NextString(const wchar_t** out) {
  if (position_ >= storage_.Count()) {
    if (out) *out = nullptr;
    return false;
  }
  const wchar_t* text = storage_.Data() + position_;
  if (out) *out = text;
  position_ += static_cast<uint32_t>(wcslen(text) + 1);
  return true;
}

bool LineList::ReserveMore(uint32_t characters) {
  return characters <= UINT32_MAX - storage_.Count() &&
         storage_.TryReserve(storage_.Count() + characters);
}

void LineList::Reset() {
  storage_.Reset();
  position_ = 0;
  stringCount_ = 0;
}

namespace {

constexpr uint32_t ReadStep = 4096;

// Every lead byte followed by as many continuation bytes as its leading one
// bits say, all inside the n bytes.
bool HasUtf8Structure(const uint8_t* bytes, uint32_t n) {
  uint32_t i = 0;
  while (i < n) {
    uint8_t lead = bytes[i++];
    int ones = 0;
    while (ones < 8 && (lead & (0x80 >> ones))) ++ones;
    if (ones == 1 || ones > 6) return false;
    for (int k = 1; k < ones; ++k, ++i)
      if (i >= n || (bytes[i] & 0xC0) != 0x80) return false;
  }
  return true;
}

uint32_t readErrorAfter = UINT32_MAX;

// The whole file in 4096-byte steps. The array is kept one step longer than
// what was read, so each step lands in allocated room; a block of the file's
// size is taken at once, as growing a large block step by step copies it
// many times. A read error ends the reading like the end of the file; what
// was read is kept, and `broken` tells. False when memory ran out.
[[nodiscard]] bool ReadWholeFile(DiskFile& file, GrowableArray<uint8_t>& bytes, bool& broken) {
  int64_t length = file.FileLength();
  if (length > 0 && length < int64_t{UINT32_MAX} - ReadStep &&
      !bytes.TryReserve(static_cast<uint32_t>(length) + ReadStep))
    return false;
  if (!bytes.TrySetSize(ReadStep)) return false;
  uint32_t total = 0;
  for (;;) {
    int32_t n = total < readErrorAfter ? file.Read(bytes.Data() + total, ReadStep) : -1;
    broken = n < 0;
    if (n <= 0) break;
    if (!bytes.TryAdd(static_cast<uint32_t>(n))) return false;
    total += static_cast<uint32_t>(n);
  }
  return bytes.TrySetSize(total);
}

// Into terminated wide text; bytes may grow by a terminating zero. False
// when memory ran out.
[[nodiscard]] bool Decode(GrowableArray<uint8_t>& bytes, GrowableArray<wchar_t>& text) {
  uint32_t total = bytes.Count();
  TextEncoding encoding = DetectEncoding(bytes.Data(), total);
  if (encoding == EncodingUtf16) {
    bool bigEndian = bytes[0] == 0xFE;
    uint32_t characters = total / 2 - 1;
    if (!text.TrySetSize(characters + 1)) return false;
    const uint8_t* pair = bytes.Data() + 2;
    for (uint32_t i = 0; i < characters; ++i, pair += 2)
      text[i] = static_cast<wchar_t>(bigEndian ? pair[0] << 8 | pair[1] : pair[1] << 8 | pair[0]);
    text[characters] = 0;
    return true;
  }
  if (!bytes.TryAdd(1)) return false;
  bytes[total] = 0;
  if (!text.TrySetSize(bytes.Count())) return false;
  const auto* narrow = reinterpret_cast<const char*>(bytes.Data());
  if (encoding == EncodingUtf8)
    Utf8ToWide(narrow + 3, text.Data(), text.Count());
  else
    ToWide(narrow, text.Data(), text.Count());
  return true;
}

// Lines end at CR LF, a lone LF or a lone CR; trailing blanks and tabs are
// cut and empty lines dropped. The text is changed in place. False when
// memory ran out.
[[nodiscard]] bool SplitLines(wchar_t* text, LineList& list) {
  wchar_t* start = text;
  while (*start) {
    wchar_t* stop = start;
    while (*stop && *stop != L'\r' && *stop != L'\n') ++stop;
    wchar_t terminator = *stop;
    *stop = 0;
    for (wchar_t* end = stop; end > start && (end[-1] == L' ' || end[-1] == L'\t'); --end)
      end[-1] = 0;
    if (*start && !list.AppendLine(start)) return false;
    if (!terminator) return true;
    start = stop + 1;
    while (*start == L'\r' || *start == L'\n') ++start;
  }
  return true;
}

}  // namespace

TextEncoding DetectEncoding(const uint8_t* bytes, uint32_t size) {
  if (size > 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF &&
      HasUtf8Structure(bytes + 3, size - 3))
    return EncodingUtf8;
  bool littleEndian = size > 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
  bool bigEndian = size > 2 && bytes[0] == 0xFE && bytes[1] == 0xFF;
  if (littleEndian || bigEndian) {
    // Plain text has no control characters but CR and LF, so such a high
    // byte tells UTF-16 from two ANSI characters that look like a mark.
    for (uint32_t i = littleEndian ? 3 : 2; i < size; i += 2)
      if (bytes[i] < 0x20 && bytes[i] != 0x0D && bytes[i] != 0x0A) return EncodingUtf16;
  }
  return EncodingAnsi;
}

bool LoadTextLines(const wchar_t* name, LineList& list, bool* whole) {
  wchar_t fileName[MaxPathChars];
  BoundedCopy(fileName, name, MaxPathChars);
  DiskFile file;
  if (!file.Open(fileName, 0)) return false;
  GrowableArray<uint8_t> bytes;
  GrowableArray<wchar_t> text;
  bool broken = false;
  bool complete = ReadWholeFile(file, bytes, broken) && Decode(bytes, text);
  bytes.Reset();
  // The lines with their terminators never take more than the text; when
  // that room cannot be had, they are added one by one while memory lasts.
  if (complete) {
    BestEffort(list.ReserveMore(text.Count()));
    if (text.Count()) complete = SplitLines(text.Data(), list);
  }
  if (!complete) ErrorState.Record(KEL_MEMORY_ERROR);
  if (whole) *whole = complete && !broken;
  return true;
}

void FailReadsAfterForTesting(uint32_t bytes) { readErrorAfter = bytes; }

void HeapSort(void* base, uint32_t count, uint32_t size,
              int (*compare)(const void* a, const void* b)) {
  if (count < 2 || size == 0) return;
  std::unique_ptr<uint8_t, decltype(&std::free)> held(static_cast<uint8_t*>(std::malloc(size)),
                                                      &std::free);
  if (!held) ErrorState.OutOfMemory();
  uint8_t* sifted = held.get();
  auto* elements = static_cast<uint8_t*>(base);
  auto at = [&](size_t i) { return elements + i * size; };
  // Moves the hole down from `hole` until `sifted` fits into it.
  auto siftDown = [&](size_t hole, size_t end) {
    for (size_t child = 2 * hole + 1; child < end; child = 2 * hole + 1) {
      if (child + 1 < end && compare(at(child + 1), at(child)) > 0) ++child;
      if (compare(at(child), sifted) <= 0) break;
      std::memcpy(at(hole), at(child), size);
      hole = child;
    }
    std::memcpy(at(hole), sifted, size);
  };
  for (size_t i = count / 2; i-- > 0;) {
    std::memcpy(sifted, at(i), size);
    siftDown(i, count);
  }
  for (size_t end = count - 1; end > 0; --end) {
    std::memcpy(sifted, at(end), size);
    std::memcpy(at(end), at(0), size);
    siftDown(0, end);
  }
}
