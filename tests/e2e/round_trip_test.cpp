// Setup as the installer runs it, then uninstall as the list of installed
// programs runs it: afterwards the prefix holds nothing of the product, and
// extensions that other programs owned before are theirs again. Each run
// logs every change the snapshots show it made, and nothing else.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/log_comparison.h"
#include "support/e2e.h"
#include "support/gui_driver.h"
#include "support/log_lines.h"
#include "support/restart_list.h"
#include "support/test_files.h"
#include "support/test_registry.h"

namespace {

const wchar_t AppDefaults[] = L"Software\\Wine\\AppDefaults\\uninstall.exe";

// What a setup/uninstall round trip may leave on purpose: keys of the
// shell that setup creates on the way when they are missing (the handler
// lists such as HKCR\*\shellex\ContextMenuHandlers, the Approved list,
// RegisteredApplications). They belong to the shell, which every program
// shares; removal deletes only the product's entries in them. Value lines
// are never kept.
bool KeptOnPurpose(const std::string& line) {
  static const char* const sharedKeys[] = {"\\shellex",
                                           "\\shellex\\ContextMenuHandlers",
                                           "\\shellex\\DragDropHandlers",
                                           "\\shellex\\PropertySheetHandlers",
                                           "\\Shell Extensions\\Approved",
                                           "Software\\RegisteredApplications"};
  if (line.find(" : ") != std::string::npos) return false;
  for (const char* key : sharedKeys) {
    size_t n = strlen(key);
    if (line.size() >= n && line.compare(line.size() - n, n, key) == 0) return true;
  }
  return false;
}

std::string Filtered(const std::string& difference) {
  std::istringstream in(difference);
  std::string line, out;
  while (std::getline(in, line))
    if (!line.empty() && !KeptOnPurpose(line)) out += line + "\n";
  return out;
}

// Every place the product writes, and the keys around them. A snapshot of
// the whole registry costs minutes under emulation; these trees hold
// everything that setup and uninstall touch.
std::vector<std::wstring> ClassKeys() {
  std::vector<std::wstring> keys = {L"Pelodra",
                                    L"Pelodra.ZIP",
                                    L"Pelodra.REV",
                                    L".rev",
                                    L"*\\shellex",
                                    L"Folder\\shellex",
                                    L"Drive\\shellex",
                                    L"Directory\\shellex",
                                    L"exefile\\shellex",
                                    L"CLSID\\{D3A57C10-4B21-11D2-8F3A-0C5E2B7A91F4}",
                                    L"CLSID\\{D3A57C10-6A21-11D2-8F3A-0C5E2B7A91F4}"};
  for (const wchar_t* ext :
       {L".kel", L".zip", L".cab", L".arj", L".lz",  L".tlz", L".lzh",  L".lha",  L".ace", L".7z",
        L".tar", L".gz",  L".tgz", L".uue", L".xxe", L".uu",  L".bz2",  L".tbz2", L".bz",  L".tbz",
        L".jar", L".iso", L".z",   L".taz", L".xz",  L".txz", L".zipx", L".001"})
    keys.push_back(ext);
  for (int n = 0; n < 100; ++n) {
    wchar_t volume[8];
    swprintf(volume, 8, L".k%02d", n);
    keys.push_back(volume);
  }
  return keys;
}

const wchar_t* const MachineKeys[] = {
    L"Software\\Pelodra",
    L"Software\\RegisteredApplications",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Pelodra.exe",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelodra archiver",
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved",
};

std::string RegistryState() {
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  std::vector<REGSAM> views = {0};
  if (wow64) views.push_back(KEY_WOW64_64KEY);
  std::string state;
  for (REGSAM view : views) {
    for (const std::wstring& key : ClassKeys())
      state += RegistrySnapshot(HKEY_CLASSES_ROOT, key, view);
    for (const wchar_t* key : MachineKeys) state += RegistrySnapshot(HKEY_LOCAL_MACHINE, key, view);
    state += RegistrySnapshot(HKEY_CURRENT_USER, L"Software\\Pelodra", view);
  }
  return state;
}

// Appends a registry export (UTF-16, as the registry tools write it) as
// one line per key and one per value with its key in front.
void ReadExport(const std::wstring& file, std::vector<std::string>& lines) {
  std::string bytes = ReadBytes(file);
  if (bytes.size() < 2) return;
  std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
  std::wstring key, entry;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L'\n', start);
    if (end == std::wstring::npos) end = text.size();
    std::wstring line = text.substr(start, end - start);
    start = end + 1;
    if (!line.empty() && line.back() == L'\r') line.pop_back();
    entry += line;
    if (!entry.empty() && entry[0] != L'[' && entry.back() == L'\\') {  // continued
      entry.pop_back();
      continue;
    }
    if (!entry.empty()) {
      if (entry[0] == L'[') key = entry;
      lines.push_back(Utf8(entry[0] == L'[' ? entry : key + L" : " + entry));
    }
    entry.clear();
  }
}

// The whole registry: the trees above are compared exactly, this catches
// what the product might leave anywhere else. The registry editor exports
// the registry as 32-bit programs see it; on 64-bit Windows the 64-bit view
// of the trees that have one is read as well.
std::vector<std::string> ExportedRegistry() {
  const std::wstring file = L"C:\\tests\\registry.reg";
  CreateDirectoryW(L"C:\\tests", nullptr);
  DeleteFileW(file.c_str());
  wchar_t regedit[MAX_PATH];
  GetWindowsDirectoryW(regedit, MAX_PATH);
  wcscat(regedit, L"\\regedit.exe");
  RunProgram(regedit, L"/E \"" + file + L"\"", {}, 300000);
  std::vector<std::string> lines;
  ReadExport(file, lines);
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  if (wow64) {
    std::istringstream view(RegistrySnapshot(HKEY_LOCAL_MACHINE, L"Software", KEY_WOW64_64KEY) +
                            RegistrySnapshot(HKEY_USERS, L"", KEY_WOW64_64KEY));
    for (std::string line; std::getline(view, line);) lines.push_back(line);
  }
  return lines;
}

// Lines of the registry that are new since `before` and name the product
// or its shell extension.
std::string ProductTraces(const std::vector<std::string>& before,
                          const std::vector<std::string>& after) {
  std::multiset<std::string> old(before.begin(), before.end());
  std::string traces;
  for (const std::string& line : after) {
    auto found = old.find(line);
    if (found != old.end()) {
      old.erase(found);
      continue;
    }
    std::string lower = line;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) {
      return static_cast<char>(tolower(static_cast<unsigned char>(c)));
    });
    if (lower.find("pelodra") != std::string::npos || lower.find("d3a57c10") != std::string::npos)
      traces += line + "\n";
  }
  return traces;
}

// Links inside the prefix may lead in circles: they are listed, not entered.
void ListFiles(const std::wstring& folder, std::vector<std::wstring>& files, int depth = 0) {
  if (depth > 12) return;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return;
  do {
    std::wstring name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    std::wstring path = folder + L"\\" + name;
    if (_wcsicmp(path.c_str(), L"C:\\windows") == 0 || _wcsicmp(name.c_str(), L"Temp") == 0 ||
        _wcsicmp(path.c_str(), L"C:\\tests") == 0)
      continue;
    files.push_back(path);
    if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
        !(data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
      ListFiles(path, files, depth + 1);
  } while (FindNextFileW(find, &data));
  FindClose(find);
}

std::string FileState() {
  std::vector<std::wstring> files;
  ListFiles(L"C:", files);
  std::sort(files.begin(), files.end());
  std::string state;
  for (const auto& f : files) state += Utf8(f) + "\n";
  return state;
}

std::string PrefixState() { return RegistryState() + FileState(); }

// The installation the product's installer leaves, with every file and
// folder in its list.
Installation LayOutInstallation(const std::wstring& name, bool withIni) {
  Installation product = MakeInstallation(name);
  const std::wstring& f = product.folder;
  CreateDirectoryW((f + L"\\Formats").c_str(), nullptr);
  const wchar_t* files[] = {L"Pelodra.exe", L"kelext.dll",  L"kelext64.dll",    L"Pelodra.chm",
                            L"Kel.txt",     L"License.txt", L"Formats\\zip.fmt"};
  for (const wchar_t* file : files) WriteBytes(f + L"\\" + file, "stand-in");
  if (withIni) WriteBytes(f + L"\\Pelodra.ini", "Global\\Integration=1\r\n");
  WriteBytes(f + L"\\Uninstall.lst",
             "Formats\r\nFormats\\zip.fmt\r\nPelodra.exe\r\nkelext.dll\r\nkelext64.dll\r\n"
             "Pelodra.chm\r\nKel.txt\r\nLicense.txt\r\nkelnew.dat\r\nzipnew.dat\r\n"
             "Pelodra.ini\r\nuninstall.exe\r\n");
  return product;
}

struct Variant {
  const char* name;
  const wchar_t* version;  // Windows version of the program, or null
  bool withIni;
  bool othersOwnExtensions;
  bool lockedFile;          // Kel.txt is open in another program during the uninstall
  bool iniBesideInstaller;  // the installer brings the settings file
  // Left by the earlier program: a setup in registry mode, then the
  // settings file put beside the program.
  bool earlierInstallation = false;
  int setups = 1;  // then run one after another
  // Uninstalled by the entry's silent command, as deployment tools run it.
  bool quiet = false;
};

// The working folder of a shortcut, as the shell reads it.
std::wstring WorkingFolderOf(const std::wstring& shortcut) {
  wchar_t folder[MAX_PATH] = L"<unreadable>";
  HRESULT com = CoInitialize(nullptr);
  IShellLinkW* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      if (SUCCEEDED(file->Load(shortcut.c_str(), STGM_READ)))
        link->GetWorkingDirectory(folder, MAX_PATH);
      file->Release();
    }
    link->Release();
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return folder;
}

std::wstring SpecialFolderPath(int csidl) {
  wchar_t path[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

const wchar_t UninstallKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelodra archiver";

// The local date as the uninstall entry holds it.
std::wstring Today() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  wchar_t date[16];
  swprintf(date, 16, L"%04u%02u%02u", now.wYear, now.wMonth, now.wDay);
  return date;
}

// What setup leaves for the readers that the round trip does not see:
// Windows and deployment tools running the uninstall entry or listing it,
// 64-bit readers, other users. The setup ran between the two dates.
void ExpectWhatOtherReadersNeed(const Installation& product, bool from60,
                                const std::wstring& dayBefore, const std::wstring& dayAfter) {
  EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, UninstallKey, L"UninstallString"),
            L"\"" + product.exe + L"\"");
  EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, UninstallKey, L"QuietUninstallString"),
            L"\"" + product.exe + L"\" /S");
  // At least the program, which the list names.
  WIN32_FILE_ATTRIBUTE_DATA program{};
  ASSERT_TRUE(GetFileAttributesExW(product.exe.c_str(), GetFileExInfoStandard, &program));
  EXPECT_GE(RegistryDword(HKEY_LOCAL_MACHINE, UninstallKey, L"EstimatedSize").value_or(0),
            program.nFileSizeLow / 1024);
  std::wstring date =
      RegistryString(HKEY_LOCAL_MACHINE, UninstallKey, L"InstallDate").value_or(L"");
  EXPECT_TRUE(date == dayBefore || date == dayAfter) << date.c_str();
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  if (wow64 && from60) {
    const REGSAM view64 = KEY_WOW64_64KEY;
    EXPECT_EQ(
        RegistryString(HKEY_LOCAL_MACHINE, L"Software\\RegisteredApplications", L"Pelodra", view64),
        L"Software\\Pelodra\\Capabilities");
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, L"Software\\Pelodra\\Capabilities",
                             L"ApplicationDescription", view64),
              L"Pelodra");
    EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE,
                             L"Software\\Pelodra\\Capabilities\\FileAssociations", L".7z", view64),
              L"Pelodra");
    EXPECT_EQ(
        RegistryString(HKEY_LOCAL_MACHINE,
                       L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved",
                       L"{D3A57C10-6A21-11D2-8F3A-0C5E2B7A91F4}", view64),
        L"Pelodra shell extension");
  }
  // Every user starts the all users' group in a folder every user has.
  std::wstring shortcut = SpecialFolderPath(CSIDL_COMMON_PROGRAMS) + L"\\Pelodra\\Pelodra.lnk";
  EXPECT_EQ(WorkingFolderOf(shortcut), product.folder);
}

// The lines of a log that report a failure.
std::string Failures(const std::vector<LogLine>& lines) {
  std::string failures;
  for (const LogLine& line : lines)
    if (line.result.rfind("error ", 0) == 0) failures += line.raw + "\n";
  return failures;
}

// Wine's start-up work of a restart, which carries out that list as
// Windows does when it starts.
bool Restart() {
  wchar_t wineboot[MAX_PATH];
  GetSystemDirectoryW(wineboot, MAX_PATH);
  wcscat(wineboot, L"\\wineboot.exe");
  RunResult boot = RunProgram(wineboot, L"-r", {}, 120000);
  return boot.finished && boot.exitCode == 0;
}

class RoundTrip : public ::testing::TestWithParam<Variant> {};

TEST_P(RoundTrip, LeavesNothingOfTheProduct) {
  const Variant& v = GetParam();
  BOOL wow64 = FALSE;
  IsWow64Process(GetCurrentProcess(), &wow64);
  if (v.version) {
    const wchar_t* version =
        wcscmp(v.version, L"xp") == 0 ? (wow64 ? L"winxp64" : L"winxp") : v.version;
    ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, AppDefaults, L"Version", version));
  }
  const wchar_t* owned[] = {L".zip", L".7z", L".iso", L".k05"};
  if (v.othersOwnExtensions)
    for (const wchar_t* ext : owned) {
      ASSERT_TRUE(
          SetRegistryString(HKEY_CLASSES_ROOT, ext, L"", std::wstring(L"Other") + (ext + 1)));
      ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, std::wstring(ext) + L"\\ShellNew",
                                    L"NullFile", L""));
    }
  std::string before = PrefixState();
  std::vector<std::string> registryBefore = ExportedRegistry();
  ASSERT_GT(registryBefore.size(), 1000u) << "no registry export";

  std::wstring name = L"Pelodra round trip " + std::wstring(v.name, v.name + strlen(v.name));
  Installation product = LayOutInstallation(name, v.withIni);
  std::wstring logs = FreshFolder(L"round trip logs");
  std::wstring setupLog = logs + L"\\setup " + name + L".log";
  std::wstring uninstallLog = logs + L"\\uninstall " + name + L".log";
  // As the product's installer starts it: its switches, and its own name,
  // beside which it may bring the settings file of the installation.
  Environment installer = {{L"sfxcmd", L"/S"}};
  std::wstring installerFolder = FreshFolder(L"round trip installer");
  if (v.iniBesideInstaller) {
    WriteBytes(installerFolder + L"\\pelodra.ini", "Global\\Integration=1\r\n");
    installer.push_back({L"sfxname", installerFolder + L"\\pelodra-5.61.exe"});
  }
  if (v.earlierInstallation) {
    ASSERT_EQ(RunProgram(product.exe, L"/setup", {{L"sfxcmd", L"/S"}}, 120000).exitCode, 0u);
    WriteBytes(product.folder + L"\\Pelodra.ini", "Global\\Integration=1\r\n");
  }
  std::string laidOut = PrefixState();
  std::wstring dayBefore = Today();
  for (int i = 0; i < v.setups; ++i) {
    RunResult setup =
        RunProgram(product.exe, L"/setup \"/log=" + setupLog + L"\"", installer, 120000);
    ASSERT_TRUE(setup.finished);
    EXPECT_EQ(setup.exitCode, 0u);
  }
  std::string setUp = PrefixState();
  std::vector<LogLine> setupLines = ReadLog(setupLog);
  EXPECT_EQ(UnloggedChanges(SnapshotDifference(laidOut, setUp), setupLines, wow64 != FALSE), "");
  EXPECT_EQ(UnseenChanges(setupLines), "");
  EXPECT_EQ(Failures(setupLines), "");
  EXPECT_EQ(RegistryString(HKEY_CLASSES_ROOT, L".zip", L""), L"Pelodra.ZIP");
  EXPECT_TRUE(RegistryKeyExists(HKEY_CLASSES_ROOT, L"Pelodra\\shell\\open\\command"));
  ExpectWhatOtherReadersNeed(product, !v.version || wcscmp(v.version, L"xp") != 0, dayBefore,
                             Today());
  if (v.othersOwnExtensions) {
    EXPECT_EQ(RegistryString(HKEY_CLASSES_ROOT, L".k05", L""), L"Otherk05");
  }
  // The installation keeps its settings in the file from the start: the
  // records of the former owners are there, none in the registry.
  if (v.iniBesideInstaller && !v.earlierInstallation) {
    EXPECT_TRUE(Exists(product.folder + L"\\pelodra.ini"));
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, L"Software\\Pelodra"));
  }
  // The earlier program's records stay where it left them, and no setup
  // takes the product's own class for a former owner.
  if (v.earlierInstallation) {
    EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, L"Software\\Pelodra\\Setup\\.7z", L"Type"),
              L"Other7z");
    std::string ini = ReadBytes(product.folder + L"\\Pelodra.ini");
    std::wstring text(reinterpret_cast<const wchar_t*>(ini.data()), ini.size() / sizeof(wchar_t));
    EXPECT_EQ(text.find(L"Type=\"Pelodra"), std::wstring::npos);
  }
  RemoveTree(installerFolder);

  std::wstring locked = product.folder + L"\\Kel.txt";
  HANDLE lock = v.lockedFile ? CreateFileW(locked.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                           OPEN_EXISTING, 0, nullptr)
                             : INVALID_HANDLE_VALUE;
  std::vector<std::wstring> shown;
  const auto answer = [&](DWORD process) { shown = AnswerBoxes(process, IDYES); };
  const std::wstring logSwitch = L" \"/log=" + uninstallLog + L"\"";
  // The entry's silent command as it stands, and nobody to answer.
  RunResult uninstall =
      v.quiet
          ? RunCommandLine(RegistryString(HKEY_LOCAL_MACHINE, UninstallKey, L"QuietUninstallString")
                                   .value_or(L"") +
                               logSwitch,
                           {}, 120000, answer)
          : RunProgram(product.exe, logSwitch.substr(1), {}, 120000, answer);
  ASSERT_TRUE(uninstall.finished);
  // A file left for the restart, and nothing else: done once Windows restarts.
  EXPECT_EQ(uninstall.exitCode, v.lockedFile ? 3010u : 0u);
  if (v.quiet) {
    EXPECT_EQ(shown.size(), 0u);
  } else {
    ASSERT_GE(shown.size(), 1u) << "no confirmation";
    EXPECT_NE(shown[0].find(L"remove Pelodra"), std::wstring::npos);
  }
  if (v.lockedFile) {
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    ASSERT_EQ(shown.size(), 2u) << "the files in use are reported once";
    EXPECT_NE(shown[1].find(L"in use"), std::wstring::npos);
    // The file, then the folder that holds it: at the restart the folder
    // is empty and goes too.
    std::vector<std::wstring> scheduled = ScheduledForRestart();
    ASSERT_EQ(scheduled.size(), 2u);
    EXPECT_EQ(_wcsicmp(scheduled[0].c_str(), locked.c_str()), 0) << scheduled[0].c_str();
    EXPECT_EQ(_wcsicmp(scheduled[1].c_str(), product.folder.c_str()), 0) << scheduled[1].c_str();
    Sleep(5000);  // the batch file's tries at the folder
    EXPECT_TRUE(Exists(locked));
    CloseHandle(lock);
    ASSERT_TRUE(Restart());
    EXPECT_TRUE(ScheduledForRestart().empty());
  } else if (!v.quiet) {
    EXPECT_EQ(shown.size(), 1u);
  }
  EXPECT_TRUE(WaitUntilGone(product.folder, 60000)) << "installation folder left";
  Sleep(1000);  // the batch file deletes itself last

  std::string after = PrefixState();
  std::vector<LogLine> uninstallLines = ReadLog(uninstallLog);
  EXPECT_EQ(UnloggedChanges(SnapshotDifference(setUp, after), uninstallLines, wow64 != FALSE), "");
  EXPECT_EQ(UnseenChanges(uninstallLines), "");
  EXPECT_EQ(Failures(uninstallLines), "");
  EXPECT_EQ(CountLines(uninstallLines, "message"), shown.size());
  EXPECT_EQ(ProductTraces(registryBefore, ExportedRegistry()), "");
  if (v.version) DeleteRegistryTree(HKEY_CURRENT_USER, AppDefaults);
  EXPECT_EQ(Filtered(SnapshotDifference(before, after)), "");
  if (v.othersOwnExtensions) {
    for (const wchar_t* ext : owned) {
      EXPECT_EQ(RegistryString(HKEY_CLASSES_ROOT, ext, L""), std::wstring(L"Other") + (ext + 1));
      DeleteRegistryTree(HKEY_CLASSES_ROOT, ext);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(
    Variants, RoundTrip,
    ::testing::Values(Variant{"registry", nullptr, false, false, false, false},
                      Variant{"before60", L"xp", false, false, false, false},
                      Variant{"ini", nullptr, true, false, false, false, false, 1, true},
                      Variant{"owners", L"vista", false, true, false, false, true, 1},
                      Variant{"locked", nullptr, false, false, true, false},
                      Variant{"installer", nullptr, false, true, false, true, false, 2}),
    [](const ::testing::TestParamInfo<Variant>& param) { return std::string(param.param.name); });

}  // namespace
