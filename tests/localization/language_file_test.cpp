#include "localization/language_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/run_state.h"
#include "language_test_support.h"
#include "localization/crc32.h"

namespace {

class LanguageFileTest : public ::testing::Test {
 protected:
  void TearDown() override { ResetLanguageFileForTesting(); }
};

uint32_t BitwiseCrc(const uint8_t* p, size_t n) {
  uint32_t crc = 0xFFFFFFFF;
  for (size_t i = 0; i < n; ++i) {
    crc ^= p[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320 : crc >> 1;
  }
  return ~crc;
}

std::wstring Entry(const wchar_t* source, const std::wstring& value) {
  return KeyOf(source) + L"=" + value + L"\r\n";
}

}  // namespace

TEST(Crc32, KeysOfTheDirectionAMessageAndASizeEntry) {
  EXPECT_EQ(KeyOf(L"LTR", TextKind::DialogText, L"LTR"), L"50a17ae8");
  EXPECT_EQ(KeyOf(L"abc"), L"92ab48be");
  EXPECT_EQ(KeyOf(L"", TextKind::DialogText, L"SETUPDLG"), L"9b889d24");
}

TEST(Crc32, EightBytesAtATimeAgreesWithBitwiseAtEveryAlignmentAndLength) {
  std::vector<uint8_t> data(300);
  srand(7);
  for (auto& b : data) b = static_cast<uint8_t>(rand());
  for (size_t offset = 0; offset < 8; ++offset)
    for (size_t length = 0; length < 40; ++length)
      ASSERT_EQ(~Crc32Update(Crc32Start, data.data() + offset, length),
                BitwiseCrc(data.data() + offset, length))
          << offset << " " << length;
  // Folding in pieces gives the same as one pass.
  uint32_t crc = Crc32Update(Crc32Start, data.data(), 123);
  crc = Crc32Update(crc, data.data() + 123, data.size() - 123);
  EXPECT_EQ(~crc, BitwiseCrc(data.data(), data.size()));
}

TEST_F(LanguageFileTest, KeysHashTheAnsiFormOfTheText) {
  // "Grüße" in windows-1252, the code page of the test prefix, and a letter
  // that code page lacks, which becomes "?".
  const uint8_t german[] = {'s', 'G', 'r', 0xFC, 0xDF, 'e'};
  const uint8_t missing[] = {'s', '?'};
  wchar_t key[2][TextKeyChars];
  swprintf(key[0], TextKeyChars, L"%08x", BitwiseCrc(german, sizeof german));
  swprintf(key[1], TextKeyChars, L"%08x", BitwiseCrc(missing, sizeof missing));
  LoadSection(std::wstring(Marker) + L"\r\n" + key[0] + L"=\"german\"\r\n" + key[1] +
              L"=\"unknown\"");
  EXPECT_EQ(Translate(L"Gr\u00FC\u00DFe"), L"german");
  EXPECT_EQ(Translate(L"\u0416"), L"unknown");
}

TEST_F(LanguageFileTest, WithoutALanguageFileTextsStayAndCopiesAreBounded) {
  EXPECT_FALSE(IsLanguageFileLoaded());
  EXPECT_EQ(Translate(L"abc"), L"abc");
  EXPECT_EQ(Translate(L"abcdef", TextKind::Message, nullptr, 4), L"abc");
  wchar_t same[] = L"same buffer";
  TranslateText(same, same, 12, TextKind::Message, nullptr);
  EXPECT_STREQ(same, L"same buffer");
}

TEST_F(LanguageFileTest, QuoteRulesOfTheValues) {
  LoadSection(std::wstring(Marker) + L"\r\n" +          //
              Entry(L"bare", L"rest of the line") +     //
              Entry(L"empty", L"\"\"") +                //
              Entry(L"inner", L"\"say \"hi\" now\"") +  //
              Entry(L"open", L"\"no closing quote") +   //
              Entry(L"trailing", L"\"text\" after the quote"));
  EXPECT_TRUE(IsLanguageFileLoaded());
  EXPECT_EQ(Translate(L"bare"), L"rest of the line");
  EXPECT_EQ(Translate(L"empty"), L"");
  EXPECT_EQ(Translate(L"inner"), L"say \"hi\" now");
  EXPECT_EQ(Translate(L"open"), L"no closing quote");
  EXPECT_EQ(Translate(L"trailing"), L"text");
  EXPECT_EQ(Translate(L"missing"), L"missing");
}

TEST_F(LanguageFileTest, EscapesAndLineBreaks) {
  LoadSection(std::wstring(Marker) + L"\n" +                               //
              Entry(L"lf", L"\"one\\ntwo\"") +                             //
              Entry(L"all", L"\"\\\"q\\\" \\\\ \\r\\t\"") +                //
              Entry(L"path", L"\"C:\\Program Files\\Kel\"") +              //
              Entry(L"quote", L"\"ends with a quote\\\"") + L"\r\r\n\n" +  //
              KeyOf(L"cr") + L"=\"after CR\"\r" +                          //
              KeyOf(L"lfonly") + L"=\"after LF\"\n");
  EXPECT_EQ(Translate(L"lf"), L"one\ntwo");
  EXPECT_EQ(Translate(L"all"), L"\"q\" \\ \r\t");
  EXPECT_EQ(Translate(L"path"), L"C:\\Program Files\\Kel");
  // The escaped quote is the last one of the line and ends the text.
  EXPECT_EQ(Translate(L"quote"), L"ends with a quote");
  EXPECT_EQ(Translate(L"cr"), L"after CR");
  EXPECT_EQ(Translate(L"lfonly"), L"after LF");
}

TEST_F(LanguageFileTest, KeysAreLowerCaseAndContextsSeparate) {
  std::wstring upper = KeyOf(L"abc");
  for (auto& c : upper) c = towupper(c);
  LoadSection(std::wstring(Marker) + L"\r\n" + upper + L"=\"upper\"\r\n" +
              KeyOf(L"OK", TextKind::DialogText, L"DONEDLG") + L"=\"Fertig\"\r\n");
  EXPECT_EQ(Translate(L"abc"), L"abc");
  EXPECT_EQ(Translate(L"OK", TextKind::DialogText, L"DONEDLG"), L"Fertig");
  EXPECT_EQ(Translate(L"OK", TextKind::DialogText, L"SETUPDLG"), L"OK");
  EXPECT_EQ(Translate(L"OK"), L"OK");
}

TEST_F(LanguageFileTest, LongValuesAreCutToTheCapacityAndTheLastLineTo255) {
  std::wstring thousands(5000, L'x');
  std::wstring section = std::wstring(Marker) + L"\r\n" +
                         Entry(L"long", L"\"" + thousands + L"\"") + KeyOf(L"last") + L"=" +
                         thousands;
  LoadSection(section);
  EXPECT_EQ(Translate(L"long", TextKind::Message, nullptr, 512), std::wstring(511, L'x'));
  EXPECT_EQ(Translate(L"long", TextKind::Message, nullptr, 8000), thousands);
  EXPECT_EQ(Translate(L"last", TextKind::Message, nullptr, 8000), std::wstring(255, L'x'));
  EXPECT_EQ(Translate(L"long", TextKind::Message, nullptr, 1), L"");
  // Nothing at all is written into a buffer of no characters.
  EXPECT_EQ(Translate(L"long", TextKind::Message, nullptr, 0), L"#");
}

TEST_F(LanguageFileTest, EntriesAtTheVeryEndAndEscapesAtTheEndOfTheText) {
  LoadSection(std::wstring(Marker) + L"\r\n" + KeyOf(L"end") + L"=\"no line break\"");
  EXPECT_EQ(Translate(L"end"), L"no line break");
  LoadSection(std::wstring(Marker) + L"\r\n" + KeyOf(L"end") + L"=");
  EXPECT_EQ(Translate(L"end"), L"");
  LoadSection(std::wstring(Marker) + L"\r\n" + KeyOf(L"end") + L"=\"a\\");
  EXPECT_EQ(Translate(L"end"), L"a\\");
  LoadSection(std::wstring(Marker) + L"\\");
  EXPECT_EQ(Translate(L"end"), L"end");
  LoadSection(L"");
  EXPECT_EQ(Translate(L"end"), L"end");
}

TEST_F(LanguageFileTest, ManyEntriesAreAllFoundInAnyOrder) {
  std::wstring section = std::wstring(Marker) + L"\r\n";
  for (int i = 2999; i >= 0; --i)
    section += Entry(std::to_wstring(i).c_str(), L"\"v" + std::to_wstring(i) + L"\"");
  LoadSection(section);
  for (int i = 0; i < 3000; ++i)
    ASSERT_EQ(Translate(std::to_wstring(i).c_str()), L"v" + std::to_wstring(i));
  // Texts without an entry, with keys on both sides of every entry's key.
  for (int i = 3000; i < 6000; ++i)
    ASSERT_EQ(Translate(std::to_wstring(i).c_str()), std::to_wstring(i));
}

TEST_F(LanguageFileTest, AnsiSectionsAreConvertedFromTheCodePage) {
  // "Grüße" in windows-1252, the code page of the test prefix.
  LoadAnsiSection("***messages**\r\n" + std::string("92ab48be=\"Gr\xFC\xDF") + "e\"\r\n");
  EXPECT_EQ(Translate(L"abc"), L"Gr\u00FC\u00DFe");
}

TEST_F(LanguageFileTest, TextBeyondTheLimitIsIgnored) {
  std::wstring section = std::wstring(Marker) + L"\r\n" + Entry(L"early", L"\"found\"");
  section += std::wstring(262144 - section.size() - 4, L'.') + L"\r\n";
  section += Entry(L"late", L"\"beyond\"");
  LoadSection(section);
  EXPECT_EQ(Translate(L"early"), L"found");
  EXPECT_EQ(Translate(L"late"), L"late");
}

TEST_F(LanguageFileTest, RandomBytesAndOddSizesAreHarmless) {
  srand(11);
  for (int round = 0; round < 40; ++round) {
    std::string bytes(1 + rand() % 5000, '\0');
    for (auto& b : bytes) b = static_cast<char>(rand() % 7 == 0 ? '\\' : rand());
    if (round % 3 == 0) bytes.insert(0, "*\0*\0*\0", 6);
    LoadLanguageSection(bytes.data(), static_cast<uint32_t>(bytes.size()), round % 2 == 0);
    for (int i = 0; i < 20; ++i) Translate(std::to_wstring(rand()).c_str());
  }
  std::wstring section = std::wstring(Marker) + L"\r\n" + Entry(L"odd", L"\"byte\"");
  LoadLanguageSection(section.data(), static_cast<uint32_t>(section.size() * 2 + 1), true);
  EXPECT_EQ(Translate(L"odd"), L"byte");
}

TEST_F(LanguageFileTest, OnlyLinesOfEightLowerCaseHexDigitsAndAnEqualsSignAreEntries) {
  std::wstring key = KeyOf(L"abc");
  std::wstring upper = key;
  for (auto& c : upper) c = towupper(c);
  // None of these may shadow the entry below them or translate on its own.
  std::wstring malformed = key + L" is the key of abc\r\n" +       //
                           upper + L"=\"upper case\"\r\n" +        //
                           key + L"\r\n" +                         //
                           key.substr(0, 7) + L"=\"short\"\r\n" +  //
                           key + L"\"no equals sign\"\r\n" +       //
                           key + L" =\"blank before\"\r\n" +       //
                           L" " + key + L"=\"indented\"\r\n" +     //
                           key + L"0=\"nine digits\"\r\n" +        //
                           // An escaped line break does not start a line.
                           Entry(L"other", L"\"x\\n" + key + L"=\\\"escaped\\\"\"");
  LoadSection(std::wstring(Marker) + L"\r\n" + malformed);
  EXPECT_EQ(Translate(L"abc"), L"abc");
  EXPECT_EQ(Translate(L"other"), L"x\n" + key + L"=\"escaped\"");
  LoadSection(std::wstring(Marker) + L"\r\n" + malformed + Entry(L"abc", L"\"the entry\""));
  EXPECT_EQ(Translate(L"abc"), L"the entry");
  // A key at the very end of the text, without its "=", is no entry either.
  LoadSection(std::wstring(Marker) + L"\r\n" + key);
  EXPECT_EQ(Translate(L"abc"), L"abc");
}

TEST_F(LanguageFileTest, ARepeatedKeyGivesTheFilesFirstEntry) {
  std::wstring section = std::wstring(Marker) + L"\r\n";
  for (int i = 0; i < 2000; ++i) {
    section += Entry(std::to_wstring(i).c_str(), L"\"first " + std::to_wstring(i) + L"\"");
    if (i % 7 == 0) section += Entry(std::to_wstring(i / 2).c_str(), L"\"again\"");
  }
  for (int i = 0; i < 2000; i += 3) section += Entry(std::to_wstring(i).c_str(), L"\"later\"");
  LoadSection(section);
  for (int i = 0; i < 2000; ++i)
    ASSERT_EQ(Translate(std::to_wstring(i).c_str()), L"first " + std::to_wstring(i)) << i;
}

TEST_F(LanguageFileTest, FilesOfOneLine) {
  // The marker's line alone: a language file without entries.
  LoadSection(Marker);
  EXPECT_TRUE(IsLanguageFileLoaded());
  EXPECT_EQ(Translate(L"abc"), L"abc");
  LoadSection(KeyOf(L"abc") + L"=\"only line\"");
  EXPECT_EQ(Translate(L"abc"), L"only line");
  EXPECT_EQ(Translate(L"abd"), L"abd");
}
