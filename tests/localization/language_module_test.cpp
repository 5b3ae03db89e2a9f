#include "localization/language_module.h"
#include "localization/messages.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "base/format.h"
#include "base/program_path.h"
#include "base/run_state.h"
#include "base/win_handles.h"
#include "language_samples.h"
#include "language_test_support.h"
#include "localization/module_check.h"
#include "resources/resource_ids.h"
#include "support/current_folder.h"
#include "support/test_files.h"
#include "support/test_registry.h"

namespace {

constexpr wchar_t GeneralKey[] = L"Software\\Pelodra\\General";
const std::wstring SampleModule = std::wstring(LANGUAGE_SAMPLES_FOLDER) + L"\\kellng.dll";

void SetLanguageFolderValue(DWORD type, const void* data, size_t size) {
  ASSERT_TRUE(SetRegistryValue(HKEY_CURRENT_USER, GeneralKey, L"LanguageFolder", type, data, size));
}

void SetLanguageFolder(const std::wstring& folder) {
  SetLanguageFolderValue(REG_EXPAND_SZ, folder.c_str(), (folder.size() + 1) * sizeof(wchar_t));
}

void ClearLanguageFolder() {
  DeleteRegistryValue(HKEY_CURRENT_USER, GeneralKey, L"LanguageFolder");
}

std::wstring Found(const std::wstring& name) {
  wchar_t result[MaxPathChars];
  FindInLanguageFolder(name.c_str(), result, MaxPathChars);
  return result;
}

// The program's own English text of a message, straight from its table.
std::wstring OwnText(UINT id) {
  wchar_t text[MessageChars] = {};
  LoadStringW(GetModuleHandleW(nullptr), id, text, MessageChars);
  return text;
}

INT_PTR CALLBACK ReadCaption(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  if (message != WM_INITDIALOG) return FALSE;
  GetWindowTextW(dialog, reinterpret_cast<wchar_t*>(lParam), 256);
  EndDialog(dialog, 1);
  return TRUE;
}

class LanguageModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = FreshFolder(L"language_module");
    SetEnvironmentVariableW(L"KEL_TEST_ROOT", root_.c_str());
    CreateDirectoryW((root_ + L"\\app").c_str(), nullptr);
    CreateDirectoryW((root_ + L"\\lang").c_str(), nullptr);
    SetProgramPathForTesting((root_ + L"\\app\\uninstall.exe").c_str());
  }
  void TearDown() override {
    ReleaseLanguageModule();
    ResetLanguageFileForTesting();
    ClearLanguageFolder();
    SetProgramPathForTesting(nullptr);
    RemoveTree(root_);
  }
  std::wstring root_;
};

}  // namespace

TEST(LoadMessage, NineCallsGoRoundTheRingOfEight) {
  const wchar_t* first = LoadMessage(IDS_CAPTION);
  EXPECT_STREQ(first, L"Pelodra");
  const wchar_t* held[7];
  for (auto& text : held) text = LoadMessage(IDS_TYPE_ARCHIVE);
  for (const wchar_t* text : held) EXPECT_NE(text, first);
  EXPECT_STREQ(first, L"Pelodra");
  const wchar_t* ninth = LoadMessage(IDS_DISPLAY_NAME_NOTE);
  EXPECT_EQ(ninth, first);
  EXPECT_EQ(OwnText(IDS_DISPLAY_NAME_NOTE), first);
  EXPECT_STREQ(LoadMessage(5150), L"");
}

TEST_F(LanguageModuleTest, TheLanguageFolderComesFromTheRegistryWithVariablesExpanded) {
  EXPECT_EQ(Found(L"C:\\x\\license.txt"), L"C:\\x\\license.txt");
  SetLanguageFolder(L"%KEL_TEST_ROOT%\\lang");
  EXPECT_EQ(Found(L"C:\\x\\license.txt"), L"C:\\x\\license.txt");
  WriteBytes(root_ + L"\\lang\\license.txt", "translated");
  EXPECT_EQ(Found(L"C:\\x\\license.txt"), root_ + L"\\lang\\license.txt");
  EXPECT_EQ(Found(L"license.txt"), root_ + L"\\lang\\license.txt");

  wchar_t inPlace[MaxPathChars] = L"C:\\somewhere\\license.txt";
  FindInLanguageFolder(inPlace, inPlace, MaxPathChars);
  EXPECT_EQ(std::wstring(inPlace), root_ + L"\\lang\\license.txt");
  // A buffer too small for the found path keeps the name rather than a cut path.
  wchar_t small[24];
  FindInLanguageFolder(L"license.txt", small, 24);
  EXPECT_STREQ(small, L"license.txt");
}

TEST_F(LanguageModuleTest, ALanguageFolderValueThatIsNoFolderNameLeavesTheName) {
  const std::wstring name = L"C:\\x\\license.txt";
  const std::wstring lang = root_ + L"\\lang";
  WriteBytes(lang + L"\\license.txt", "translated");
  // Files that a garbage or empty folder would find relative to the current one.
  ScopedCurrentFolder current(root_);
  WriteBytes(root_ + L"\\license.txt", "planted");
  CreateDirectoryW((root_ + L"\\ab").c_str(), nullptr);
  WriteBytes(root_ + L"\\ab\\license.txt", "planted");
  auto bytes = [](const std::wstring& text) { return (text.size() + 1) * sizeof(wchar_t); };

  SetLanguageFolderValue(REG_SZ, L"", 2);
  EXPECT_EQ(Found(name), name) << "empty";
  SetLanguageFolderValue(REG_SZ, L"", 0);
  EXPECT_EQ(Found(name), name) << "no bytes";
  const uint32_t ab = 0x00620061;  // the bytes of "ab"
  SetLanguageFolderValue(REG_DWORD, &ab, sizeof ab);
  EXPECT_EQ(Found(name), name) << "number";
  for (DWORD type : {REG_BINARY, REG_MULTI_SZ, REG_NONE}) {
    SetLanguageFolderValue(type, lang.c_str(), bytes(lang));
    EXPECT_EQ(Found(name), name) << type;
  }
  std::wstring tooLong = lang + L"\\" + std::wstring(5000, L'x');
  SetLanguageFolderValue(REG_SZ, tooLong.c_str(), bytes(tooLong));
  EXPECT_EQ(Found(name), name) << "too long";

  // A value without its terminator, or with an odd byte after its text,
  // still names the folder.
  const std::wstring trailing = lang + L"X";
  SetLanguageFolderValue(REG_SZ, trailing.c_str(), lang.size() * sizeof(wchar_t));
  EXPECT_EQ(Found(name), lang + L"\\license.txt") << "unterminated";
  SetLanguageFolderValue(REG_SZ, trailing.c_str(), lang.size() * sizeof(wchar_t) + 1);
  EXPECT_EQ(Found(name), lang + L"\\license.txt") << "odd byte";
}

TEST_F(LanguageModuleTest, ADllInTheLanguageFolderIsUsedAndCanBeDeletedAfterRelease) {
  std::wstring dll = root_ + L"\\lang\\kellng.dll";
  ASSERT_TRUE(CopyFileW(SampleModule.c_str(), dll.c_str(), FALSE));
  SetLanguageFolder(L"%KEL_TEST_ROOT%\\lang");

  LoadLanguageModule(GetModuleHandleW(nullptr));
  ASSERT_NE(ResourceModule(), ProgramModule());
  EXPECT_EQ(ProgramModule(), GetModuleHandleW(nullptr));
  EXPECT_STREQ(LoadMessage(IDS_TYPE_ARCHIVE), L"Pelodra-Archiv");
  EXPECT_NE(LoadIconW(ResourceModule(), L"KELICON"), nullptr);

  ReleaseLanguageModule();
  EXPECT_EQ(ResourceModule(), ProgramModule());
  EXPECT_EQ(LoadMessage(IDS_TYPE_ARCHIVE), OwnText(IDS_TYPE_ARCHIVE));
  EXPECT_TRUE(DeleteFileW(dll.c_str()));
  ReleaseLanguageModule();
}

TEST_F(LanguageModuleTest, WithoutOneInTheLanguageFolderTheDllBesideTheProgramIsUsed) {
  SetLanguageFolder(L"%KEL_TEST_ROOT%\\lang");
  LoadLanguageModule(GetModuleHandleW(nullptr));
  EXPECT_EQ(ResourceModule(), ProgramModule());

  ASSERT_TRUE(CopyFileW(SampleModule.c_str(), (root_ + L"\\app\\kellng.dll").c_str(), FALSE));
  LoadLanguageModule(GetModuleHandleW(nullptr));
  EXPECT_NE(ResourceModule(), ProgramModule());
  EXPECT_STREQ(LoadMessage(IDS_TYPE_ZIP_ARCHIVE), L"Pelodra-ZIP-Archiv");
}

TEST_F(LanguageModuleTest, WithAFileMessagesAreTheProgramsTextsTranslatedAndDialogsTheDlls) {
  ASSERT_TRUE(CopyFileW(SampleModule.c_str(), (root_ + L"\\app\\kellng.dll").c_str(), FALSE));
  LoadLanguageModule(GetModuleHandleW(nullptr));
  std::wstring english = OwnText(IDS_CONFIRM_UNINSTALL);
  LoadSection(std::wstring(Marker) + L"\r\n" + KeyOf(english.c_str()) + L"=\"from the file\"\r\n");

  EXPECT_STREQ(LoadMessage(IDS_CONFIRM_UNINSTALL), L"from the file");
  // The DLL's string table is passed over while a file is loaded.
  EXPECT_EQ(LoadMessage(IDS_TYPE_ARCHIVE), OwnText(IDS_TYPE_ARCHIVE));

  wchar_t caption[256] = {};
  EXPECT_EQ(DialogBoxParamW(ResourceModule(), L"DONEDLG", nullptr, ReadCaption,
                            reinterpret_cast<LPARAM>(caption)),
            1);
  EXPECT_STREQ(caption, L"Pelodra-Installation");
}

TEST_F(LanguageModuleTest, TranslatedFormatsReadNoArgumentsThatWereNotPassed) {
  std::wstring english = OwnText(IDS_LIST_MISSING_FORMAT);
  LoadSection(std::wstring(Marker) + L"\r\n" + KeyOf(english.c_str()) +
              L"=\"%n%x %s and %s, %d%%\"\r\n");
  wchar_t text[MessageChars];
  int length =
      FormatMessageText(text, MessageChars, LoadMessage(IDS_LIST_MISSING_FORMAT), L"Uninstall.lst");
  EXPECT_EQ(length, static_cast<int>(wcslen(text)));
  EXPECT_STREQ(text, L"%n%x Uninstall.lst and %s, %d%");
}

// Anyone who can write beside the program can supply the language module:
// its string blocks are read within their bounds, its texts are cut to the
// ring's buffers, and a text it lacks or leaves empty is the program's own.
TEST_F(LanguageModuleTest, AHostileStringTableGivesBoundedTextsOrTheProgramsOwn) {
  ASSERT_TRUE(CopyFileW((std::wstring(LANGUAGE_SAMPLES_FOLDER) + L"\\hostile\\kellng.dll").c_str(),
                        (root_ + L"\\app\\kellng.dll").c_str(), FALSE));
  LoadLanguageModule(GetModuleHandleW(nullptr));
  ASSERT_NE(ResourceModule(), ProgramModule());

  // Its block of these claims more text than it holds.
  for (UINT id : {IDS_WOW64_NOTE_CAPTION, IDS_GROUP_HELP_NAME, IDS_GROUP_README_NAME})
    EXPECT_EQ(LoadMessage(id), OwnText(id)) << id;

  // Empty, and empty before a NUL; a NUL further on ends the text.
  EXPECT_EQ(LoadMessage(IDS_TYPE_ARCHIVE), OwnText(IDS_TYPE_ARCHIVE));
  EXPECT_EQ(LoadMessage(IDS_TYPE_ZIP_ARCHIVE), OwnText(IDS_TYPE_ZIP_ARCHIVE));
  EXPECT_STREQ(LoadMessage(IDS_TYPE_RECOVERY_VOLUME), L"cut");

  const wchar_t* held = LoadMessage(IDS_TYPE_RECOVERY_VOLUME);
  for (int i = 0; i < 6; ++i) LoadMessage(IDS_SETUP_EXPLAIN_1);
  std::wstring cut = LoadMessage(IDS_SETUP_EXPLAIN_1);
  EXPECT_EQ(cut, std::wstring(MessageChars - 1, L'L'));
  EXPECT_STREQ(held, L"cut");

  // Its conversions reach no argument that was not passed.
  wchar_t text[MessageChars];
  FormatMessageText(text, MessageChars, LoadMessage(IDS_LIST_MISSING_FORMAT), L"Uninstall.lst");
  EXPECT_STREQ(text, L"%n%x Uninstall.lst %s %d");

  // An icon image shorter than it claims is not made.
  EXPECT_EQ(LoadIconW(ResourceModule(), L"KELICON"), nullptr);
}

namespace {

std::wstring DamagedSample(const wchar_t* kind) {
  return std::wstring(LANGUAGE_SAMPLES_FOLDER) + L"\\damaged\\" + kind + L"\\kellng.dll";
}

bool Sound(const std::string& bytes, size_t size) {
  return HasSoundResources(reinterpret_cast<const uint8_t*>(bytes.data()), size);
}
bool Sound(const std::string& bytes) { return Sound(bytes, bytes.size()); }

uint32_t Get(const std::string& bytes, size_t at, size_t width) {
  uint32_t value = 0;
  std::memcpy(&value, bytes.data() + at, width);
  return value;
}
void Put(std::string& bytes, size_t at, uint32_t value, size_t width) {
  std::memcpy(&bytes[at], &value, width);
}

// Where the parts of the sample module lie in its file.
struct Layout {
  size_t fileHeader = 0;
  size_t optional = 0;
  size_t resourceEntry = 0;  // the resource data directory
  size_t tree = 0;           // the root directory of the resources
  size_t treeRva = 0;
  size_t section = 0;  // the header of the section that holds the tree

  explicit Layout(const std::string& bytes) {
    fileHeader = Get(bytes, 0x3C, 4) + 4;
    optional = fileHeader + 20;
    resourceEntry = optional + 96 + 2 * 8;
    treeRva = Get(bytes, resourceEntry, 4);
    size_t sections = optional + Get(bytes, fileHeader + 16, 2);
    for (size_t i = 0; i < Get(bytes, fileHeader + 2, 2); ++i) {
      size_t header = sections + i * 40;
      uint32_t address = Get(bytes, header + 12, 4);
      if (treeRva >= address && treeRva - address < Get(bytes, header + 16, 4)) {
        tree = treeRva - address + Get(bytes, header + 20, 4);
        section = header;
      }
    }
  }
  // The offset in the file of entry `index` of the directory at `directory`.
  size_t Entry(size_t directory, size_t index) const { return tree + directory + 16 + index * 8; }
  // The directory or data entry an entry leads to.
  size_t Target(const std::string& bytes, size_t entry) const {
    return Get(bytes, entry + 4, 4) & 0x7FFFFFFF;
  }
  size_t EntryCount(const std::string& bytes, size_t directory) const {
    return Get(bytes, tree + directory + 12, 2) + Get(bytes, tree + directory + 14, 2);
  }
  // Adds `shift` to the address of every piece of data below `directory`.
  void ShiftData(std::string& bytes, size_t directory, uint32_t shift) const {
    for (size_t i = 0; i < EntryCount(bytes, directory); ++i) {
      size_t entry = Entry(directory, i);
      size_t target = Target(bytes, entry);
      if (Get(bytes, entry + 4, 4) & 0x80000000)
        ShiftData(bytes, target, shift);
      else
        Put(bytes, tree + target, Get(bytes, tree + target, 4) + shift, 4);
    }
  }
  // Grows the tree's section, the last in the file, by `extra` bytes at
  // `offset` of its bytes in the file, and has the resource directory
  // begin `root` bytes into it.
  void Grow(std::string& bytes, size_t offset, const std::string& extra, uint32_t root) const {
    size_t raw = Get(bytes, section + 20, 4);
    bytes.insert(raw + offset, extra);
    uint32_t size = Get(bytes, section + 16, 4) + static_cast<uint32_t>(extra.size());
    Put(bytes, section + 8, size, 4);
    Put(bytes, section + 16, size, 4);
    uint32_t alignment = Get(bytes, optional + 32, 4);
    uint32_t end = Get(bytes, section + 12, 4) + size;
    Put(bytes, optional + 56, (end + alignment - 1) / alignment * alignment, 4);
    Put(bytes, resourceEntry, Get(bytes, section + 12, 4) + root, 4);
  }
};

}  // namespace

// Cut downloads and damaged disks leave modules whose resources the system
// would read past the end of the file: such a module is not used, the
// program's own texts are, and the file is not held.
TEST_F(LanguageModuleTest, ADamagedModuleIsRefusedForTheProgramsOwnTexts) {
  std::wstring dll = root_ + L"\\app\\kellng.dll";
  for (const wchar_t* kind : {L"half", L"cut-data", L"data-past", L"loop", L"icon-group"}) {
    SCOPED_TRACE(testing::Message() << kind);
    ASSERT_TRUE(CopyFileW(DamagedSample(kind).c_str(), dll.c_str(), FALSE));
    LoadLanguageModule(GetModuleHandleW(nullptr));
    EXPECT_EQ(ResourceModule(), ProgramModule());
    EXPECT_EQ(LoadMessage(IDS_TYPE_ARCHIVE), OwnText(IDS_TYPE_ARCHIVE));
    EXPECT_TRUE(DeleteFileW(dll.c_str()));
  }
}

// The file that was checked is the one the system maps, and stays so while
// it is in use: nobody can write, move or delete it until it is released.
TEST_F(LanguageModuleTest, ALoadedModuleCannotBeChangedUntilItIsReleased) {
  std::wstring dll = root_ + L"\\app\\kellng.dll";
  std::wstring moved = root_ + L"\\app\\moved.dll";
  ASSERT_TRUE(CopyFileW(SampleModule.c_str(), dll.c_str(), FALSE));
  LoadLanguageModule(GetModuleHandleW(nullptr));
  ASSERT_NE(ResourceModule(), ProgramModule());
  auto openForWriting = [&] {
    return FileHandle(CreateFileW(dll.c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  };
  EXPECT_FALSE(openForWriting());
  EXPECT_FALSE(MoveFileW(dll.c_str(), moved.c_str()));
  EXPECT_FALSE(DeleteFileW(dll.c_str()));

  ReleaseLanguageModule();
  EXPECT_TRUE(openForWriting());
  EXPECT_TRUE(MoveFileW(dll.c_str(), moved.c_str()));
}

TEST(ModuleCheck, EveryPartOfTheResourceTreeMustLieInsideTheFile) {
  const std::string sample = ReadBytes(SampleModule);
  ASSERT_TRUE(Sound(sample));
  // The resource section is the sample's last: every shorter file cuts it.
  for (size_t size = 0; size < sample.size(); ++size)
    if (Sound(sample, size)) ADD_FAILURE() << "cut at " << size;

  const Layout at(sample);
  ASSERT_NE(at.tree, 0u);
  // The types are numbered and sorted: dialogs (5) come second, and the
  // first dialog, DONEDLG, is named.
  size_t dialogs = at.Entry(0, 1);
  ASSERT_EQ(Get(sample, dialogs, 4), 5u);
  size_t done = at.Entry(at.Target(sample, dialogs), 0);
  ASSERT_TRUE(Get(sample, done, 4) & 0x80000000);
  size_t doneData = at.tree + at.Target(sample, at.Entry(at.Target(sample, done), 0));

  struct Damage {
    const char* what;
    size_t offset;
    uint32_t value;
    size_t width;
  };
  const Damage damages[] = {
      {"headers past the end", 0x3C, static_cast<uint32_t>(sample.size() - 8), 4},
      {"no PE signature", at.fileHeader - 4, 0x454E, 2},
      {"optional header of no known form", at.optional, 0x107, 2},
      {"no resource data directory", at.optional + 92, 2, 4},
      {"section table past the end", at.fileHeader + 2, 0xFFFF, 2},
      {"tree inside the headers", at.optional + 60, static_cast<uint32_t>(at.treeRva + 1), 4},
      {"tree in no section", at.resourceEntry, 0x7FFF0000, 4},
      {"root counts more entries than there are", at.tree + 14, 0xFFFF, 2},
      {"named entry after numbered ones", at.tree + 12, 1, 2},
      {"name past the end of the section", at.tree + (Get(sample, done, 4) & 0x7FFFFFFF), 0xFFFF,
       2},
      {"data in another section", doneData, 0x1000, 4},
  };
  for (const Damage& damage : damages) {
    std::string bytes = sample;
    Put(bytes, damage.offset, damage.value, damage.width);
    EXPECT_FALSE(Sound(bytes)) << damage.what;
  }
}

// The tree's offsets count from its root, wherever the resource directory
// begins in its section: a module whose tree lies behind other bytes is
// read as the system reads it, and one whose root leads to a tree that is
// not there is refused.
TEST_F(LanguageModuleTest, TheTreeIsCheckedWhereTheSystemReadsIt) {
  const std::string sample = ReadBytes(SampleModule);
  const Layout at(sample);
  ASSERT_EQ(at.tree, Get(sample, at.section + 20, 4)) << "the sample's tree begins its section";

  // Bytes that are no directory in front of the tree: a look at the
  // section's start would refuse the module.
  std::string behind = sample;
  const uint32_t pad = 0x200;
  at.ShiftData(behind, 0, pad);
  at.Grow(behind, 0, std::string(pad, '\xFF'), pad);
  EXPECT_TRUE(Sound(behind));
  std::wstring dll = root_ + L"\\app\\kellng.dll";
  ASSERT_TRUE(WriteBytes(dll, behind));
  LoadLanguageModule(GetModuleHandleW(nullptr));
  EXPECT_STREQ(LoadMessage(IDS_TYPE_ARCHIVE), L"Pelodra-Archiv");
  ReleaseLanguageModule();

  // A copy of the root behind the section's end: its entries lead to
  // directories at the section's start, where the system does not look.
  std::string root = sample.substr(at.tree, 16 + 8 * at.EntryCount(sample, 0));
  std::string crafted = sample;
  uint32_t end = Get(sample, at.section + 16, 4);
  at.Grow(crafted, end, root, end);
  EXPECT_FALSE(Sound(crafted));
}
