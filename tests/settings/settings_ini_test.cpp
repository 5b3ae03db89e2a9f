// The store with a settings file beside the program.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "base/error_state.h"
#include "settings/settings_store.h"
#include "support/private_hive.h"
#include "support/shell_folders.h"
#include "support/test_files.h"
#include "support/test_registry.h"
#include "tests/settings/store_fixture.h"
#include "text/text_lines.h"

namespace {

using IniStore = StoreTest;

const Entry DefaultFlags[] = {
    {L"Global\\AppData", L"1", Plain},
    {L"Global\\Integration", L"1", Plain},
    {L"Global\\SaveSettings", L"1", Plain},
};

std::wstring UserString(const wchar_t* path, const wchar_t* name,
                        const wchar_t* defaultText = L"?") {
  wchar_t buffer[256];
  EXPECT_TRUE(GetUserString(path, name, buffer, defaultText, 256));
  return buffer;
}

Entries Sorted(Entries entries) {
  std::stable_sort(entries.begin(), entries.end(),
                   [](const Entry& a, const Entry& b) { return a.name < b.name; });
  return entries;
}

// The file's text after its byte-order mark.
std::wstring SavedText(const std::wstring& path) {
  std::string bytes = ReadBytes(path);
  if (bytes.size() < 2 || bytes.compare(0, 2, "\xFF\xFE") != 0) return L"<no mark>";
  std::wstring text((bytes.size() - 2) / 2, L'\0');
  if (!text.empty()) memcpy(&text[0], bytes.data() + 2, text.size() * 2);
  return text;
}

}  // namespace

TEST_F(IniStore, ReadsEntriesByTheFileRules) {
  UseIniFile(
      "[Section]\r\n"
      "; comment\r\n"
      " HKCU\\Lead=blank\r\n"
      "1HKCU\\Digit=x\r\n"
      "HKCU\\NoEquals\r\n"
      "\r\n"
      "HKCU\\Plain=value with trailing  \t\r\n"
      "HKCU\\Quoted=\"  blanks kept  \"\r\n"
      "HKCU\\Inner=\"say \"hi\" now\"\n"
      "HKCU\\Open=\"no closing quote\r"
      "HKCU\\Bin=bin:0a1b\r\n"
      "HKCU\\BinUpper=BIN:0a1b\r\n"
      "HKCU\\Empty=\r\n"
      "HKCU\\Eq=a=b\r\n"
      "HKCU\\Dup=first\r\n"
      "HKCU\\dup=lower\r\n"
      "HKCU\\Dup=second\r\n"
      "Global\\Integration=5\r\n");
  EXPECT_EQ(UserString(L"", L"Plain"), L"value with trailing");
  EXPECT_TRUE(IsIniActive());
  EXPECT_EQ(IniFilePath(), IniPath());
  Entries expected = {
      {L"HKCU\\Plain", L"value with trailing", Plain},
      {L"HKCU\\Quoted", L"  blanks kept  ", Quoted},
      {L"HKCU\\Inner", L"say \"hi\" now", Quoted},
      {L"HKCU\\Open", L"no closing quote", Quoted},
      {L"HKCU\\Bin", L"0a1b", Binary},
      {L"HKCU\\BinUpper", L"BIN:0a1b", Plain},
      {L"HKCU\\Empty", L"", Plain},
      {L"HKCU\\Eq", L"a=b", Plain},
      {L"HKCU\\Dup", L"first", Plain},
      {L"HKCU\\dup", L"lower", Plain},
      {L"HKCU\\Dup", L"second", Plain},
      {L"Global\\Integration", L"1", Plain},  // 5 counts as set and is written back as 1
      {L"Global\\AppData", L"1", Plain},
      {L"Global\\SaveSettings", L"1", Plain},
  };
  EXPECT_EQ(IniEntries(), expected);

  EXPECT_EQ(UserString(L"", L"Bin"), L"0a1b");
  EXPECT_EQ(UserString(L"", L"Dup"), L"first");
  EXPECT_EQ(UserString(L"", L"dup"), L"lower");
  EXPECT_EQ(UserString(L"", L"DUP", L"none"), L"none");
  EXPECT_EQ(UserString(L"", L"Lead", L"none"), L"none");
  EXPECT_EQ(UserString(L"", L"Empty", L"none"), L"");

  // Writes go to the first of two equal names; both lines are saved, the
  // first one first, and the bin: line unchanged.
  EXPECT_EQ(SetUserString(L"", L"Dup", L"changed"), ERROR_SUCCESS);
  EXPECT_TRUE(IsIntegrationEnabled());
  ASSERT_TRUE(SaveIniFile());
  EXPECT_EQ(SavedText(IniPath()),
            L"Global\\AppData=1\r\n"
            L"Global\\Integration=1\r\n"
            L"Global\\SaveSettings=1\r\n"
            L"HKCU\\Bin=bin:0a1b\r\n"
            L"HKCU\\BinUpper=BIN:0a1b\r\n"
            L"HKCU\\Dup=\"changed\"\r\n"
            L"HKCU\\Dup=second\r\n"
            L"HKCU\\Empty=\r\n"
            L"HKCU\\Eq=a=b\r\n"
            L"HKCU\\Inner=\"say \"hi\" now\"\r\n"
            L"HKCU\\Open=\"no closing quote\"\r\n"
            L"HKCU\\Plain=value with trailing\r\n"
            L"HKCU\\Quoted=\"  blanks kept  \"\r\n"
            L"HKCU\\dup=lower\r\n");
  // Saving sorts a copy: the list keeps its order.
  expected[8] = {L"HKCU\\Dup", L"changed", Quoted};
  EXPECT_EQ(IniEntries(), expected);

  Reload();
  EXPECT_EQ(UserString(L"", L"Dup"), L"changed");
  EXPECT_EQ(IniEntries(), Sorted(expected));
}

TEST_F(IniStore, EveryKindRoundTripsThroughTheFile) {
  UseIniFile("");
  const wchar_t* path = L"Setup\\MenuItems";
  EXPECT_EQ(SetUserString(path, L"Quoted", L"\"quotes\" and  blanks  "), ERROR_SUCCESS);
  EXPECT_EQ(SetUserString(path, L"Empty", L""), ERROR_SUCCESS);
  EXPECT_EQ(SetUserString(path, L"Wide", L"Gr\u00FC\u00DFe \u65E5\u672C \U0001F600"),
            ERROR_SUCCESS);
  EXPECT_EQ(SetUserInt(path, L"Minus", -1), ERROR_SUCCESS);
  EXPECT_EQ(SetInt(HKEY_LOCAL_MACHINE, L"", L"exe32", 7), ERROR_SUCCESS);
  EXPECT_EQ(SetUserString(path, L"", L"default"), ERROR_SUCCESS);
  Entries before = IniEntries();
  EXPECT_EQ(before.size(), 9u);
  EXPECT_EQ(before[6], (Entry{L"HKCU\\Setup\\MenuItems\\Minus", L"4294967295", Plain}));
  EXPECT_EQ(before[7], (Entry{L"HKLM\\exe32", L"7", Plain}));
  EXPECT_EQ(before[8], (Entry{L"HKCU\\Setup\\MenuItems\\", L"default", Quoted}));

  ASSERT_TRUE(SaveIniFile());
  Reload();
  EXPECT_EQ(IniEntries(), Sorted(before));
  EXPECT_EQ(GetUserInt(path, L"Minus", 0), -1);
  EXPECT_EQ(GetInt(HKEY_LOCAL_MACHINE, nullptr, L"exe32", 0), 7);
  EXPECT_EQ(UserString(path, L"Quoted"), L"\"quotes\" and  blanks  ");
  EXPECT_EQ(UserString(path, L"Wide"), L"Gr\u00FC\u00DFe \u65E5\u672C \U0001F600");
  EXPECT_EQ(UserString(path, L""), L"default");
  EXPECT_EQ(UserString(path, L"Empty"), L"");
}

TEST_F(IniStore, FilesInEveryEncodingAreRead) {
  UseIniFile(
      "\xEF\xBB\xBFHKCU\\U8=\"Gr\xC3\xBC\xC3\x9F"
      "e\"\r\n");
  EXPECT_EQ(UserString(L"", L"U8"), L"Gr\u00FC\u00DFe");
  UseIniFile(Utf16File(L"HKCU\\U16=\u65E5\u672C\r\n"));
  EXPECT_EQ(UserString(L"", L"U16"), L"\u65E5\u672C");
  UseIniFile("HKCU\\Ansi=caf\xE9");
  EXPECT_EQ(UserString(L"", L"Ansi"), L"caf\u00E9");
}

TEST_F(IniStore, ANewValueReplacesTextAndKindOrGoesAtTheEnd) {
  UseIniFile("HKCU\\K\\Bin=bin:00\r\nHKCU\\K\\Num=1\r\n");
  EXPECT_EQ(SetUserString(L"K", L"Num", L"text"), ERROR_SUCCESS);
  EXPECT_EQ(SetUserInt(L"K", L"Bin", 3), ERROR_SUCCESS);
  EXPECT_EQ(SetUserInt(L"K", L"New", 4), ERROR_SUCCESS);
  Entries entries = IniEntries();
  ASSERT_EQ(entries.size(), 6u);
  EXPECT_EQ(entries[0], (Entry{L"HKCU\\K\\Bin", L"3", Plain}));
  EXPECT_EQ(entries[1], (Entry{L"HKCU\\K\\Num", L"text", Quoted}));
  EXPECT_EQ(entries[5], (Entry{L"HKCU\\K\\New", L"4", Plain}));
}

TEST_F(IniStore, NumbersAreParsedFromTheirLeadingDigits) {
  UseIniFile(
      "HKCU\\Minus=-5\r\nHKCU\\Tail=12abc\r\nHKCU\\Letters=abc\r\nHKCU\\Empty=\r\n"
      "HKCU\\Quoted=\"42\"\r\nHKCU\\Wide=99999999999\r\nHKCU\\Max=4294967295\r\n");
  EXPECT_EQ(GetUserInt(L"", L"Minus", 9), -5);
  EXPECT_EQ(GetUserInt(L"", L"Tail", 9), 12);
  EXPECT_EQ(GetUserInt(L"", L"Letters", 9), 0);
  EXPECT_EQ(GetUserInt(L"", L"Empty", 9), 0);
  EXPECT_EQ(GetUserInt(L"", L"Quoted", 9), 42);
  EXPECT_EQ(GetUserInt(L"", L"Wide", 9), static_cast<int32_t>(99999999999LL & 0xFFFFFFFF));
  EXPECT_EQ(GetUserInt(L"", L"Max", 9), -1);
  EXPECT_EQ(GetUserInt(L"", L"Missing", 9), 9);
}

TEST_F(IniStore, ProductSettingsGoToTheFileAndTheRestToTheRegistry) {
  UseIniFile("");
  const std::wstring absolute = std::wstring(L"\\") + TestProductKey;
  EXPECT_EQ(SetUserInt(TestKey, L"N", 1), ERROR_SUCCESS);
  EXPECT_EQ(SetInt(HKEY_LOCAL_MACHINE, TestKey, L"N", 2), ERROR_SUCCESS);
  EXPECT_EQ(SetInt(GlobalRoot, L"Global", L"Other", 3), ERROR_SUCCESS);
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, TestProductKey));
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, TestProductKey));
  EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, TestKey));
  EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, L""));
  EXPECT_FALSE(
      KeyExists(HKEY_LOCAL_MACHINE, L"Settings"));  // no entry begins with "HKLM\Settings\"

  EXPECT_EQ(SetInt(HKEY_CURRENT_USER, absolute.c_str(), L"Abs", 4), ERROR_SUCCESS);
  EXPECT_EQ(SetString(HKEY_CLASSES_ROOT, TestClassKey, L"", L"class"), ERROR_SUCCESS);
  EXPECT_EQ(GetInt(HKEY_CURRENT_USER, TestKey, L"Abs", 0), 0);
  EXPECT_EQ(GetInt(HKEY_CURRENT_USER, absolute.c_str(), L"Abs", 0), 4);
  EXPECT_EQ(RegistryString(HKEY_CLASSES_ROOT, TestClassKey, L""), L"class");
  EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, TestClassKey));
  EXPECT_FALSE(DeleteIniEntries(HKEY_CLASSES_ROOT, TestClassKey, L""));
  EXPECT_FALSE(DeleteIniEntries(HKEY_CURRENT_USER, absolute.c_str(), L"Abs"));

  Entries expected(std::begin(DefaultFlags), std::end(DefaultFlags));
  expected.push_back({L"HKCU\\SettingsTests\\N", L"1", Plain});
  expected.push_back({L"HKLM\\SettingsTests\\N", L"2", Plain});
  expected.push_back({L"Global\\Other", L"3", Plain});
  EXPECT_EQ(IniEntries(), expected);
}

// Whether a value is there, asked where the call goes: the same names are
// stored in the registry and, for one, in the file.
TEST_F(IniStore, ValuesAreFoundWhereTheCallGoes) {
  const std::wstring absolute = std::wstring(L"\\") + TestProductKey;
  for (const wchar_t* name : {L"InRegistry", L"InFile"})
    ASSERT_TRUE(SetRegistryDword(HKEY_CURRENT_USER, TestProductKey, name, 0));
  struct Store {
    const char* file;  // null: no settings file
    bool relativeInRegistry, relativeInFile, absoluteInRegistry;
  };
  for (const Store& store : {Store{nullptr, true, true, true},
                             Store{"HKCU\\SettingsTests\\InFile=\r\n", false, true, true},
                             Store{"Global\\Integration=0\r\n", false, false, false}}) {
    SCOPED_TRACE(store.file ? store.file : "registry");
    if (store.file)
      UseIniFile(store.file);
    else
      ResetSettingsStoreForTesting();
    EXPECT_EQ(ValueExists(HKEY_CURRENT_USER, TestKey, L"InRegistry"), store.relativeInRegistry);
    EXPECT_EQ(ValueExists(HKEY_CURRENT_USER, TestKey, L"InFile"), store.relativeInFile);
    EXPECT_EQ(ValueExists(HKEY_CURRENT_USER, absolute.c_str(), L"InRegistry"),
              store.absoluteInRegistry);
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, TestKey, L"Missing"));
    DeleteFileW(IniPath().c_str());
  }
}

TEST_F(IniStore, IntegrationOffKeepsTheRegistryUntouchedAndReportsSuccess) {
  ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, TestClassKey, L"", L"before"));
  const std::wstring absolute = std::wstring(L"\\") + TestProductKey;
  UseIniFile("Global\\Integration=0\r\nHKCU\\Setup\\X=1\r\n");
  // Asking for the flag does not read the file.
  EXPECT_TRUE(IsIntegrationEnabled());
  EXPECT_EQ(GetUserInt(L"Setup", L"X", 0), 1);
  EXPECT_FALSE(IsIntegrationEnabled());

  EXPECT_EQ(SetString(HKEY_CLASSES_ROOT, TestClassKey, L"", L"after"), ERROR_SUCCESS);
  EXPECT_EQ(SetInt(HKEY_CLASSES_ROOT, TestClassKey, L"N", 1), ERROR_SUCCESS);
  EXPECT_EQ(SetInt(HKEY_CURRENT_USER, absolute.c_str(), L"N", 1), ERROR_SUCCESS);
  wchar_t buffer[16];
  EXPECT_TRUE(GetString(HKEY_CLASSES_ROOT, TestClassKey, L"", buffer, L"default", 16));
  EXPECT_STREQ(buffer, L"default");
  EXPECT_EQ(GetInt(HKEY_CLASSES_ROOT, TestClassKey, L"", 8), 8);
  EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, TestClassKey));
  EXPECT_TRUE(DeleteIniEntries(HKEY_CLASSES_ROOT, TestClassKey, L""));

  EXPECT_EQ(RegistryString(HKEY_CLASSES_ROOT, TestClassKey, L""), L"before");
  EXPECT_FALSE(RegistryValue(HKEY_CLASSES_ROOT, TestClassKey, L"N"));
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, TestProductKey));

  // The product's own settings still work, in the file.
  EXPECT_EQ(SetUserInt(L"Setup", L"Y", 2), ERROR_SUCCESS);
  ASSERT_TRUE(SaveIniFile());
  EXPECT_EQ(SavedText(IniPath()),
            L"Global\\AppData=1\r\nGlobal\\Integration=0\r\nGlobal\\SaveSettings=1\r\n"
            L"HKCU\\Setup\\X=1\r\nHKCU\\Setup\\Y=2\r\n");
}

TEST_F(IniStore, SaveSettingsOffKeepsTheFileAsItWas) {
  const std::string original = "Global\\SaveSettings=0\r\nHKCU\\A=1\r\n";
  UseIniFile(original);
  EXPECT_EQ(SetUserInt(L"", L"A", 2), ERROR_SUCCESS);
  EXPECT_EQ(GetUserInt(L"", L"A", 0), 2);
  EXPECT_FALSE(SaveIniFile());
  EXPECT_EQ(ReadBytes(IniPath()), original);
  ReleaseIni();
  EXPECT_EQ(GetUserInt(L"", L"A", 0), 1);
}

TEST_F(IniStore, WithoutAFileNothingIsSaved) {
  EXPECT_EQ(SetUserInt(TestKey, L"N", 1), ERROR_SUCCESS);
  EXPECT_FALSE(IsIniActive());
  EXPECT_FALSE(SaveIniFile());
  EXPECT_FALSE(Exists(IniPath()));
}

TEST_F(IniStore, TextThatWouldSplitTheLineIsRefused) {
  UseIniFile("HKCU\\Setup\\A=\"old\"\r\n");
  // A value that would forge a line of its own, switching the registry off.
  EXPECT_EQ(SetUserString(L"Setup", L"A", L"x\r\nGlobal\\Integration=0"), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(SetUserString(L"Setup", L"B", L"x\ny"), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(SetUserString(L"Setup", L"B", L"x\ry"), ERROR_INVALID_PARAMETER);
  // Names that would read back as another entry.
  EXPECT_EQ(SetUserString(L"Setup", L"Integration=0\r\nGlobal\\X", L"y"), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(SetUserInt(L"Setup", L"A=B", 1), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(SetUserInt(L"Set\nup", L"A", 1), ERROR_INVALID_PARAMETER);
  std::wstring longPath(1100, L'p');
  EXPECT_EQ(SetUserInt(longPath.c_str(), L"A", 1), ERROR_FILENAME_EXCED_RANGE);
  EXPECT_EQ(SetUserString(longPath.c_str(), L"A", L"x"), ERROR_FILENAME_EXCED_RANGE);

  Entries expected(std::begin(DefaultFlags), std::end(DefaultFlags));
  expected.push_back({L"HKCU\\Setup\\A", L"old", Quoted});
  ASSERT_TRUE(SaveIniFile());
  Reload();
  EXPECT_EQ(IniEntries(), expected);
  EXPECT_TRUE(IsIntegrationEnabled());
}

TEST_F(IniStore, DeletionRemovesAValueWithItsTwinsOrAKeyWithAllBelowIt) {
  UseIniFile(
      "HKCU\\Setup\\=default\r\nHKCU\\Setup\\A=1\r\nHKCU\\Setup\\Sub\\B=2\r\nHKCU\\Setup2\\C=3\r\n"
      "HKCU\\setup\\D=4\r\nHKLM\\Setup\\E=5\r\nHKCU\\Setup\\A=6\r\nHKCU\\Setup\\AB=7\r\n");
  EXPECT_TRUE(DeleteIniEntries(HKEY_CURRENT_USER, L"Setup", L"A"));
  EXPECT_EQ(GetUserInt(L"Setup", L"A", -1), -1);
  EXPECT_EQ(GetUserInt(L"Setup", L"AB", -1), 7);
  EXPECT_TRUE(DeleteIniEntries(HKEY_CURRENT_USER, L"Setup", nullptr));
  Entries expected = {
      {L"HKCU\\Setup2\\C", L"3", Plain},
      {L"HKCU\\setup\\D", L"4", Plain},
      {L"HKLM\\Setup\\E", L"5", Plain},
  };
  expected.insert(expected.end(), std::begin(DefaultFlags), std::end(DefaultFlags));
  EXPECT_EQ(IniEntries(), expected);

  // A name too long for the buffer is not cut into one that matches more.
  std::wstring longPath = L"Setup2" + std::wstring(1100, L'p');
  EXPECT_TRUE(DeleteIniEntries(HKEY_CURRENT_USER, longPath.c_str(), L""));
  EXPECT_EQ(IniEntries(), expected);

  // New entries still go at the end after the last one was removed.
  EXPECT_TRUE(DeleteIniEntries(GlobalRoot, L"Global", L""));
  EXPECT_EQ(SetUserInt(L"New", L"N", 1), ERROR_SUCCESS);
  EXPECT_EQ(IniEntries().back(), (Entry{L"HKCU\\New\\N", L"1", Plain}));
  EXPECT_TRUE(DeleteIniEntries(HKEY_CURRENT_USER, L"", L""));
  EXPECT_EQ(IniEntries(), (Entries{{L"HKLM\\Setup\\E", L"5", Plain}}));
}

TEST_F(IniStore, TheFileInTheApplicationDataFolderIsTheSecondPlace) {
  PrivateHive hive(L"AppDataFallback");
  std::wstring appData = folder_ + L"\\AppData";
  std::wstring productFolder = appData + L"\\Pelodra";
  ASSERT_TRUE(CreateDirectoryW(appData.c_str(), nullptr));
  ASSERT_TRUE(RedirectAppData(appData));

  // The folder is not made where it is missing.
  EXPECT_EQ(GetUserInt(L"", L"Where", 0), 0);
  EXPECT_FALSE(IsIniActive());
  EXPECT_FALSE(Exists(productFolder));
  ResetSettingsStoreForTesting();

  ASSERT_TRUE(CreateDirectoryW(productFolder.c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(productFolder + L"\\Pelodra.ini", "HKCU\\Where=2\r\n"));
  EXPECT_EQ(GetUserInt(L"", L"Where", 0), 2);
  EXPECT_EQ(IniFilePath(), productFolder + L"\\Pelodra.ini");
  ASSERT_TRUE(SaveIniFile());
  EXPECT_EQ(SavedText(productFolder + L"\\Pelodra.ini").substr(0, 16), L"Global\\AppData=1");

  // The file beside the program comes first.
  UseIniFile("HKCU\\Where=1\r\n");
  EXPECT_EQ(GetUserInt(L"", L"Where", 0), 1);
  EXPECT_EQ(IniFilePath(), IniPath());
}

TEST_F(IniStore, DamagedFilesAreReadWithoutHarmAndSaveToTheSameEntries) {
  std::mt19937 random(20240611);
  auto bytes = [&](size_t n, const std::string& alphabet) {
    std::string s(n, '\0');
    for (char& c : s)
      c = alphabet.empty() ? static_cast<char>(random() & 0xFF)
                           : alphabet[random() % alphabet.size()];
    return s;
  };
  std::vector<std::string> files = {
      "",
      "\xFF\xFE",
      "\xFE\xFF",
      "\xEF\xBB\xBF",
      "=\r\n==\r\nA\r\nA=\r\nA==\r\nA=\"\r\nA=\"\"\r\nA=bin:\r\nA=\"\"\"\r\nA=bin:\"x\r\n",
      "Global\\Integration=-0\r\nGlobal\\AppData=x\r\nGlobal\\SaveSettings=1x\r\n",
      "A=" + std::string(1 << 20, 'v') + "\r\n" + std::string(1 << 20, 'B') + "=x\r\n" +
          std::string(1 << 20, 'C'),
      std::string(1 << 16, '\n') + std::string(1 << 16, '\r') + "Z=1",
      std::string("A=1\0B=2\r\n", 10),
  };
  for (int i = 0; i < 20; ++i) files.push_back(bytes(random() % 8192, ""));
  for (int i = 0; i < 20; ++i) files.push_back(bytes(random() % 8192, "Ab=\"\r\n \t:bin\\"));
  for (int i = 0; i < 10; ++i) files.push_back("\xFF\xFE" + bytes(2 * (random() % 4096), ""));
  for (int i = 0; i < 10; ++i)
    files.push_back("\xFF\xFE" +
                    bytes(2 * (random() % 4096), std::string("A\0=\0\"\0\r\0\n\0", 10)));
  for (int i = 0; i < 10; ++i) files.push_back("\xEF\xBB\xBF" + bytes(random() % 4096, ""));

  for (size_t i = 0; i < files.size(); ++i) {
    SCOPED_TRACE(i);
    UseIniFile(files[i]);
    GetUserInt(L"", L"A", 0);
    ASSERT_TRUE(IsIniActive());
    Entries loaded = IniEntries();
    ASSERT_GE(loaded.size(), 3u);
    for (const Entry& entry : loaded) {
      ASSERT_FALSE(entry.name.empty());
      ASSERT_EQ(entry.name.find_first_of(L"=\r\n"), std::wstring::npos);
    }
    ASSERT_TRUE(SaveIniFile());
    Reload();
    GetUserInt(L"", L"A", 0);
    ASSERT_EQ(IniEntries(), Sorted(loaded));
  }
}

// Reads the settings file with the process's address space used up but for
// one hole of `holeBytes`. Gives the result of a read of a missing value.
int32_t ReadWithAddressSpaceHole(size_t holeBytes) {
  void* hole = VirtualAlloc(nullptr, holeBytes, MEM_RESERVE, PAGE_NOACCESS);
  EXPECT_NE(hole, nullptr);
  std::vector<void*> held;
  held.reserve(1 << 16);
  for (SIZE_T size = SIZE_T{1} << 30; size >= (SIZE_T{64} << 10); size /= 2) {
    while (held.size() < held.capacity()) {
      void* block = VirtualAlloc(nullptr, size, MEM_RESERVE, PAGE_NOACCESS);
      if (!block) break;
      held.push_back(block);
    }
  }
  VirtualFree(hole, 0, MEM_RELEASE);
  int32_t value = GetUserInt(L"", L"Missing", -1);
  for (void* block : held) VirtualFree(block, 0, MEM_RELEASE);
  return value;
}

TEST_F(IniStore, ExhaustedMemoryWhileReadingKeepsWhatWasRead) {
  // Four bytes of a line become about eighty in its entry: with 16 MB the
  // lines fit into memory and their entries not all; with 4 MB not even the
  // text. Every thousandth line carries its number.
  std::string text;
  for (int i = 0; text.size() < (2u << 20); ++i)
    text += i % 1000 ? "A=\r\n" : "B=" + std::to_string(i) + "\r\n";
  size_t lines = static_cast<size_t>(std::count(text.begin(), text.end(), '\n'));
  ASSERT_TRUE(WriteBytes(IniPath(), text));

  for (size_t hole : {16u << 20, 4u << 20}) {
    SCOPED_TRACE(hole);
    ResetSettingsStoreForTesting();
    ErrorState.Reset();
    EXPECT_EQ(ReadWithAddressSpaceHole(hole), -1);
    EXPECT_EQ(ErrorState.Code(), KEL_MEMORY_ERROR);
    EXPECT_TRUE(IsIniActive());
    Entries entries = IniEntries();
    ASSERT_GE(entries.size(), 3u);
    EXPECT_EQ(Entries(entries.end() - 3, entries.end()),
              Entries(std::begin(DefaultFlags), std::end(DefaultFlags)));
    // What was read before memory ran out: the first lines, in order.
    size_t kept = entries.size() - 3;
    EXPECT_LT(kept, lines);
    for (size_t i = 0; i < kept; ++i) {
      if (entries[i].name == L"B") {
        ASSERT_EQ(entries[i].value, std::to_wstring(i));
      }
    }
    std::printf("%u MB left: %u of %u entries kept\n", static_cast<unsigned>(hole >> 20),
                static_cast<unsigned>(kept), static_cast<unsigned>(lines));
    // Saving the part would lose the rest of the file.
    EXPECT_EQ(SetUserInt(L"", L"A", 1), ERROR_SUCCESS);
    EXPECT_FALSE(SaveIniFile());
    EXPECT_FALSE(IniFileSaved());
    EXPECT_EQ(ReadBytes(IniPath()), text);
  }
  ErrorState.Reset();
}

// A read error ends the file where it happens: the lines before it are the
// settings of the run, and the file is never written over with them. A file
// read whole is saved as usual.
TEST_F(IniStore, AFileReadInPartIsNeverWritten) {
  std::string text;
  for (int i = 0; i < 1000; ++i) text += "HKCU\\Line" + std::to_string(i) + "=1\r\n";
  struct Case {
    uint32_t failAfter;
    bool whole;
  };
  for (const Case& c : {Case{UINT32_MAX, true}, Case{4096, false}, Case{0, false}}) {
    SCOPED_TRACE(c.failAfter);
    ASSERT_TRUE(WriteBytes(IniPath(), text));
    ResetSettingsStoreForTesting();
    FailReadsAfterForTesting(c.failAfter);
    EXPECT_EQ(GetUserInt(L"", L"Line0", 0), c.failAfter ? 1 : 0);
    FailReadsAfterForTesting(UINT32_MAX);
    EXPECT_TRUE(IsIniActive());
    EXPECT_EQ(GetUserInt(L"", L"Line999", 0), c.whole ? 1 : 0);
    EXPECT_EQ(SetUserInt(L"", L"Added", 1), ERROR_SUCCESS);
    EXPECT_EQ(SaveIniFile(), c.whole);
    EXPECT_EQ(IniFileSaved(), c.whole);
    if (!c.whole) {
      EXPECT_EQ(ReadBytes(IniPath()), text);
    }
  }
  EXPECT_EQ(ErrorState.Code(), KEL_SUCCESS);
}
