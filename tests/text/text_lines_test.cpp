#include "text/text_lines.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "support/test_files.h"

namespace {

std::vector<std::wstring> Strings(LineList& list) {
  std::vector<std::wstring> strings;
  const wchar_t* text = nullptr;
  while (list.NextString(&text)) strings.push_back(text);
  EXPECT_EQ(text, nullptr);
  return strings;
}

std::vector<std::wstring> LoadBytes(const std::wstring& path, const std::string& bytes) {
  EXPECT_TRUE(WriteBytes(path, bytes));
  LineList list;
  EXPECT_TRUE(LoadTextLines(path.c_str(), list));
  std::vector<std::wstring> strings = Strings(list);
  EXPECT_EQ(strings.size(), list.StringCount());
  return strings;
}

using Lines = std::vector<std::wstring>;

// Every heap of the process still sound: catches writes past a block.
bool HeapsAreSound() {
  HANDLE heaps[64];
  DWORD count = GetProcessHeaps(64, heaps);
  for (DWORD i = 0; i < count && i < 64; ++i)
    if (!HeapValidate(heaps[i], 0, nullptr)) return false;
  return true;
}

}  // namespace

TEST(LineList, KeepsStringsInOrderAndSurvivesGrowth) {
  LineList list;
  EXPECT_TRUE(list.AppendLine(L"first"));
  EXPECT_TRUE(list.AppendLine(nullptr));
  EXPECT_TRUE(list.AppendLine(L"third"));
  EXPECT_EQ(list.StringCount(), 3u);
  EXPECT_EQ(Strings(list), (Lines{L"first", L"", L"third"}));
  EXPECT_FALSE(list.NextString(nullptr));

  // Appending the list's own strings while it grows.
  list.Reset();
  EXPECT_TRUE(list.AppendLine(L"seed"));
  const wchar_t* own = nullptr;
  for (int i = 0; i < 200 && list.NextString(&own); ++i) EXPECT_TRUE(list.AppendLine(own));
  EXPECT_EQ(list.StringCount(), 201u);
  list.Reset();
  EXPECT_EQ(list.StringCount(), 0u);
  EXPECT_FALSE(list.NextString(&own));
  EXPECT_EQ(own, nullptr);
}

TEST(LoadTextLines, LineEndsBlanksAndEncodings) {
  std::wstring path = FreshFolder(L"text_lines_cases") + L"\\case.txt";
  struct Case {
    std::string bytes;
    Lines lines;
  } cases[] = {
      {"", {}},
      {"a\r\n\r\nb  ", {L"a", L"b"}},
      {"x\ry", {L"x", L"y"}},
      {"x\n\n\ny", {L"x", L"y"}},
      {"a\r\r\n\t \r\nb\n", {L"a", L"b"}},
      {"  lead\t \r\nmid \t x\t", {L"  lead", L"mid \t x"}},
      {std::string("ab\0cd\r\nef", 9), {L"ab"}},
      {"\xE9t\xE9", {L"\u00E9t\u00E9"}},
      // UTF-16 with either mark; an odd last byte is dropped.
      {std::string("\xFF\xFEh\0i\0\r\0\n\0j\0", 12), {L"hi", L"j"}},
      {std::string("\xFE\xFF\0h\0i\0\n\x04\x10", 10), {L"hi", L"\u0410"}},
      {std::string("\xFF\xFE"
                   "a\0b",
                   5),
       {L"a"}},
      // A mark followed by bytes that plain text could hold is plain text.
      {"\xFF\xFE"
       "ABCD",
       {L"\u00FF\u00FE"
        L"ABCD"}},
      {"\xEF\xBB\xBF"
       "caf\xC3\xA9\r\n\xF0\x9F\x98\x80",
       {L"caf\u00E9", L"\xD83D\xDE00"}},
      // A mark before bytes that are no UTF-8 leaves everything ANSI.
      {"\xEF\xBB\xBF\x80", {L"\u00EF\u00BB\u00BF\u20AC"}},
      // Decoding stops at the first sequence the decoder refuses.
      {"\xEF\xBB\xBF"
       "ok\n\xF8\x88\x80\x80\x80"
       "x",
       {L"ok"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    EXPECT_EQ(LoadBytes(path, c.bytes), c.lines);
  }
}

TEST(LoadTextLines, MissingFileLeavesTheListAlone) {
  LineList list;
  ASSERT_TRUE(list.AppendLine(L"kept"));
  EXPECT_FALSE(LoadTextLines(L"C:\\tests\\no such folder\\none.txt", list));
  EXPECT_EQ(Strings(list), (Lines{L"kept"}));
}

TEST(LoadTextLines, ManyLinesAcrossReadSteps) {
  std::wstring folder = FreshFolder(L"text_lines_many");
  std::string ansi;
  std::string utf16 = "\xFF\xFE";
  Lines expected;
  for (int i = 0; i < 5000; ++i) {
    std::string line = "line " + std::to_string(i) + std::string(static_cast<size_t>(i % 37), 'x');
    ansi += line + (i % 3 ? "\r\n" : "\n");
    for (char c : line + "\r\n") utf16 += std::string{c, '\0'};
    expected.push_back(std::wstring(line.begin(), line.end()));
  }
  EXPECT_EQ(LoadBytes(folder + L"\\ansi.txt", ansi), expected);
  EXPECT_EQ(LoadBytes(folder + L"\\utf16.txt", utf16), expected);
}

TEST(LoadTextLines, SurvivesRandomBytesOddEncodingsAndLongLines) {
  std::wstring path = FreshFolder(L"text_lines_random") + L"\\random.bin";
  std::mt19937 random(20240611);
  const std::string marks[] = {"", "\xFF\xFE", "\xFE\xFF", "\xEF\xBB\xBF", "\xFF", "\xEF\xBB"};
  // The first seven pieces keep UTF-8 sound, so that a marked file is
  // decoded as UTF-8 often enough.
  const std::string pieces[] = {"\r",
                                "\n",
                                "\r\n",
                                " ",
                                "\t",
                                "\xC3\xA9",
                                "\xF0\x9F\x98\x80",
                                std::string(1, '\0'),
                                "\xF0\x9F\x98",
                                "\x80",
                                "\xFF\xFE",
                                std::string("\x0D\x00", 2)};
  int seen[5] = {};
  for (int round = 0; round < 150; ++round) {
    std::string bytes = marks[random() % 6];
    bool sound = random() % 2 == 0;
    size_t length = random() % 3 == 0 ? 70000 + random() % 30000 : random() % 9000;
    while (bytes.size() < length) {
      switch (random() % 4) {
        case 0:
          bytes += pieces[random() % (sound ? 7 : 12)];
          break;
        case 1:
          bytes += static_cast<char>(sound ? 0x20 + random() % 0x5F : random());
          break;
        case 2:
          // A long run without any line end.
          bytes.append(random() % 20000, static_cast<char>('A' + random() % 26));
          break;
        default:
          bytes += "word ";
          break;
      }
    }
    ++seen[DetectEncoding(reinterpret_cast<const uint8_t*>(bytes.data()),
                          static_cast<uint32_t>(bytes.size()))];
    ASSERT_TRUE(WriteBytes(path, bytes));
    LineList list;
    ASSERT_TRUE(LoadTextLines(path.c_str(), list));
    size_t characters = 0;
    uint32_t count = 0;
    const wchar_t* line = nullptr;
    while (list.NextString(&line)) {
      ++count;
      size_t n = wcslen(line);
      ASSERT_GT(n, 0u);
      ASSERT_EQ(wcscspn(line, L"\r\n"), n);
      ASSERT_TRUE(line[n - 1] != L' ' && line[n - 1] != L'\t');
      characters += n;
    }
    ASSERT_EQ(count, list.StringCount());
    ASSERT_LE(characters, bytes.size());
    ASSERT_TRUE(HeapsAreSound()) << "round " << round;
  }
  EXPECT_GE(seen[EncodingUtf8], 10);
  EXPECT_GE(seen[EncodingUtf16], 10);
  EXPECT_GE(seen[EncodingAnsi], 10);
}

TEST(DetectEncoding, MarksAndStructure) {
  auto detect = [](const std::string& bytes) {
    return DetectEncoding(reinterpret_cast<const uint8_t*>(bytes.data()),
                          static_cast<uint32_t>(bytes.size()));
  };
  EXPECT_EQ(detect("\xEF\xBB\xBF"), EncodingAnsi);
  EXPECT_EQ(detect("\xEF\xBB\xBF"
                   "a"),
            EncodingUtf8);
  // Five- and six-byte forms pass the structure check; seven ones do not.
  EXPECT_EQ(detect("\xEF\xBB\xBF\xFC\x80\x80\x80\x80\x80"), EncodingUtf8);
  EXPECT_EQ(detect("\xEF\xBB\xBF\xFE\x80\x80\x80\x80\x80\x80"), EncodingAnsi);
  EXPECT_EQ(detect("\xEF\xBB\xBF"
                   "a\xE2\x82"),
            EncodingAnsi);
  EXPECT_EQ(detect("\xFF\xFE"), EncodingAnsi);
  EXPECT_EQ(detect(std::string("\xFF\xFE"
                               "a\x0D"
                               "b\x0A"
                               "c\x01",
                               8)),
            EncodingUtf16);
  EXPECT_EQ(detect(std::string("\xFF\xFE"
                               "a\x0D"
                               "b\x0A",
                               6)),
            EncodingAnsi);
  EXPECT_EQ(detect(std::string("\xFE\xFF\x00"
                               "a",
                               4)),
            EncodingUtf16);
  EXPECT_EQ(detect(std::string("\xFE\xFF"
                               "a\x00",
                               4)),
            EncodingAnsi);
}

namespace {

int CompareInts(const void* a, const void* b) {
  return *static_cast<const int32_t*>(a) - *static_cast<const int32_t*>(b);
}

struct Record {
  uint32_t key;
  char payload[9];
};

int CompareRecords(const void* a, const void* b) {
  uint32_t x = static_cast<const Record*>(a)->key, y = static_cast<const Record*>(b)->key;
  return x < y ? -1 : x > y ? 1 : 0;
}

}  // namespace

TEST(HeapSort, SortsElementsOfAnySize) {
  int32_t small[] = {3, 1, 2};
  HeapSort(small, 3, sizeof(int32_t), CompareInts);
  EXPECT_EQ(small[0], 1);
  EXPECT_EQ(small[1], 2);
  EXPECT_EQ(small[2], 3);
  HeapSort(nullptr, 0, 4, CompareInts);
  HeapSort(small, 1, 4, CompareInts);

  std::mt19937 random(7);
  std::vector<Record> records(1001);
  for (Record& r : records) {
    r.key = random() % 300;
    snprintf(r.payload, sizeof r.payload, "%08X", r.key * 2654435761u);
  }
  HeapSort(records.data(), static_cast<uint32_t>(records.size()), sizeof(Record), CompareRecords);
  for (size_t i = 0; i < records.size(); ++i) {
    char expected[9];
    snprintf(expected, sizeof expected, "%08X", records[i].key * 2654435761u);
    ASSERT_STREQ(records[i].payload, expected);
    if (i) {
      ASSERT_LE(records[i - 1].key, records[i].key);
    }
  }
}
