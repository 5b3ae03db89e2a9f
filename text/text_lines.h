// Text files of the encodings the program meets, read into a list of wide
// lines, and the containers the file and text layer shares.
#pragma once

#include <cstdint>
#include <cstdlib>

#include "base/error_state.h"

// A contiguous heap block of T that grows by at least a quarter plus 32
// elements at a time. Exhausted memory ends the run with code 8 through
// ErrorState; the Try forms report it instead and leave the array as it was.
template <typename T>
class GrowableArray {
 public:
  GrowableArray() = default;
  ~GrowableArray() { Reset(); }
  GrowableArray(const GrowableArray&) = delete;
  GrowableArray& operator=(const GrowableArray&) = delete;

  // n more elements at the end, uninitialised.
  void Add(uint32_t n) {
    if (!TryAdd(n)) ErrorState.OutOfMemory();
  }
  [[nodiscard]] bool TryAdd(uint32_t n) {
    if (n > UINT32_MAX - count_ || !Grow(count_ + n)) return false;
    count_ += n;
    return true;
  }
  void SetSize(uint32_t n) {
    if (!TrySetSize(n)) ErrorState.OutOfMemory();
  }
  [[nodiscard]] bool TrySetSize(uint32_t n) {
    if (!Grow(n)) return false;
    count_ = n;
    return true;
  }
  // Room for n elements in all, when the caller knows how many will come;
  // the count stays.
  [[nodiscard]] bool TryReserve(uint32_t n) { return n <= capacity_ || Reallocate(n); }
  void Reset() {
    std::free(data_);
    data_ = nullptr;
    count_ = 0;
    capacity_ = 0;
  }

  T* Data() { return data_; }
  const T* Data() const { return data_; }
  uint32_t Count() const { return count_; }
  uint32_t Capacity() const { return capacity_; }
  T& operator[](uint32_t i) { return data_[i]; }
  const T& operator[](uint32_t i) const { return data_[i]; }

 private:
  bool Grow(uint32_t needed) {
    if (needed <= capacity_) return true;
    uint64_t grown = uint64_t{capacity_} + capacity_ / 4 + 32;
    return Reallocate(grown > needed && grown <= UINT32_MAX ? static_cast<uint32_t>(grown)
                                                            : needed);
  }
  bool Reallocate(uint32_t capacity) {
    uint64_t bytes = uint64_t{capacity} * sizeof(T);
    if (bytes > SIZE_MAX) return false;
    void* block = std::realloc(data_, static_cast<size_t>(bytes));
    if (!block) return false;
    data_ = static_cast<T*>(block);
    capacity_ = capacity;
    return true;
  }

  T* data_ = nullptr;
  uint32_t count_ = 0;
  uint32_t capacity_ = 0;
};

// Strings one after another in one block, each with its terminator, read
// back in order.
class LineList {
 public:
  // A null text is taken as empty. False (nothing added) when memory has run
  // out.
  [[nodiscard]] bool AppendLine(const wchar_t* text);
  // The next string, valid until the next AppendLine or Reset; false (and
  // null in *out) at the end. `out` may be null.
  bool NextString(const wchar_t** out);
  void Reset();
  uint32_t StringCount() const { return stringCount_; }
  // Room for `characters` more characters (terminators included), so that
  // a known amount of text is added without moving the block. False when
  // memory has run out.
  [[nodiscard]] bool ReserveMore(uint32_t characters);

 private:
  GrowableArray<wchar_t> storage_;
  uint32_t position_ = 0;
  uint32_t stringCount_ = 0;
};

enum TextEncoding : int {
  EncodingAnsi = 0,
  EncodingUtf16 = 3,
  EncodingUtf8 = 4,
};

// UTF-8 needs its mark and a sound byte structure; UTF-16 needs its mark
// (either byte order) and a high byte that plain text would not have.
TextEncoding DetectEncoding(const uint8_t* bytes, uint32_t size);

// Adds the non-empty lines of the file, trailing blanks and tabs cut, in
// file order. False (and nothing added) when the file cannot be opened.
// Exhausted memory does not end the run here: ErrorState records code 8 and
// the list keeps the lines added before. A read error ends the file there.
// `whole` (optional) tells whether every line of the file was added.
[[nodiscard]] bool LoadTextLines(const wchar_t* name, LineList& list, bool* whole = nullptr);
// Reads of text files fail once `bytes` of a file have been read, as on a
// medium that breaks off; UINT32_MAX, the start value, ends that. For
// tests: Windows gives no such error at will.
void FailReadsAfterForTesting(uint32_t bytes);

// In-place, not stable; compare(a, b) > 0 means a belongs after b.
void HeapSort(void* base, uint32_t count, uint32_t size,
              int (*compare)(const void* a, const void* b));
