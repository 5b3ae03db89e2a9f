// The setup dialogs of the real program, driven as a user drives them:
// `/setup` in a stand-in installation, boxes read and clicked from here.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "resources/resource_ids.h"
#include "setup_test_support.h"
#include "support/current_folder.h"
#include "support/dialog_driver.h"
#include "support/e2e.h"
#include "support/gui_driver.h"
#include "support/test_files.h"
#include "support/test_registry.h"

namespace {

const std::wstring ProductKey = L"Software\\Pelodra";
const std::wstring MiscKey = ProductKey + L"\\Interface\\Misc";
const std::wstring ItemsKey = ProductKey + L"\\Setup\\MenuItems";

struct Row {
  const wchar_t* extension;
  int box;
};
const Row Rows[] = {{L".kel", 5101},  {L".zip", 5102}, {L".cab", 5103}, {L".arj", 5104},
                    {L".lz", 5116},   {L".lzh", 5105}, {L".ace", 5106}, {L".7z", 5107},
                    {L".tar", 5108},  {L".gz", 5109},  {L".uue", 5110}, {L".bz2", 5111},
                    {L".jar", 5112},  {L".iso", 5113}, {L".z", 5115},   {L".xz", 5114},
                    {L".zipx", 5117}, {L".001", 5118}};

std::optional<DWORD> Setting(const std::wstring& key, const wchar_t* name) {
  return RegistryDword(HKEY_CURRENT_USER, ProductKey + L"\\" + key, name);
}

void Store(const std::wstring& key, const wchar_t* name, DWORD value) {
  ASSERT_TRUE(SetRegistryDword(HKEY_CURRENT_USER, ProductKey + L"\\" + key, name, value));
}

std::wstring ClassOf(const wchar_t* extension) {
  return RegistryString(HKEY_CLASSES_ROOT, extension, L"").value_or(L"");
}

bool IsOwn(const std::wstring& type) {
  return _wcsicmp(type.c_str(), L"Pelodra") == 0 || _wcsicmp(type.c_str(), L"Pelodra.ZIP") == 0;
}

// First-run state of a row's box: ".jar" only when it is the product's
// already, ".iso" unless another program has it.
bool FirstRunDefault(const Row& row) {
  std::wstring type = ClassOf(row.extension);
  if (wcscmp(row.extension, L".jar") == 0) return IsOwn(type);
  if (wcscmp(row.extension, L".iso") == 0) return type.empty() || IsOwn(type);
  return true;
}

bool AllTypesChecked(HWND dialog) {
  for (const Row& row : Rows)
    if (!IsChecked(dialog, row.box)) return false;
  return true;
}

bool NoTypeChecked(HWND dialog) {
  for (const Row& row : Rows)
    if (IsChecked(dialog, row.box)) return false;
  return true;
}

class SetupDialogRun : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteRegistryTree(HKEY_CURRENT_USER, ProductKey);
    product_ = MakeInstallation(L"Pelodra setup dialog");
  }
  void TearDown() override {
    DeleteRegistryTree(HKEY_CURRENT_USER, ProductKey);
    RemoveTree(product_.folder);
  }
  SetupTraces traces_;
  Installation product_;
};

}  // namespace

TEST_F(SetupDialogRun, FirstRunShowsTheDefaultsAndOkSavesTheChoices) {
  Store(L"Interface\\Misc", L"RemShown", 1);
  ScopedCurrentFolder current(product_.folder);
  std::wstring folderShown;
  bool groupOpened = false;
  RunResult run = RunProgram(product_.exe, L"/setup", {}, 120000, [&](DWORD process) {
    HWND dialog = WaitForDialogWith(process, IDC_EXPLANATION, 30000);
    ASSERT_NE(dialog, nullptr) << "no setup dialog";
    for (const Row& row : Rows)
      EXPECT_EQ(IsChecked(dialog, row.box), FirstRunDefault(row)) << row.extension;
    EXPECT_FALSE(IsChecked(dialog, IDC_DESKTOP));
    EXPECT_FALSE(IsChecked(dialog, IDC_START_MENU));
    EXPECT_TRUE(IsChecked(dialog, IDC_PROGRAMS));
    EXPECT_TRUE(IsChecked(dialog, IDC_SHELL_EXT));
    EXPECT_FALSE(IsChecked(dialog, IDC_CASCADED_MENU));
    EXPECT_TRUE(IsChecked(dialog, IDC_MENU_ICONS));
    EXPECT_TRUE(IsControlEnabled(dialog, IDC_CASCADED_MENU));
    std::wstring explanation = ControlText(dialog, IDC_EXPLANATION);
    EXPECT_NE(explanation.find(L"Check the archive types"), std::wstring::npos);
    EXPECT_NE(explanation.find(L"You can change"), std::wstring::npos);

    bool allBefore = AllTypesChecked(dialog);
    ClickAndWait(dialog, IDC_SELECT_ALL);
    EXPECT_EQ(allBefore ? NoTypeChecked(dialog) : AllTypesChecked(dialog), true);
    ClickAndWait(dialog, IDC_SELECT_ALL);
    EXPECT_EQ(allBefore ? AllTypesChecked(dialog) : NoTypeChecked(dialog), true);
    if (!NoTypeChecked(dialog)) ClickAndWait(dialog, IDC_SELECT_ALL);
    ASSERT_TRUE(NoTypeChecked(dialog));

    for (int box :
         {IDC_ASSOCIATE_KEL, IDC_ASSOCIATE_7Z, IDC_ASSOCIATE_XZ, IDC_DESKTOP, IDC_SHELL_EXT})
      ClickAndWait(dialog, box);
    EXPECT_FALSE(IsControlEnabled(dialog, IDC_CASCADED_MENU));
    EXPECT_FALSE(IsControlEnabled(dialog, IDC_MENU_ICONS));
    EXPECT_TRUE(IsChecked(dialog, IDC_MENU_ICONS));
    ClickButton(dialog, IDOK);
    CloseDoneDialogs(process, &folderShown);
    groupOpened = CloseFolderWindow(L"Pelodra", 30000);
  });
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(folderShown, product_.folder);
  EXPECT_TRUE(groupOpened) << "the program group was not opened";

  for (const Row& row : Rows) {
    bool chosen = !wcscmp(row.extension, L".kel") || !wcscmp(row.extension, L".7z") ||
                  !wcscmp(row.extension, L".xz");
    EXPECT_EQ(Setting(std::wstring(L"Setup\\") + row.extension, L"Set"), chosen ? 1u : 0u)
        << row.extension;
  }
  EXPECT_EQ(Setting(L"Setup\\Links", L"Desktop"), 1u);
  EXPECT_EQ(Setting(L"Setup\\Links", L"StartMenu"), 0u);
  EXPECT_EQ(Setting(L"Setup\\Links", L"Programs"), 1u);
  EXPECT_EQ(Setting(L"Setup", L"ShellExt"), 0u);
  EXPECT_EQ(Setting(L"Setup", L"CascadedMenu"), 0u);
  EXPECT_EQ(Setting(L"Setup", L"MenuIcons"), 1u);
  EXPECT_FALSE(Setting(L"Interface\\Misc", L"RemShown"));

  // What the integration made of them.
  EXPECT_EQ(ClassOf(L".kel"), L"Pelodra");
  EXPECT_EQ(ClassOf(L".xz"), L"Pelodra");
  EXPECT_FALSE(IsOwn(ClassOf(L".zip")));
  EXPECT_TRUE(DesktopShortcutExists());
  EXPECT_FALSE(StartMenuShortcutExists());
  EXPECT_NE(ProgramGroup(), L"");
  EXPECT_EQ(RegistryString(HKEY_LOCAL_MACHINE, UninstallEntryKey, L"UninstallString"),
            L"\"" + product_.exe + L"\"");
}

// The stored choices, amended by the command line, are what the dialog
// starts from: those of the installer's settings file when it brings one,
// since the installation keeps its settings there. Cancelling leaves
// everything as it was, the settings file taken back too.
TEST_F(SetupDialogRun, CancelLeavesTheStoredChoicesAndEndsWithOne) {
  Store(L"Setup\\.zip", L"Set", 0);
  Store(L"Setup\\Links", L"Desktop", 1);
  Store(L"Interface\\Misc", L"RemShown", 1);
  std::wstring installer = FreshFolder(L"installer");
  WriteBytes(installer + L"\\pelodra.ini", "HKCU\\Setup\\Links\\StartMenu=1\r\n");
  ScopedCurrentFolder current(product_.folder);
  HWND doneDialog = nullptr;
  RunResult run =
      RunProgram(product_.exe, L"/setup /initA1D0",
                 {{L"sfxname", installer + L"\\pelodra-setup.exe"}}, 60000, [&](DWORD process) {
                   HWND dialog = WaitForDialogWith(process, IDC_EXPLANATION, 30000);
                   ASSERT_NE(dialog, nullptr) << "no setup dialog";
                   EXPECT_TRUE(Exists(product_.folder + L"\\pelodra.ini"));
                   EXPECT_TRUE(IsChecked(dialog, IDC_ASSOCIATE_KEL));
                   EXPECT_TRUE(IsChecked(dialog, IDC_ASSOCIATE_ZIP));
                   EXPECT_TRUE(IsChecked(dialog, IDC_START_MENU));
                   EXPECT_FALSE(IsChecked(dialog, IDC_DESKTOP));
                   EXPECT_TRUE(IsChecked(dialog, IDC_PROGRAMS));
                   for (int box : {IDC_ASSOCIATE_ZIP, IDC_START_MENU, IDC_SHELL_EXT})
                     ClickAndWait(dialog, box);
                   ClickButton(dialog, IDCANCEL);
                   doneDialog = WaitForDialogWhere(process, IsDoneDialog, 3000);
                 });
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_EQ(doneDialog, nullptr);
  EXPECT_EQ(Setting(L"Setup\\.zip", L"Set"), 0u);
  EXPECT_FALSE(Setting(L"Setup\\.kel", L"Set"));
  EXPECT_EQ(Setting(L"Setup\\Links", L"Desktop"), 1u);
  EXPECT_FALSE(Setting(L"Setup\\Links", L"StartMenu"));
  EXPECT_FALSE(Setting(L"Setup", L"ShellExt"));
  EXPECT_EQ(Setting(L"Interface\\Misc", L"RemShown"), 1u);
  EXPECT_FALSE(Exists(product_.folder + L"\\pelodra.ini"));
  EXPECT_EQ(ClassOf(L".kel"), L"");
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, UninstallEntryKey));
  EXPECT_FALSE(RegistryKeyExists(HKEY_LOCAL_MACHINE, AppPathsKey));
  EXPECT_EQ(ProgramGroup(), L"");
  EXPECT_FALSE(DesktopShortcutExists());
  RemoveTree(installer);
}

// The items are stored when their own dialog is confirmed, whatever
// becomes of the setup dialog afterwards.
TEST_F(SetupDialogRun, ContextMenuItemsAreStoredAtOnce) {
  bool storedAfterCancel = true;
  RunResult run = RunProgram(product_.exe, L"/setup", {}, 90000, [&](DWORD process) {
    HWND dialog = WaitForDialogWith(process, IDC_EXPLANATION, 30000);
    ASSERT_NE(dialog, nullptr) << "no setup dialog";
    ClickButton(dialog, IDC_CONTEXT_ITEMS);
    HWND items = WaitForDialogWith(process, IDC_ALWAYS_ARCHIVE, 30000);
    ASSERT_NE(items, nullptr) << "no context menu items dialog";
    for (int id = 101; id <= 117; ++id)
      EXPECT_EQ(IsChecked(items, id), id != IDC_ITEM_TEST && id != IDC_ITEM_CONVERT) << id;
    EXPECT_EQ(ControlText(items, IDC_ALWAYS_ARCHIVE), L"*.iso");
    ClickAndWait(items, IDC_ITEM_TEST);
    ClickButton(items, IDCANCEL);
    ASSERT_NE(WaitForDialogWhere(process, IsSetupDialogInFront, 30000), nullptr);
    storedAfterCancel = RegistryKeyExists(HKEY_CURRENT_USER, ItemsKey);

    ClickButton(dialog, IDC_CONTEXT_ITEMS);
    items = WaitForDialogWith(process, IDC_ALWAYS_ARCHIVE, 30000);
    ASSERT_NE(items, nullptr) << "no context menu items dialog";
    EXPECT_FALSE(IsChecked(items, IDC_ITEM_TEST));
    ClickAndWait(items, IDC_ITEM_TEST);
    ClickAndWait(items, IDC_ITEM_EXTRACT_TO);
    SetControlText(items, IDC_ALWAYS_ARCHIVE, L"*.img;*.iso");
    ClickButton(items, IDOK);
    ASSERT_NE(WaitForDialogWhere(process, IsSetupDialogInFront, 30000), nullptr);
    EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, ItemsKey, L"Test"), 1u);
    ClickButton(dialog, IDCANCEL);
  });
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 1u);
  EXPECT_FALSE(storedAfterCancel);
  EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, ItemsKey, L"Test"), 1u);
  EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, ItemsKey, L"ExtrTo"), 0u);
  EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, ItemsKey, L"Convert"), 0u);
  EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, ItemsKey, L"DragExtr"), 1u);
  EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, ItemsKey, L"AlwaysArc"), L"*.img;*.iso");
}

// With a settings file beside the program the choices come from it, and
// the confirmed items are in the file before setup ends. They stay when the
// setup dialog is cancelled then, in a copy of the installer's file too:
// the copy is taken back only while it holds nothing the user confirmed.
TEST_F(SetupDialogRun, ASettingsFileIsReadAndRewrittenAtOnce) {
  std::wstring ini = product_.folder + L"\\Pelodra.ini";
  std::wstring installer = FreshFolder(L"installer");
  for (bool fromInstaller : {false, true}) {
    SCOPED_TRACE(fromInstaller ? "copied from the installer" : "beside the program");
    DeleteFileW(ini.c_str());
    WriteBytes(fromInstaller ? installer + L"\\pelodra.ini" : ini,
               "HKCU\\Setup\\Links\\Desktop=1\r\n");
    Environment environment;
    if (fromInstaller) environment.push_back({L"sfxname", installer + L"\\pelodra-setup.exe"});
    std::string fileWhileOpen;
    RunResult run = RunProgram(product_.exe, L"/setup", environment, 90000, [&](DWORD process) {
      HWND dialog = WaitForDialogWith(process, IDC_EXPLANATION, 30000);
      ASSERT_NE(dialog, nullptr) << "no setup dialog";
      EXPECT_TRUE(IsChecked(dialog, IDC_DESKTOP));
      ClickButton(dialog, IDC_CONTEXT_ITEMS);
      HWND items = WaitForDialogWith(process, IDC_ALWAYS_ARCHIVE, 30000);
      ASSERT_NE(items, nullptr) << "no context menu items dialog";
      ClickAndWait(items, IDC_ITEM_TEST);
      ClickButton(items, IDOK);
      ASSERT_NE(WaitForDialogWhere(process, IsSetupDialogInFront, 30000), nullptr);
      fileWhileOpen = ReadBytes(ini);
      ClickButton(dialog, IDCANCEL);
    });
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 1u);
    for (const std::string& bytes : {fileWhileOpen, ReadBytes(ini)}) {
      std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()),
                        bytes.size() / sizeof(wchar_t));
      EXPECT_NE(text.find(L"HKCU\\Setup\\Links\\Desktop=1\r\n"), std::wstring::npos);
      EXPECT_NE(text.find(L"HKCU\\Setup\\MenuItems\\ExtrTo=1\r\n"), std::wstring::npos);
      EXPECT_NE(text.find(L"HKCU\\Setup\\MenuItems\\Test=1\r\n"), std::wstring::npos);
      EXPECT_NE(text.find(L"HKCU\\Setup\\MenuItems\\AlwaysArc=\"*.iso\"\r\n"), std::wstring::npos);
    }
    EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, ProductKey));
  }
  RemoveTree(installer);
}
