#include "integration/shortcuts.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include "base/log.h"
#include "base/run_state.h"
#include "base/win_handles.h"
#include "fs/file_ops.h"
#include "fs/log_file.h"
#include "localization/language_file.h"
#include "settings/settings_store.h"
#include "support/folder_link.h"
#include "support/log_lines.h"
#include "support/test_files.h"
#include "support/text_keys.h"
#include "tests/integration/setup_fixture.h"

namespace {

IntegrationOptions Choose(bool desktop, bool startMenu, bool programs) {
  IntegrationOptions options{};
  options.Desktop = desktop;
  options.StartMenu = startMenu;
  options.Programs = programs;
  return options;
}

// Sorted as FolderContent gives them.
const std::vector<std::wstring> AllItems = {HelpItem, DocumentItem, L"Pelodra.lnk", ReadmeItem};

class Shortcuts : public SetupTest {
 protected:
  Shortcut Read(const std::wstring& path) {
    Shortcut shortcut;
    EXPECT_TRUE(ReadShortcut(path, shortcut)) << std::string(path.begin(), path.end());
    return shortcut;
  }
  Shortcut Expected(const wchar_t* target, const std::wstring& workingFolder,
                    const std::wstring& icon = L"") {
    Shortcut shortcut;
    shortcut.target = InProgramFolder(target);
    shortcut.description = Description;
    shortcut.icon = icon;
    shortcut.iconIndex = 0;
    shortcut.workingFolder = workingFolder;
    shortcut.showCommand = SW_SHOWNORMAL;
    return shortcut;
  }
  // Checks the four items of one group copy.
  void ExpectGroup(const std::wstring& group, const std::wstring& workingFolder,
                   const std::wstring& icon) {
    ASSERT_EQ(FolderContent(group), AllItems);
    EXPECT_EQ(Read(group + L"\\Pelodra.lnk"), Expected(L"Pelodra.exe", workingFolder, icon));
    EXPECT_EQ(Read(group + L"\\" + HelpItem), Expected(L"Pelodra.chm", workingFolder));
    EXPECT_EQ(Read(group + L"\\" + ReadmeItem), Expected(L"Kel.txt", workingFolder));
    EXPECT_EQ(Read(group + L"\\" + DocumentItem), Expected(DocumentFile, workingFolder));
  }

  wchar_t group_[MaxPathChars] = L"untouched";
};

TEST_F(Shortcuts, BeforeVistaEveryShortcutIsTheUsersOwn) {
  SetWindowsVersionForTesting(0x0502);
  std::wstring icon = InProgramFolder(L"Pelodra.exe") + L"2";
  ApplyShortcuts(Choose(true, true, true), group_, MaxPathChars, icon.c_str());

  std::wstring desktop = SpecialFolder(CSIDL_DESKTOPDIRECTORY);
  EXPECT_EQ(Read(desktop + L"\\Pelodra.lnk"), Expected(L"Pelodra.exe", L"", icon));
  EXPECT_EQ(Read(SpecialFolder(CSIDL_STARTMENU) + L"\\Pelodra.lnk"),
            Expected(L"Pelodra.exe", desktop, icon));
  EXPECT_FALSE(Exists(SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Pelodra.lnk"));
  EXPECT_FALSE(Exists(SpecialFolder(CSIDL_COMMON_STARTMENU) + L"\\Pelodra.lnk"));
  // The user's group starts where the user's other shortcuts do; the all
  // users' one in a folder every user may enter.
  ExpectGroup(SpecialFolder(CSIDL_PROGRAMS) + L"\\Pelodra", desktop, icon);
  ExpectGroup(SpecialFolder(CSIDL_COMMON_PROGRAMS) + L"\\Pelodra", folder_, icon);
  // The all users' copy is the one that setup opens.
  EXPECT_EQ(std::wstring(group_), SpecialFolder(CSIDL_COMMON_PROGRAMS) + L"\\Pelodra");

  // All clear takes the shortcuts and the groups' files back, read-only
  // ones too; a subfolder the user made is the user's, and keeps its group.
  std::wstring userGroup = SpecialFolder(CSIDL_PROGRAMS) + L"\\Pelodra";
  std::wstring commonGroup = SpecialFolder(CSIDL_COMMON_PROGRAMS) + L"\\Pelodra";
  ASSERT_TRUE(CreateDirectoryW((userGroup + L"\\Extras").c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(userGroup + L"\\Extras\\notes.txt", "kept"));
  ASSERT_TRUE(SetAttributes((commonGroup + L"\\" + HelpItem).c_str(), FILE_ATTRIBUTE_READONLY));
  wcscpy(group_, L"untouched");
  EXPECT_TRUE(ApplyShortcuts(Choose(false, false, false), group_, MaxPathChars, nullptr));
  EXPECT_FALSE(Exists(desktop + L"\\Pelodra.lnk"));
  EXPECT_FALSE(Exists(SpecialFolder(CSIDL_STARTMENU) + L"\\Pelodra.lnk"));
  EXPECT_EQ(FolderContent(userGroup), std::vector<std::wstring>{L"Extras\\"});
  EXPECT_EQ(ReadBytes(userGroup + L"\\Extras\\notes.txt"), "kept");
  EXPECT_FALSE(Exists(commonGroup));
  EXPECT_STREQ(group_, L"untouched");
}

TEST_F(Shortcuts, FromVistaTheDesktopAndStartMenuShortcutsAreAllUsers) {
  SetWindowsVersionForTesting(0x0600);
  std::wstring desktop = SpecialFolder(CSIDL_DESKTOPDIRECTORY);
  std::wstring usersShortcut = desktop + L"\\Pelodra.lnk";
  for (bool wanted : {true, false}) {
    // One left on the user's own desktop by an earlier release goes either
    // way.
    ASSERT_TRUE(WriteBytes(usersShortcut, "old"));
    ApplyShortcuts(Choose(wanted, wanted, false), nullptr, 0, nullptr);
    EXPECT_FALSE(Exists(usersShortcut)) << wanted;
    EXPECT_FALSE(Exists(SpecialFolder(CSIDL_STARTMENU) + L"\\Pelodra.lnk"));
    std::wstring common = SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Pelodra.lnk";
    std::wstring startMenu = SpecialFolder(CSIDL_COMMON_STARTMENU) + L"\\Pelodra.lnk";
    EXPECT_EQ(Exists(common), wanted);
    EXPECT_EQ(Exists(startMenu), wanted);
    // Every user starts them: the Start menu's works in the program's
    // folder, not in the installing user's profile.
    if (wanted) {
      EXPECT_EQ(Read(common), Expected(L"Pelodra.exe", L""));
      EXPECT_EQ(Read(startMenu), Expected(L"Pelodra.exe", folder_));
    }
    EXPECT_FALSE(Exists(SpecialFolder(CSIDL_PROGRAMS) + L"\\Pelodra"));
  }
}

TEST_F(Shortcuts, ARerunEmptiesTheGroupOfFilesAndSkipsMissingTargets) {
  ApplyShortcuts(Choose(false, false, true), group_, MaxPathChars, nullptr);
  std::wstring groups[] = {SpecialFolder(CSIDL_PROGRAMS) + L"\\Pelodra",
                           SpecialFolder(CSIDL_COMMON_PROGRAMS) + L"\\Pelodra"};
  for (const std::wstring& group : groups) {
    ASSERT_EQ(FolderContent(group), AllItems);
    ASSERT_TRUE(WriteBytes(group + L"\\Old release.lnk", "old"));
    ASSERT_TRUE(CreateDirectoryW((group + L"\\Extras").c_str(), nullptr));
    ASSERT_TRUE(WriteBytes(group + L"\\Extras\\mine.lnk", "the user's"));
  }
  // The help file is not installed this time: its old item goes with the
  // rest and is not made again.
  ASSERT_TRUE(DeleteFileW(InProgramFolder(L"Pelodra.chm").c_str()));
  ApplyShortcuts(Choose(false, false, true), group_, MaxPathChars, nullptr);
  for (const std::wstring& group : groups) {
    EXPECT_EQ(FolderContent(group),
              (std::vector<std::wstring>{L"Extras\\", DocumentItem, L"Pelodra.lnk", ReadmeItem}));
    EXPECT_EQ(FolderContent(group + L"\\Extras"), std::vector<std::wstring>{L"mine.lnk"});
  }

  // Without the program itself only the documents remain.
  ASSERT_TRUE(DeleteFileW(InProgramFolder(L"Pelodra.exe").c_str()));
  ASSERT_TRUE(DeleteFileW(InProgramFolder(DocumentFile).c_str()));
  ApplyShortcuts(Choose(false, false, true), group_, MaxPathChars, nullptr);
  EXPECT_EQ(FolderContent(groups[0]), (std::vector<std::wstring>{L"Extras\\", ReadmeItem}));
}

TEST_F(Shortcuts, AnExistingShortcutKeepsWhatTheUserSet) {
  std::wstring desktop = SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Pelodra.lnk";
  std::wstring icon = InProgramFolder(L"kel.ico");
  ApplyShortcuts(Choose(true, false, false), nullptr, 0, icon.c_str());
  {
    ComPtr<IShellLinkW> link;
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                           IID_IShellLinkW, link.PutVoid())));
    ComPtr<IPersistFile> file;
    ASSERT_TRUE(SUCCEEDED(link->QueryInterface(IID_IPersistFile, file.PutVoid())));
    ASSERT_TRUE(SUCCEEDED(file->Load(desktop.c_str(), STGM_READWRITE)));
    link->SetHotkey(MAKEWORD('P', HOTKEYF_CONTROL | HOTKEYF_ALT));
    link->SetWorkingDirectory(L"C:\\tests");
    link->SetDescription(L"changed");
    ASSERT_TRUE(SUCCEEDED(file->Save(desktop.c_str(), TRUE)));
  }
  // The second run drops the icon and puts the description back. (The
  // window state would survive too, but Wine's link object forgets it when
  // it loads a file.)
  ApplyShortcuts(Choose(true, false, false), nullptr, 0, nullptr);
  Shortcut expected = Expected(L"Pelodra.exe", L"C:\\tests");
  expected.hotkey = MAKEWORD('P', HOTKEYF_CONTROL | HOTKEYF_ALT);
  EXPECT_EQ(Read(desktop), expected);
}

// A translation that names an item or its file with a path is not followed
// out of the group or the program's folder; a subfolder of the program's
// folder is fine.
TEST_F(Shortcuts, TranslatedItemNamesStayInTheGroupAndTargetsInTheProgramFolder) {
  auto translate = [](std::vector<std::pair<const wchar_t*, const wchar_t*>> texts) {
    std::wstring section = L"***messages***\r\n";
    for (const auto& text : texts) {
      std::wstring key = TextKeyOf(text.first);
      std::wstring value;  // backslashes escaped
      for (const wchar_t* c = text.second; *c; ++c) {
        value += *c;
        if (*c == L'\\') value += L'\\';
      }
      section += key + L"=\"" + value + L"\"\r\n";
    }
    ASSERT_TRUE(LoadLanguageSection(section.data(),
                                    static_cast<uint32_t>(section.size() * sizeof(wchar_t)), true));
  };
  std::wstring group = SpecialFolder(CSIDL_COMMON_PROGRAMS) + L"\\Pelodra";
  translate({{L"Pelodra help", L"..\\..\\Startup\\evil"},
             {L"What is new in Pelodra", L"Neu in Pelodra"},
             {L"License.txt", L"..\\..\\windows\\win.ini"}});
  ApplyShortcuts(Choose(false, false, true), group_, MaxPathChars, nullptr);
  EXPECT_EQ(FolderContent(group),
            (std::vector<std::wstring>{L"Neu in Pelodra.lnk", L"Pelodra.lnk"}));
  EXPECT_FALSE(Exists(SpecialFolder(CSIDL_COMMON_STARTUP) + L"\\evil.lnk"));

  ASSERT_TRUE(CreateDirectoryW(InProgramFolder(L"Docs").c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(InProgramFolder(L"Docs\\License.txt"), "license"));
  translate({{L"Pelodra help", L"help:stream"},
             {L"What is new in Pelodra", L".."},
             {L"License.txt", L"Docs/License.txt"}});
  ApplyShortcuts(Choose(false, false, true), group_, MaxPathChars, nullptr);
  EXPECT_EQ(FolderContent(group), (std::vector<std::wstring>{DocumentItem, L"Pelodra.lnk"}));
  ResetLanguageFileForTesting();
}

TEST_F(Shortcuts, ASettingsFileThatForbidsTheRegistryForbidsShortcuts) {
  ASSERT_TRUE(WriteBytes(InProgramFolder(L"Pelodra.ini"), "Global\\Integration=0\r\n"));
  ResetSettingsStoreForTesting();
  KeyExists(GlobalRoot, L"Global");
  ASSERT_FALSE(IsIntegrationEnabled());
  ApplyShortcuts(Choose(true, true, true), group_, MaxPathChars, nullptr);
  EXPECT_FALSE(Exists(SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Pelodra.lnk"));
  EXPECT_FALSE(Exists(SpecialFolder(CSIDL_PROGRAMS) + L"\\Pelodra"));
  EXPECT_STREQ(group_, L"untouched");
}

// The run's log is no file of the product's, wherever it lies: in the
// group, in the place of an item or shortcut, or in the group's own place.
// Setup and removal leave it there, and the group that holds it; the log
// says so, and neither run reports a refusal.
TEST_F(Shortcuts, TheLogStaysWhereverItLiesAndNothingIsRefused) {
  const std::wstring group = SpecialFolder(CSIDL_COMMON_PROGRAMS) + L"\\Pelodra";
  struct Case {
    std::wstring log;
    bool inGroup;
  };
  const Case cases[] = {
      {group + L"\\setup.log", true},
      {group + L"\\" + HelpItem, true},
      {SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY) + L"\\Pelodra.lnk", false},
      {group, false},
  };
  for (const Case& c : cases) {
    RemoveProductShortcuts();
    if (c.inGroup) {
      ASSERT_TRUE(ApplyShortcuts(Choose(true, true, true), nullptr, 0, nullptr));
    }
    ASSERT_TRUE(WriteBytes(c.log, "an earlier run\r\n"));
    ASSERT_TRUE(OpenLogFile(c.log.c_str(), nullptr, 0)) << c.log.c_str();
    EXPECT_TRUE(ApplyShortcuts(Choose(true, true, true), group_, MaxPathChars, nullptr));
    EXPECT_TRUE(ApplyShortcuts(Choose(false, false, false), nullptr, 0, nullptr));
    LogEnd(ExitDone);

    std::vector<LogLine> lines = ReadLog(c.log);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0].raw, "an earlier run");
    EXPECT_TRUE(HasLine(lines, "kept", Utf8(c.log), "the log")) << c.log.c_str();
    EXPECT_EQ(HasLine(lines, "kept", Utf8(group), "holds the log"), c.inGroup) << c.log.c_str();
    for (const LogLine& line : lines) {
      EXPECT_EQ(line.result.rfind("error", 0), std::string::npos) << line.raw;
    }
    if (c.inGroup) {
      size_t separator = c.log.rfind(L'\\');
      EXPECT_EQ(FolderContent(group), std::vector<std::wstring>{c.log.substr(separator + 1)});
    }
    EXPECT_FALSE(Exists(SpecialFolder(CSIDL_PROGRAMS) + L"\\Pelodra"));
    EXPECT_TRUE(DeleteFileW(c.log.c_str())) << c.log.c_str();
  }
}

TEST_F(Shortcuts, FolderHelpers) {
  wchar_t path[MaxPathChars] = L"stale";
  EXPECT_TRUE(GetSpecialFolderPath(CSIDL_COMMON_PROGRAMS, path));
  EXPECT_EQ(std::wstring(path), SpecialFolder(CSIDL_COMMON_PROGRAMS));
  EXPECT_FALSE(GetSpecialFolderPath(0x7E, path));
  EXPECT_STREQ(path, L"");

  // A program group loses its files, then itself when nothing else is in
  // it; a missing one is no failure.
  std::wstring group = InProgramFolder(L"group");
  EXPECT_TRUE(RemoveProgramGroup(group.c_str()));
  ASSERT_TRUE(CreateDirectoryW(group.c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(group + L"\\read-only.lnk", "x"));
  ASSERT_TRUE(SetAttributes((group + L"\\read-only.lnk").c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_TRUE(RemoveProgramGroup(group.c_str()));
  EXPECT_FALSE(Exists(group));
  EXPECT_TRUE(Exists(folder_));

  // A shortcut to a target that is not there is still saved.
  std::wstring shortcut = InProgramFolder(L"missing.lnk");
  EXPECT_TRUE(CreateShortcut(InProgramFolder(L"missing.exe").c_str(), shortcut.c_str(), nullptr,
                             nullptr, nullptr));
  EXPECT_EQ(Read(shortcut).target, InProgramFolder(L"missing.exe"));
  EXPECT_FALSE(CreateShortcut(L"C:\\x.exe", (InProgramFolder(L"no folder") + L"\\x.lnk").c_str(),
                              nullptr, nullptr, nullptr));
}

}  // namespace

// A group folder that is a link to another folder: neither setup nor
// removal deletes anything through it.
TEST_F(Shortcuts, AGroupThatIsALinkLeavesWhatItLeadsTo) {
  std::wstring group = SpecialFolder(CSIDL_COMMON_PROGRAMS) + L"\\Pelodra";
  std::wstring elsewhere = InProgramFolder(L"Elsewhere");
  ASSERT_TRUE(CreateDirectoryW(elsewhere.c_str(), nullptr));
  ASSERT_TRUE(WriteBytes(elsewhere + L"\\notes.txt", "the user's"));
  ASSERT_TRUE(SetAttributes((elsewhere + L"\\notes.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(WriteBytes(elsewhere + L"\\other.lnk", "the user's"));
  ASSERT_TRUE(MakeFolderLink(group, elsewhere));

  ApplyShortcuts(Choose(false, false, true), group_, MaxPathChars, nullptr);
  EXPECT_EQ(ReadBytes(elsewhere + L"\\other.lnk"), "the user's");
  ApplyShortcuts(Choose(false, false, false), group_, MaxPathChars, nullptr);
  EXPECT_EQ(ReadBytes(elsewhere + L"\\notes.txt"), "the user's");
  EXPECT_EQ(ReadBytes(elsewhere + L"\\other.lnk"), "the user's");
  // Windows removes the link itself here; Wine cannot, and leaves it.
  RemoveFolderLink(group);
}
