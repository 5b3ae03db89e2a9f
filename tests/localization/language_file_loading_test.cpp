#include <gtest/gtest.h>

#include <string>

#include "base/program_path.h"
#include "base/run_state.h"
#include "language_samples.h"
#include "language_test_support.h"
#include "localization/language_file.h"
#include "localization/language_module.h"
#include "localization/messages.h"
#include "resources/resource_ids.h"
#include "support/test_files.h"
#include "support/test_registry.h"

namespace {

constexpr uint32_t Block = 8192;
const std::string AnsiMarker = "***messages**";

std::string Utf16(const std::wstring& text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2);
}

std::string Narrow(const std::wstring& ascii) { return std::string(ascii.begin(), ascii.end()); }

// An entry for the message "abc" after the marker, in the marker's form.
std::string AnsiSection() { return AnsiMarker + "*\r\n92ab48be=\"found\"\r\n"; }
std::string Utf16Section() { return Utf16(std::wstring(Marker) + L"\r\n92ab48be=\"found\"\r\n"); }

class LanguageFileLoadingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = FreshFolder(L"language_file");
    SetProgramPathForTesting((folder_ + L"\\uninstall.exe").c_str());
  }
  void TearDown() override {
    ResetLanguageFileForTesting();
    ReleaseLanguageModule();
    SetProgramPathForTesting(nullptr);
    RemoveTree(folder_);
  }
  // Writes uninstall.lng beside the program and loads it.
  bool Load(const std::string& bytes) {
    WriteBytes(folder_ + L"\\uninstall.lng", bytes);
    LoadLanguageFile(L"uninstall.lng");
    return IsLanguageFileLoaded();
  }
  std::wstring folder_;
};

}  // namespace

TEST_F(LanguageFileLoadingTest, TheSampleFilesInBothEncodingsTranslateAlike) {
  std::wstring english[] = {LoadMessage(IDS_CONFIRM_UNINSTALL), LoadMessage(IDS_RESTART_NEEDED)};
  std::wstring translated[2][2];
  const wchar_t* samples[] = {L"\\uninstall.lng", L"\\utf16\\uninstall.lng"};
  for (int i = 0; i < 2; ++i) {
    ASSERT_TRUE(CopyFileW((std::wstring(LANGUAGE_SAMPLES_FOLDER) + samples[i]).c_str(),
                          (folder_ + L"\\uninstall.lng").c_str(), FALSE));
    LoadLanguageFile(L"uninstall.lng");
    ASSERT_TRUE(IsLanguageFileLoaded()) << i;
    EXPECT_FALSE(IsRightToLeft());
    translated[i][0] = LoadMessage(IDS_CONFIRM_UNINSTALL);
    translated[i][1] = LoadMessage(IDS_RESTART_NEEDED);
    // Loaded once and not held open: the uninstall run can delete it.
    EXPECT_TRUE(DeleteFileW((folder_ + L"\\uninstall.lng").c_str()));
  }
  EXPECT_EQ(translated[0][0],
            L"M\u00F6chten Sie Pelodra mit allen Komponenten von diesem Computer entfernen?");
  EXPECT_NE(translated[0][1], english[1]);
  EXPECT_EQ(translated[0][0], translated[1][0]);
  EXPECT_EQ(translated[0][1], translated[1][1]);
}

TEST_F(LanguageFileLoadingTest, AFileInTheLanguageFolderIsPreferred) {
  std::wstring lang = folder_ + L"\\lang";
  CreateDirectoryW(lang.c_str(), nullptr);
  WriteBytes(lang + L"\\uninstall.lng", AnsiMarker + "\r\n92ab48be=\"from the folder\"\r\n");
  ASSERT_TRUE(
      SetRegistryString(HKEY_CURRENT_USER, L"Software\\Pelodra\\General", L"LanguageFolder", lang));
  bool loaded = Load(AnsiSection());
  DeleteRegistryValue(HKEY_CURRENT_USER, L"Software\\Pelodra\\General", L"LanguageFolder");
  ASSERT_TRUE(loaded);
  EXPECT_EQ(Translate(L"abc"), L"from the folder");
}

TEST_F(LanguageFileLoadingTest, TheMarkerIsFoundAtEveryPlaceWithinTheFirst256Blocks) {
  struct Case {
    size_t offset;
    bool utf16;
  };
  // Block boundaries crossed by either form, odd offsets for UTF-16, and the
  // very last byte of the 256th block.
  for (Case c :
       {Case{0, false}, Case{Block - 5, false}, Case{Block - 11, true}, Case{Block * 3 + 1, true},
        Case{Block * 256 - 1, false}, Case{Block * 256 - 1, true}}) {
    std::string bytes(c.offset, 'x');
    bytes += c.utf16 ? Utf16Section() : AnsiSection();
    EXPECT_TRUE(Load(bytes)) << c.offset << (c.utf16 ? " UTF-16" : " ANSI");
    EXPECT_EQ(Translate(L"abc"), L"found") << c.offset;
  }
  // A byte-order mark and text before the marker are no part of the section.
  EXPECT_TRUE(Load("\xFF\xFE" + Utf16(L"; notes\r\n") + Utf16Section()));
  EXPECT_EQ(Translate(L"abc"), L"found");
}

TEST_F(LanguageFileLoadingTest, AMarkerBeyond256BlocksOrNoneAtAllLoadsNothing) {
  EXPECT_FALSE(Load(std::string(Block * 256, 'x') + AnsiSection()));
  EXPECT_EQ(Translate(L"abc"), L"abc");
  EXPECT_FALSE(Load(std::string(Block * 256, 'x') + Utf16Section()));
  EXPECT_FALSE(Load(""));
  EXPECT_FALSE(Load("**messages**\r\n92ab48be=\"found\"\r\n"));
  std::string random(3 * Block + 7, '\0');
  unsigned seed = 5;
  for (auto& b : random) b = static_cast<char>((seed = seed * 1103515245 + 12345) >> 16);
  EXPECT_FALSE(Load(random));
  DeleteFileW((folder_ + L"\\uninstall.lng").c_str());
  LoadLanguageFile(L"uninstall.lng");
  EXPECT_FALSE(IsLanguageFileLoaded());
}

TEST_F(LanguageFileLoadingTest, TextBeyondTheLimitsAfterTheMarkerIsIgnored) {
  // An ANSI file gives one character per byte: 262,144 characters is the
  // limit that counts. UTF-16 reaches it and the 524,288 bytes together.
  for (bool utf16 : {false, true}) {
    std::wstring section = std::wstring(Marker) + L"\r\n" + std::wstring(262144 - 60, L'.') +
                           L"\r\n" + KeyOf(L"inside") + L"=\"in\"\r\n" + std::wstring(100, L'.') +
                           L"\r\n" + KeyOf(L"late") + L"=\"too late\"\r\n";
    ASSERT_TRUE(Load(utf16 ? Utf16(section) : Narrow(section)));
    EXPECT_EQ(Translate(L"inside"), L"in") << utf16;
    EXPECT_EQ(Translate(L"late"), L"late") << utf16;
  }
  // A UTF-16 file with an odd byte count loses its last half character only.
  ASSERT_TRUE(Load(Utf16Section() + "\x41"));
  EXPECT_EQ(Translate(L"abc"), L"found");
}

TEST_F(LanguageFileLoadingTest, TheDirectionEntryMakesTheLanguageRightToLeft) {
  ASSERT_TRUE(Load(AnsiMarker + "\r\n50a17ae8=\"RTL\"\r\n"));
  EXPECT_TRUE(IsRightToLeft());
  DWORD layout = 0;
  EXPECT_TRUE(GetProcessDefaultLayout(&layout));
  EXPECT_EQ(layout, DWORD(LAYOUT_RTL));
  ResetLanguageFileForTesting();

  ASSERT_TRUE(Load(AnsiMarker + "\r\n50a17ae8=\"rtl\"\r\n"));
  EXPECT_FALSE(IsRightToLeft());
}

TEST_F(LanguageFileLoadingTest, ALanguageModuleWithTheRtlDialogIsRightToLeftWithoutAFile) {
  ASSERT_TRUE(CopyFileW((std::wstring(LANGUAGE_SAMPLES_FOLDER) + L"\\rtl\\kellng.dll").c_str(),
                        (folder_ + L"\\kellng.dll").c_str(), FALSE));
  LoadLanguageModule(GetModuleHandleW(nullptr));
  LoadLanguageFile(L"uninstall.lng");
  EXPECT_FALSE(IsLanguageFileLoaded());
  EXPECT_TRUE(IsRightToLeft());
}
