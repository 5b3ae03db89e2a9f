#include "app/command_line.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include <shlobj.h>

#include <cwctype>

#include "base/log.h"
#include "base/program_path.h"
#include "base/run_state.h"
#include "support/test_files.h"
#include "support/test_registry.h"

namespace {

RunRequest Parse(const wchar_t* installerText, const wchar_t* commandLine) {
  RunRequest request{};
  ParseCommandLine(CommandSource::InstallerText, installerText, request);
  ParseCommandLine(CommandSource::RealCommandLine, commandLine, request);
  return request;
}

std::vector<std::wstring> Tokens(const wchar_t* text, size_t size = TokenChars) {
  std::vector<std::wstring> tokens;
  std::wstring token(size, L'#');
  while ((text = NextToken(text, &token[0], size)) != nullptr) tokens.push_back(token.c_str());
  return tokens;
}

}  // namespace

TEST(NextToken, SplitsAtBlanksOutsideQuotesAndUnquotes) {
  auto tokens = Tokens(L"  \"C:\\Program Files\\Pelodra\\uninstall.exe\"\t/setup  ");
  ASSERT_EQ(tokens.size(), 2u);
  EXPECT_EQ(tokens[0], L"C:\\Program Files\\Pelodra\\uninstall.exe");
  EXPECT_EQ(tokens[1], L"/setup");

  tokens = Tokens(L"a\"\"b \"x \"\" y\" c\"d e\"f");
  ASSERT_EQ(tokens.size(), 3u);
  EXPECT_EQ(tokens[0], L"a\"b");
  EXPECT_EQ(tokens[1], L"x \" y");
  EXPECT_EQ(tokens[2], L"cd ef");

  EXPECT_EQ(NextToken(L" \t ", nullptr, 0), nullptr);
  EXPECT_EQ(NextToken(L"", nullptr, 0), nullptr);
}

TEST(NextToken, CutsLongTokensAndSkipsTheirRest) {
  std::wstring text = L"/" + std::wstring(3000, L'x') + L" /next";
  auto tokens = Tokens(text.c_str());
  ASSERT_EQ(tokens.size(), 2u);
  EXPECT_EQ(tokens[0].size(), TokenChars - 1);
  EXPECT_EQ(tokens[1], L"/next");

  // Without a buffer the token is only skipped.
  const wchar_t* rest = NextToken(L"skip me", nullptr, 0);
  ASSERT_NE(rest, nullptr);
  EXPECT_STREQ(rest, L" me");
}

// Both command texts go into one request: the installer's text counts
// only for the silent switch, switches compare over their leading
// characters, and "/init" takes the rest of its token, cut to its room.
TEST(ParseCommandLine, FillsTheRequestFromBothSources) {
  const std::wstring longInit = L"x /init" + std::wstring(100, L'1');
  const std::wstring cutInit(InitOptionsChars - 1, L'1');
  struct Case {
    const wchar_t* installer;
    std::wstring line;
    bool setup, uninstall, silent, msi, noExplorer;
    std::wstring init;
  };
  const Case cases[] = {
      {L"", L"uninstall.exe", false, true, false, false, false, L""},
      {L"", L"", false, true, false, false, false, L""},
      {L"", L"uninstall.exe /S", false, true, true, false, false, L""},
      {L"", L"uninstall.exe -s1", false, true, true, false, false, L""},
      {L"", L"uninstall.exe /setup", true, false, false, false, false, L""},
      {L"", L"uninstall.exe -SETUP", true, false, false, false, false, L""},
      {L"", L"uninstall.exe /setupnow /S", true, false, true, false, false, L""},
      {L"/S", L"uninstall.exe /setup", true, false, true, false, false, L""},
      {L"/setup", L"uninstall.exe", false, true, false, false, false, L""},
      {L"/setup", L"uninstall.exe /x", false, false, false, false, false, L""},
      {L"", L"uninstall.exe -", false, false, false, false, false, L""},
      {L"", L"uninstall.exe /sx", false, false, false, false, false, L""},
      {L"", L"uninstall.exe /x", false, false, false, false, false, L""},
      {L"", L"x /msixyz /noexp /initA1D0", false, false, false, true, true, L"A1D0"},
      {L"/msi /noexplorer /initA1 /s", L"x", false, true, true, false, false, L""},
      {L"", L"x /setup \"/init A1\" -MSI", true, false, false, true, false, L" A1"},
      {L"", longInit, false, false, false, false, false, cutInit},
      {L"", L"x /init", false, false, false, false, false, L""},
  };
  for (const Case& c : cases) {
    RunRequest r = Parse(c.installer, c.line.c_str());
    std::string where =
        testing::PrintToString(c.installer) + " | " + testing::PrintToString(c.line.substr(0, 40));
    EXPECT_EQ(r.setup, c.setup) << where;
    EXPECT_EQ(r.uninstall, c.uninstall) << where;
    EXPECT_EQ(r.silent, c.silent) << where;
    EXPECT_EQ(r.msi, c.msi) << where;
    EXPECT_EQ(r.noExplorer, c.noExplorer) << where;
    EXPECT_EQ(std::wstring(r.initOptions), c.init) << where;
  }

  RunRequest installerOnly{};
  installerOnly.uninstall = true;
  ParseCommandLine(CommandSource::InstallerText, L"", installerOnly);
  EXPECT_FALSE(installerOnly.uninstall);
}

// The log switch only says where to log: with it a run does the job it
// would do without it.
TEST(ParseCommandLine, TheLogSwitchChangesNoJob) {
  struct Case {
    const wchar_t* installer;
    const wchar_t* line;
    bool setup, uninstall;
  };
  const Case cases[] = {
      {L"", L"uninstall.exe /log=C:\\u.log", false, true},
      {L"", L"uninstall.exe /S \"/LOG=C:\\logs dir\\u.log\" -log=x", false, true},
      {L"", L"uninstall.exe /setup /S /log=C:\\s.log", true, false},
      {L"/log=C:\\i.log", L"uninstall.exe", false, true},
      // Not the log switch: an unknown one, which means no uninstall.
      {L"", L"uninstall.exe /logfile", false, false},
      {L"", L"uninstall.exe /log", false, false},
  };
  for (const Case& c : cases) {
    RunRequest r = Parse(c.installer, c.line);
    EXPECT_EQ(r.setup, c.setup) << c.line;
    EXPECT_EQ(r.uninstall, c.uninstall) << c.line;
  }
}

// The first log switch counts. A name longer than the program's path
// buffers is refused whole: cut, it would name another file.
TEST(OpenRequestedLog, OpensTheNamedFileWholeOrNothing) {
  std::wstring folder = FreshFolder(L"log switch");
  std::wstring log = folder + L"\\run log.txt";
  OpenRequestedLog(
      (L"uninstall.exe /S \"/log=" + log + L"\" \"-LOG=" + folder + L"\\b.log\"").c_str());
  EXPECT_TRUE(IsLogging());
  LogEnd(0);
  EXPECT_TRUE(Exists(log));
  EXPECT_FALSE(Exists(folder + L"\\b.log"));

  // Cut anywhere, these names would name files that could be made ("u.lo",
  // "vv" ...) in a folder of their own, which therefore stays empty.
  std::wstring empty = FreshFolder(L"log switch\\long");
  for (size_t shift = 1; shift <= 9; ++shift) {
    std::wstring name = empty + L"\\" + std::wstring(shift, L'v') + L"\\..\\u.log";
    while (name.size() < 5000) name += L"\\..\\u.log";
    OpenRequestedLog((L"uninstall.exe \"/log=" + name + L"\"").c_str());
    EXPECT_FALSE(IsLogging());
  }
  EXPECT_EQ(FilesMatching(empty + L"\\*"), 2) << "more than . and ..";

  // Nor is a file of the program's own a log.
  SetProgramPathForTesting((folder + L"\\uninstall.exe").c_str());
  WriteBytes(folder + L"\\Uninstall.lst", "Kel.txt\r\n");
  OpenRequestedLog((L"uninstall.exe \"/log=" + folder + L"\\Uninstall.lst\"").c_str());
  SetProgramPathForTesting(nullptr);
  EXPECT_FALSE(IsLogging());
  EXPECT_EQ(ReadBytes(folder + L"\\Uninstall.lst"), "Kel.txt\r\n");
}

// Every file the program reads, writes or deletes by name is no log,
// whether it is there or not, in each folder it is looked for in; other
// names there are logs like any other.
TEST(OpenRequestedLog, NoFileOfTheProductIsALog) {
  std::wstring root = FreshFolder(L"log own files");
  std::wstring program = root + L"\\app";
  std::wstring language = root + L"\\lang";
  CreateDirectoryW(program.c_str(), nullptr);
  CreateDirectoryW(language.c_str(), nullptr);
  WriteBytes(program + L"\\setup.exe", "the program");
  SetProgramPathForTesting((program + L"\\setup.exe").c_str());
  const std::wstring general = L"Software\\Pelodra\\General";
  ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, general, L"LanguageFolder", language));
  wchar_t folder[MAX_PATH] = {};
  ASSERT_TRUE(SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, folder)));
  std::wstring appData = std::wstring(folder) + L"\\Pelodra";
  bool appDataMade = CreateDirectoryW(appData.c_str(), nullptr) != FALSE;
  GetTempPathW(MAX_PATH, folder);
  std::wstring temp = folder;
  temp.pop_back();

  struct Place {
    std::wstring folder;
    std::vector<const wchar_t*> files;
  };
  const Place places[] = {
      {program,
       {L"setup.exe", L"Uninstall.lst", L"Pelodra.ini", L"Pelodra.chm", L"pelodra.gid",
        L"pelodra.fts", L"kellng.dll", L"uninstall.lng"}},
      {appData, {L"Pelodra.ini"}},
      {language, {L"Pelodra.chm", L"pelodra.gid", L"pelodra.fts", L"kellng.dll", L"uninstall.lng"}},
      {temp, {L"Uninstall_Kel.4000000000.Bat", L"Uninstall_Kel.4000000000.7.Bat"}},
  };
  for (const Place& place : places) {
    for (const wchar_t* file : place.files) {
      std::wstring path = place.folder + L"\\" + file;
      bool there = Exists(path);
      std::wstring spelled = path;
      for (size_t i = place.folder.size(); i < spelled.size(); ++i)
        spelled[i] = static_cast<wchar_t>(towupper(spelled[i]));
      OpenRequestedLog((L"uninstall.exe \"/log=" + spelled + L". \"").c_str());
      EXPECT_FALSE(IsLogging()) << path.c_str();
      LogEnd(0);
      EXPECT_EQ(Exists(path), there) << path.c_str();
      // A file made all the same would change the runs after this test.
      if (!there) DeleteFileW(path.c_str());
    }
    std::wstring other = place.folder + L"\\own files test.log";
    OpenRequestedLog((L"uninstall.exe \"/log=" + other + L"\"").c_str());
    EXPECT_TRUE(IsLogging()) << other.c_str();
    LogEnd(0);
    DeleteFileW(other.c_str());
  }
  EXPECT_EQ(ReadBytes(program + L"\\setup.exe"), "the program");

  SetProgramPathForTesting(nullptr);
  DeleteRegistryValue(HKEY_CURRENT_USER, general, L"LanguageFolder");
  DeleteRegistryKeyIfEmpty(HKEY_CURRENT_USER, general);
  DeleteRegistryKeyIfEmpty(HKEY_CURRENT_USER, L"Software\\Pelodra");
  if (appDataMade) RemoveDirectoryW(appData.c_str());
  RemoveTree(root);
}

TEST(ParseCommandLine, WaitPausesTwoSeconds) {
  DWORD start = GetTickCount();
  RunRequest r = Parse(L"", L"x /WAIT");
  DWORD elapsed = GetTickCount() - start;
  EXPECT_GE(elapsed, 1900u);
  EXPECT_LT(elapsed, 10000u);
  EXPECT_FALSE(r.uninstall);
}

// Generated command lines of every shape: nothing is written outside the
// token buffer, and no run flag is set by a line without its switch.
TEST(ParseCommandLine, SurvivesGeneratedInput) {
  std::mt19937 random(20261208);
  // No "w": "/wait" and "/warning" would pause or open a window.
  const wchar_t alphabet[] = L"abcdefghijklmnopqrstuvxyzABC /-\"\t\u00e9\u4e2d\u0416\U0001F600";
  const size_t letters = wcslen(alphabet);
  constexpr size_t Guard = 64;
  for (int round = 0; round < 300; ++round) {
    std::wstring line;
    size_t length = random() % (round % 10 == 0 ? 20000 : 400);
    for (size_t i = 0; i < length; ++i) line += alphabet[random() % letters];
    if (round % 7 == 0) line += std::wstring(5000, L'/');

    wchar_t buffer[Guard + TokenChars + Guard];
    wmemset(buffer, L'\xABCD', sizeof buffer / sizeof buffer[0]);
    size_t size = 1 + random() % TokenChars;
    const wchar_t* p = line.c_str();
    int tokens = 0;
    while ((p = NextToken(p, buffer + Guard, size)) != nullptr) {
      ++tokens;
      ASSERT_LE(wcslen(buffer + Guard), size - 1);
    }
    for (size_t i = 0; i < Guard; ++i) ASSERT_EQ(buffer[i], L'\xABCD');
    for (size_t i = Guard + size; i < Guard + TokenChars + Guard; ++i)
      ASSERT_EQ(buffer[i], L'\xABCD') << "round " << round << " index " << i;

    RunRequest request = Parse(line.c_str(), line.c_str());
    ASSERT_LT(wcsnlen(request.initOptions, InitOptionsChars), InitOptionsChars);
  }
}
