// Loads a language file of 5,000 entries, looks every entry up and as many
// texts without an entry, and compares the eight-bytes-at-a-time CRC-32
// with a byte-at-a-time one.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/format.h"
#include "base/program_path.h"
#include "localization/crc32.h"
#include "localization/language_file.h"

namespace {

constexpr int EntryCount = 5000;
constexpr int DefaultLookupRounds = 100;
constexpr size_t CrcBytes = 8 << 20;
constexpr int CrcRounds = 4;

double Seconds() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f;
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::wstring SourceText(int i) {
  return L"Message " + std::to_wstring(i) + L" of the program, short";
}

// As long as its source, so that a hit copies as much as a miss.
std::wstring Translation(int i) {
  std::wstring text = SourceText(i);
  text[0] = L'\u00DC';
  return text;
}

// Exactly as long as SourceText(i), but the file translates none of these.
std::wstring UntranslatedText(int i) {
  return L"Button " + std::to_wstring(i) + L" of a dialog, not found";
}

// The byte-at-a-time CRC-32 with one 256-entry table, for comparison.
struct ByteCrc {
  uint32_t table[256];
  ByteCrc() {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (c >> 1) ^ 0xEDB88320 : c >> 1;
      table[i] = c;
    }
  }
  uint32_t Update(uint32_t crc, const uint8_t* p, size_t n) const {
    while (n--) crc = (crc >> 8) ^ table[(crc ^ *p++) & 0xFF];
    return crc;
  }
};

// The key the language file gives a message: the CRC-32 of the kind byte
// and the text's ANSI form, which for these ASCII texts is their bytes.
std::wstring MessageKey(const std::wstring& source) {
  std::string bytes(1, static_cast<char>(TextKind::Message));
  for (wchar_t c : source) bytes += static_cast<char>(c);
  wchar_t key[9];
  FormatText(key, 9, L"%08x", ~Crc32Update(Crc32Start, bytes.data(), bytes.size()));
  return key;
}

bool WriteLanguageFile(const std::wstring& path) {
  std::wstring text = L"\xFEFF; 5,000 generated entries\r\n***messages***\r\n";
  for (int i = 0; i < EntryCount; ++i)
    text += MessageKey(SourceText(i)) + L"=\"" + Translation(i) + L"\"\r\n";
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  DWORD size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  bool ok = WriteFile(file, text.data(), size, &written, nullptr) && written == size;
  CloseHandle(file);
  return ok;
}

}  // namespace

// The argument, when given, is the number of lookup rounds.
int main(int argc, char** argv) {
  const int lookupRounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : DefaultLookupRounds;
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  std::wstring program = std::wstring(folder) + L"uninstall.exe";
  std::wstring language = std::wstring(folder) + L"uninstall.lng";
  if (!WriteLanguageFile(language)) {
    std::printf("cannot write %ls\n", language.c_str());
    return 1;
  }
  SetProgramPathForTesting(program.c_str());
  double start = Seconds();
  LoadLanguageFile(L"uninstall.lng");
  double loadSeconds = Seconds() - start;
  DeleteFileW(language.c_str());
  if (!IsLanguageFileLoaded()) {
    std::printf("the language file was not loaded\n");
    return 1;
  }

  std::vector<std::wstring> sources, untranslated;
  for (int i = 0; i < EntryCount; ++i) {
    sources.push_back(SourceText(i));
    untranslated.push_back(UntranslatedText(i));
  }
  wchar_t out[512];
  int wrong = 0;
  // Rounds of hits and misses alternate, so that both see the same load of
  // the machine.
  double lookupSeconds = 0, missSeconds = 0;
  for (int round = 0; round < lookupRounds; ++round) {
    start = Seconds();
    for (int i = 0; i < EntryCount; ++i) {
      TranslateText(sources[i].c_str(), out, 512, TextKind::Message, nullptr);
      if (out[0] != L'\u00DC') ++wrong;
    }
    double middle = Seconds();
    for (int i = 0; i < EntryCount; ++i) {
      TranslateText(untranslated[i].c_str(), out, 512, TextKind::Message, nullptr);
      if (out[0] != L'B') ++wrong;
    }
    lookupSeconds += middle - start;
    missSeconds += Seconds() - middle;
  }

  std::vector<uint8_t> data(CrcBytes);
  uint32_t seed = 1;
  for (auto& b : data) b = static_cast<uint8_t>((seed = seed * 1103515245 + 12345) >> 16);
  ByteCrc byteCrc;
  uint32_t sliced = 0, bytewise = 0;
  start = Seconds();
  for (int round = 0; round < CrcRounds; ++round)
    sliced = Crc32Update(Crc32Start, data.data(), CrcBytes);
  double slicedSeconds = Seconds() - start;
  start = Seconds();
  for (int round = 0; round < CrcRounds; ++round)
    bytewise = byteCrc.Update(Crc32Start, data.data(), CrcBytes);
  double bytewiseSeconds = Seconds() - start;

  double megabytes = static_cast<double>(CrcBytes) * CrcRounds / (1024.0 * 1024.0);
  std::printf("language file: %d entries loaded in %.1f ms\n", EntryCount, loadSeconds * 1000);
  std::printf("lookups: %d in %.3f s = %.0f per second (%d wrong)\n", EntryCount * lookupRounds,
              lookupSeconds, EntryCount * lookupRounds / lookupSeconds, wrong);
  std::printf("lookups without an entry: %d in %.3f s = %.0f per second\n",
              EntryCount * lookupRounds, missSeconds, EntryCount * lookupRounds / missSeconds);
  std::printf("a lookup without an entry costs %.2fx a found one\n", missSeconds / lookupSeconds);
  std::printf("CRC-32 eight bytes at a time: %.1f MB/s\n", megabytes / slicedSeconds);
  std::printf("CRC-32 one byte at a time:    %.1f MB/s\n", megabytes / bytewiseSeconds);
  std::printf("speed-up %.2fx, results %s\n", bytewiseSeconds / slicedSeconds,
              sliced == bytewise ? "equal" : "DIFFER");
  return wrong || sliced != bytewise;
}
