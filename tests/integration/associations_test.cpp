#include "integration/associations.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/run_state.h"
#include "localization/crc32.h"
#include "localization/messages.h"
#include "resources/resource_ids.h"
#include "settings/settings_store.h"
#include "support/test_files.h"
#include "support/test_registry.h"
#include "tests/integration/integration_fixture.h"

namespace {

using Associations = IntegrationTest;

const HKEY Classes = HKEY_CLASSES_ROOT;
const HKEY User = HKEY_CURRENT_USER;

const std::string KelTemplate(
    "\x4B\x65\x6C\x21\x1A\x07\x01\x00"
    "\xC1\xDF\x5F\x56\x03\x01\x04\x00"
    "\x1D\x77\x56\x51\x03\x05\x04\x00",
    24);
const std::string ZipTemplate("\x50\x4B\x05\x06" + std::string(18, '\0'));

std::wstring Record(const std::wstring& extension) {
  return L"Software\\Pelodra\\Setup\\" + extension;
}

std::wstring Volume(int n) {
  wchar_t name[8];
  std::swprintf(name, 8, L".k%02d", n);
  return name;
}

IntegrationOptions Rows(std::initializer_list<unsigned> rows, bool shellExt = true) {
  IntegrationOptions options{};
  for (unsigned row : rows) options.Associate[row] = true;
  options.ShellExt = shellExt;
  return options;
}

// Every class key the integration may touch and the user's product
// settings, as one text.
std::string IntegrationState() {
  std::string text;
  for (const RegistryPlace& place : IntegrationClassKeys())
    text += RegistrySnapshot(place.root, place.path, place.view);
  return text + RegistrySnapshot(User, L"Software\\Pelodra");
}

}  // namespace

TEST_F(Associations, AnotherProgramsExtensionIsRecordedOnceAndGivenBack) {
  ASSERT_TRUE(SetRegistryString(Classes, L".tgz", L"", L"OtherArchive"));
  ASSERT_TRUE(SetRegistryString(Classes, L".tgz\\ShellNew", L"FileName", L"C:\\Other\\empty.tgz"));
  ApplyFileAssociations(Rows({9}));
  EXPECT_EQ(RegistryString(Classes, L".gz", L""), L"Pelodra");
  EXPECT_EQ(RegistryString(Classes, L".tgz", L""), L"Pelodra");
  EXPECT_EQ(RegistryDword(User, Record(L".tgz"), L"Exist"), 1u);
  EXPECT_EQ(RegistryString(User, Record(L".tgz"), L"Type"), L"OtherArchive");
  EXPECT_EQ(RegistryString(User, Record(L".tgz"), L"ShellNew"), L"C:\\Other\\empty.tgz");
  EXPECT_EQ(RegistryDword(User, Record(L".gz"), L"Exist"), 0u);
  EXPECT_EQ(RegistryString(User, Record(L".gz"), L"Type"), L"");
  EXPECT_EQ(RegistryString(User, Record(L".gz"), L"ShellNew"), L"");

  // The extension is the product's now: a second setup keeps the record.
  ApplyFileAssociations(Rows({9}));
  EXPECT_EQ(RegistryString(User, Record(L".tgz"), L"Type"), L"OtherArchive");

  ApplyFileAssociations(NoOptions());
  EXPECT_EQ(RegistryString(Classes, L".tgz", L""), L"OtherArchive");
  EXPECT_EQ(RegistryString(Classes, L".tgz\\ShellNew", L"FileName"), L"C:\\Other\\empty.tgz");
  EXPECT_FALSE(RegistryKeyExists(Classes, L".gz"));
  // The record outlives the restore; the next takeover writes it anew.
  EXPECT_EQ(RegistryString(User, Record(L".tgz"), L"Type"), L"OtherArchive");
}

TEST_F(Associations, FormerNewFileEntriesComeBack) {
  ASSERT_TRUE(SetRegistryString(Classes, L".zip", L"", L"CompressedFolder"));
  ASSERT_TRUE(SetRegistryString(Classes, L".zip\\ShellNew", L"NullFile", L""));
  ASSERT_TRUE(SetRegistryString(Classes, L".kel", L"", L"OldKel"));
  ASSERT_TRUE(SetRegistryString(Classes, L".kel\\ShellNew", L"FileName", L"C:\\Old\\empty.kel"));
  ASSERT_TRUE(SetRegistryString(Classes, L".kel\\ShellNew", L"NullFile", L""));
  ApplyFileAssociations(Rows({0, 1}));
  EXPECT_EQ(RegistryString(User, Record(L".zip"), L"ShellNew"), L"*");
  EXPECT_EQ(RegistryString(User, Record(L".kel"), L"ShellNew"), L"C:\\Old\\empty.kel");
  EXPECT_EQ(RegistryString(Classes, L".zip", L""), L"Pelodra.ZIP");
  EXPECT_EQ(RegistryString(Classes, L".zip\\ShellNew", L"FileName"), ProductFile(L"zipnew.dat"));
  EXPECT_FALSE(RegistryValue(Classes, L".zip\\ShellNew", L"NullFile"));
  EXPECT_EQ(RegistryString(Classes, L".kel\\ShellNew", L"FileName"), ProductFile(L"kelnew.dat"));

  ApplyFileAssociations(NoOptions());
  EXPECT_EQ(RegistryString(Classes, L".zip", L""), L"CompressedFolder");
  EXPECT_EQ(RegistryString(Classes, L".zip\\ShellNew", L"NullFile"), L"");
  EXPECT_FALSE(RegistryValue(Classes, L".zip\\ShellNew", L"FileName"));
  EXPECT_EQ(RegistryString(Classes, L".kel", L""), L"OldKel");
  EXPECT_EQ(RegistryString(Classes, L".kel\\ShellNew", L"FileName"), L"C:\\Old\\empty.kel");
}

// Volume extensions: the product takes .k00 to .k29 where nobody else
// holds them and, giving its format back, takes back only what is still its
// own: what it made goes, another program's stays, and no key is made.
TEST_F(Associations, VolumeExtensionsOfOtherProgramsStayTheirs) {
  ASSERT_TRUE(SetRegistryString(Classes, Volume(5), L"", L"Other.k05"));
  // A key without a class, and one left by an earlier release.
  ASSERT_TRUE(SetRegistryString(Classes, Volume(7), L"Content Type", L"application/x-other"));
  ASSERT_TRUE(SetRegistryString(Classes, Volume(55), L"", L"Pelodra"));
  ApplyFileAssociations(Rows({0}));
  for (int n = 0; n < 30; ++n) {
    if (n == 5 || n == 7) continue;
    EXPECT_EQ(RegistryString(Classes, Volume(n), L""), L"Pelodra") << n;
  }
  EXPECT_EQ(RegistryString(Classes, Volume(5), L""), L"Other.k05");
  EXPECT_FALSE(RegistryValue(Classes, Volume(7), L""));
  EXPECT_FALSE(RegistryKeyExists(Classes, Volume(30)));

  // Nobody had ".kel": what the product made goes with it, and the earlier
  // release's key too.
  ApplyFileAssociations(NoOptions());
  EXPECT_FALSE(RegistryKeyExists(Classes, L".kel"));
  for (int n = 0; n < 100; ++n) {
    if (n == 5 || n == 7) continue;
    EXPECT_FALSE(RegistryKeyExists(Classes, Volume(n))) << n;
  }
  EXPECT_EQ(RegistryString(Classes, Volume(5), L""), L"Other.k05");
  EXPECT_EQ(RegistryString(Classes, Volume(7), L"Content Type"), L"application/x-other");

  // A former class of ".kel" goes only to the product's keys that it did
  // not make itself; a key made in a later setup counts as made too.
  ASSERT_TRUE(SetRegistryString(Classes, L".kel", L"", L"OldKel"));
  ASSERT_TRUE(SetRegistryString(Classes, Volume(40), L"", L"Pelodra"));
  ApplyFileAssociations(Rows({0}));
  ASSERT_TRUE(DeleteRegistryTree(Classes, Volume(3)));
  ApplyFileAssociations(Rows({0}));
  EXPECT_EQ(RegistryString(Classes, Volume(3), L""), L"Pelodra");
  ApplyFileAssociations(NoOptions());
  EXPECT_EQ(RegistryString(Classes, L".kel", L""), L"OldKel");
  EXPECT_EQ(RegistryString(Classes, Volume(40), L""), L"OldKel");
  for (int n : {0, 3, 29}) EXPECT_FALSE(RegistryKeyExists(Classes, Volume(n))) << n;
  EXPECT_EQ(RegistryString(Classes, Volume(5), L""), L"Other.k05");
  EXPECT_FALSE(RegistryKeyExists(Classes, Volume(60)));
}

TEST_F(Associations, WhatAnotherProgramTookSinceStaysWithIt) {
  ApplyFileAssociations(Rows({0, 2}));
  ASSERT_TRUE(SetRegistryString(Classes, L".kel", L"", L"Another.kel"));
  ASSERT_TRUE(SetRegistryString(Classes, L".cab", L"", L"Another.cab"));
  ApplyFileAssociations(NoOptions());
  EXPECT_EQ(RegistryString(Classes, L".kel", L""), L"Another.kel");
  EXPECT_EQ(RegistryString(Classes, L".cab", L""), L"Another.cab");
  EXPECT_EQ(RegistryString(Classes, Volume(0), L""), L"Pelodra");
  // Nor does giving back create a key nobody had.
  EXPECT_FALSE(RegistryKeyExists(Classes, L".arj"));
}

TEST_F(Associations, AKeyThatGainedSubkeysOnlyLosesItsClass) {
  ApplyFileAssociations(Rows({2, 3}));
  ASSERT_TRUE(SetRegistryString(Classes, L".cab\\OpenWithProgids", L"Other.cab", L""));
  // The class name counts as the product's in any case.
  ASSERT_TRUE(SetRegistryString(Classes, L".cab", L"", L"pelodra.zip"));
  // A record that names the product itself restores no class.
  ASSERT_TRUE(SetRegistryString(Classes, L".arj", L"", L"PELODRA"));
  ASSERT_EQ(SetUserString(L"Setup\\.arj", L"Type", L"Pelodra.zip"), ERROR_SUCCESS);
  ASSERT_EQ(SetUserInt(L"Setup\\.arj", L"Exist", 1), ERROR_SUCCESS);
  ApplyFileAssociations(NoOptions());
  EXPECT_EQ(RegistryString(Classes, L".cab", L""), L"");
  EXPECT_TRUE(RegistryKeyExists(Classes, L".cab\\OpenWithProgids"));
  EXPECT_EQ(RegistryString(Classes, L".arj", L""), L"");
}

TEST_F(Associations, FormerOwnersAndRecordsThatAreNoTextGiveBackNoGarbage) {
  const uint32_t ab = 0x00620061;  // the bytes of "ab"
  ASSERT_TRUE(SetRegistryValue(Classes, L".tgz", L"", REG_DWORD, &ab, sizeof ab));
  const std::wstring tooLong(5000, L'c');
  ASSERT_TRUE(SetRegistryString(Classes, L".gz", L"", tooLong));
  ASSERT_TRUE(SetRegistryString(Classes, L".tbz2", L"", L"..\\Other\\Class"));
  ASSERT_TRUE(
      SetRegistryValue(Classes, L".zip\\ShellNew", L"FileName", REG_BINARY, L"C:\\t.zip", 18));
  // A file name that fills the whole buffer without a terminator.
  const std::wstring fullPath = L"C:\\" + std::wstring(MaxPathChars, L'k') + L"!";
  ASSERT_TRUE(SetRegistryValue(Classes, L".kel\\ShellNew", L"FileName", REG_SZ, fullPath.c_str(),
                               MaxPathChars * sizeof(wchar_t)));
  ApplyFileAssociations(Rows({0, 1, 9, 11}));
  for (const wchar_t* extension : {L".tgz", L".gz", L".zip", L".kel"}) {
    EXPECT_EQ(RegistryDword(User, Record(extension), L"Exist"), 1u) << extension;
    EXPECT_EQ(RegistryString(User, Record(extension), L"Type"), L"") << extension;
    EXPECT_EQ(RegistryString(User, Record(extension), L"ShellNew"), L"") << extension;
  }
  EXPECT_EQ(RegistryString(User, Record(L".tbz2"), L"Type"), L"..\\Other\\Class");

  // Records that were tampered with since.
  ASSERT_TRUE(SetRegistryValue(User, Record(L".tbz2"), L"Type", REG_DWORD, &ab, sizeof ab));
  ASSERT_TRUE(SetRegistryValue(User, Record(L".zip"), L"ShellNew", REG_BINARY, L"C:\\t.zip", 18));
  ASSERT_TRUE(
      SetRegistryValue(User, Record(L".kel"), L"ShellNew", REG_MULTI_SZ, L"C:\\t.kel\0", 20));

  ApplyFileAssociations(NoOptions());
  for (const wchar_t* extension : {L".tgz", L".gz", L".tbz2", L".zip", L".kel"})
    EXPECT_EQ(RegistryString(Classes, extension, L""), L"") << extension;
  EXPECT_FALSE(RegistryValue(Classes, L".zip\\ShellNew", L"FileName"));
  EXPECT_FALSE(RegistryValue(Classes, L".kel\\ShellNew", L"FileName"));
  EXPECT_FALSE(RegistryKeyExists(Classes, Volume(0)));
}

TEST_F(Associations, TemplatesAreEmptyArchivesWrittenWhenTheirSizeIsWrong) {
  // Each block of the product's format carries the CRC-32 of its other
  // four bytes.
  for (size_t block = 8; block < 24; block += 8) {
    uint32_t crc = ~Crc32Update(Crc32Start, KelTemplate.data() + block + 4, 4);
    EXPECT_EQ(KelTemplate.compare(block, 4, reinterpret_cast<const char*>(&crc), 4), 0);
  }
  ApplyFileAssociations(Rows({0, 1}));
  EXPECT_EQ(ReadBytes(ProductFile(L"kelnew.dat")), KelTemplate);
  EXPECT_EQ(ReadBytes(ProductFile(L"zipnew.dat")), ZipTemplate);

  const std::string sameSize(24, 'x');
  ASSERT_TRUE(WriteBytes(ProductFile(L"kelnew.dat"), sameSize));
  ASSERT_TRUE(WriteBytes(ProductFile(L"zipnew.dat"), ZipTemplate + "x"));
  ApplyFileAssociations(Rows({0, 1}));
  EXPECT_EQ(ReadBytes(ProductFile(L"kelnew.dat")), sameSize);
  EXPECT_EQ(ReadBytes(ProductFile(L"zipnew.dat")), ZipTemplate);

  // One that cannot be written is still named.
  DeleteFileW(ProductFile(L"kelnew.dat").c_str());
  ASSERT_TRUE(CreateDirectoryW(ProductFile(L"kelnew.dat").c_str(), nullptr));
  DeleteRegistryTree(Classes, L".kel\\ShellNew");
  ApplyFileAssociations(Rows({0, 1}));
  EXPECT_EQ(RegistryString(Classes, L".kel\\ShellNew", L"FileName"), ProductFile(L"kelnew.dat"));
}

TEST_F(Associations, WithoutTheShellExtensionNewFileEntriesStayUntouched) {
  ASSERT_TRUE(SetRegistryString(Classes, L".zip\\ShellNew", L"NullFile", L""));
  ApplyFileAssociations(Rows({0, 1}, false));
  EXPECT_EQ(RegistryString(Classes, L".zip", L""), L"Pelodra.ZIP");
  EXPECT_EQ(RegistryString(Classes, L".zip\\ShellNew", L"NullFile"), L"");
  EXPECT_FALSE(RegistryValue(Classes, L".zip\\ShellNew", L"FileName"));
  EXPECT_FALSE(RegistryKeyExists(Classes, L".kel\\ShellNew"));
  EXPECT_FALSE(Exists(ProductFile(L"kelnew.dat")));
}

TEST_F(Associations, ApplyingTwiceLeavesWhatApplyingOnceLeft) {
  ASSERT_TRUE(SetRegistryString(Classes, L".tgz", L"", L"OtherArchive"));
  ASSERT_TRUE(SetRegistryString(Classes, L".zip", L"", L"CompressedFolder"));
  ASSERT_TRUE(SetRegistryString(Classes, L".zip\\ShellNew", L"NullFile", L""));
  IntegrationOptions options{};
  for (unsigned row = 0; row < ExtensionRowCount; ++row) options.Associate[row] = true;
  options.Associate[JarRow] = false;
  options.ShellExt = true;
  ApplyFileAssociations(options);
  ASSERT_TRUE(RegisterProgIds());
  std::string once = IntegrationState();
  ApplyFileAssociations(options);
  ASSERT_TRUE(RegisterProgIds());
  EXPECT_EQ(SnapshotDifference(once, IntegrationState()), "");
  EXPECT_EQ(RegistryString(User, Record(L".tgz"), L"Type"), L"OtherArchive");
  EXPECT_EQ(RegistryString(User, Record(L".zip"), L"Type"), L"CompressedFolder");
}

TEST_F(Associations, ClassNamesOpenWithTheProgram) {
  ASSERT_TRUE(
      SetRegistryString(Classes, L"Pelodra.ZIP\\DefaultIcon", L"", L"C:\\Icons\\zip.ico,3"));
  ASSERT_TRUE(RegisterProgIds());
  std::wstring program = ProductFile(L"Pelodra.exe");
  std::wstring command = L"\"" + program + L"\" \"%1\"";
  struct Expected {
    const wchar_t* className;
    uint32_t message;
    std::wstring icon;
  } classes[] = {
      {L"Pelodra", IDS_TYPE_ARCHIVE, program + L",0"},
      {L"Pelodra.ZIP", IDS_TYPE_ZIP_ARCHIVE, L"C:\\Icons\\zip.ico,3"},
      {L"Pelodra.REV", IDS_TYPE_RECOVERY_VOLUME, program + L",1"},
  };
  for (const Expected& c : classes) {
    std::wstring key = c.className;
    EXPECT_EQ(RegistryString(Classes, key, L""), LoadMessage(c.message)) << key;
    EXPECT_EQ(RegistryString(Classes, key + L"\\shell\\open\\command", L""), command) << key;
    EXPECT_EQ(RegistryString(Classes, key + L"\\DefaultIcon", L""), c.icon) << key;
  }
  EXPECT_EQ(RegistryString(Classes, L".rev", L""), L"Pelodra.REV");
}

TEST_F(Associations, RefusedClassKeysStopTheRegistration) {
  ASSERT_TRUE(SetRegistryString(Classes, L"Pelodra", L"", L"old"));
  {
    ReadOnlyKey readOnly(Classes, L"Pelodra");
    EXPECT_FALSE(RegisterProgIds());
  }
  EXPECT_EQ(RegistryString(Classes, L"Pelodra", L""), L"old");
  EXPECT_FALSE(RegistryKeyExists(Classes, L"Pelodra\\shell"));
  EXPECT_FALSE(RegistryKeyExists(Classes, L"Pelodra.ZIP"));
  EXPECT_FALSE(RegistryKeyExists(Classes, L".rev"));
}

TEST_F(Associations, FormerOwnersGoToTheSettingsFileAndClassesToTheRegistry) {
  UseIniFile("");
  ASSERT_TRUE(SetRegistryString(Classes, L".tgz", L"", L"OtherArchive"));
  ApplyFileAssociations(Rows({9}));
  EXPECT_EQ(RegistryString(Classes, L".tgz", L""), L"Pelodra");
  EXPECT_FALSE(RegistryKeyExists(User, L"Software\\Pelodra"));
  std::wstring lines;
  for (const IniEntry* entry = FirstIniEntry(); entry; entry = entry->next)
    lines += std::wstring(entry->name) + L"=" + entry->value + L"\n";
  EXPECT_NE(lines.find(L"HKCU\\Setup\\.tgz\\Exist=1\n"), std::wstring::npos) << lines;
  EXPECT_NE(lines.find(L"HKCU\\Setup\\.tgz\\Type=OtherArchive\n"), std::wstring::npos) << lines;
  EXPECT_NE(lines.find(L"HKCU\\Setup\\.gz\\Exist=0\n"), std::wstring::npos) << lines;

  ApplyFileAssociations(NoOptions());
  EXPECT_EQ(RegistryString(Classes, L".tgz", L""), L"OtherArchive");
  EXPECT_FALSE(RegistryKeyExists(Classes, L".gz"));
}

// An installation whose records an earlier release left in the registry
// before its settings file came in: setups over it keep those records where
// they are and record nothing of the product's own in the file; the
// give-back finds each record in the file first, else in the registry.
TEST_F(Associations, FormerOwnersAreFoundInEitherStore) {
  struct Case {
    const char* name;
    const char* file;       // put beside the program after the first setup
    int setupsWithTheFile;  // later setups, the file in use
    const wchar_t* restored;
  };
  const Case cases[] = {
      {"earlier installation", "", 0, L"7zFile"},
      {"upgraded twice", "", 2, L"7zFile"},
      {"newer record in the file",
       "HKCU\\Setup\\.7z\\Exist=1\r\nHKCU\\Setup\\.7z\\Type=\"Newer7z\"\r\n", 1, L"Newer7z"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DeleteFileW(ProductFile(L"Pelodra.ini").c_str());
    ResetSettingsStoreForTesting();
    DeleteRegistryTree(User, L"Software\\Pelodra");
    ASSERT_TRUE(SetRegistryString(Classes, L".7z", L"", L"7zFile"));
    ApplyFileAssociations(Rows({0, 7}));
    UseIniFile(c.file);
    for (int i = 0; i < c.setupsWithTheFile; ++i) ApplyFileAssociations(Rows({0, 7}));
    for (const IniEntry* entry = FirstIniEntry(); entry; entry = entry->next) {
      EXPECT_FALSE(IsProductClass(entry->value)) << entry->name;
      EXPECT_EQ(std::wstring(entry->name).find(L"MadeVolumes"), std::wstring::npos);
    }
    EXPECT_EQ(RegistryString(User, Record(L".7z"), L"Type"), L"7zFile");
    EXPECT_EQ(RegistryDword(User, Record(L".kel"), L"MadeVolumes"), 0x3FFFFFFFu);

    // Nobody had ".kel" and its volumes: what the product made goes.
    ApplyFileAssociations(NoOptions());
    EXPECT_EQ(RegistryString(Classes, L".7z", L""), c.restored);
    EXPECT_FALSE(RegistryKeyExists(Classes, L".kel"));
    for (int n : {0, 29}) EXPECT_FALSE(RegistryKeyExists(Classes, Volume(n))) << n;
  }
}
