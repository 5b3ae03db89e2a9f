#include "integration/shell_extension.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/run_state.h"
#include "fs/file_ops.h"
#include "settings/settings_store.h"
#include "support/test_registry.h"
#include "tests/integration/integration_fixture.h"

namespace {

using ShellExtension = IntegrationTest;

const HKEY Classes = HKEY_CLASSES_ROOT;
const HKEY Machine = HKEY_LOCAL_MACHINE;
const REGSAM View64 = KEY_WOW64_64KEY;
const std::wstring Approved =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
const std::wstring RegisteredApplications = L"Software\\RegisteredApplications";

IntegrationOptions ShellExtOn() {
  IntegrationOptions options{};
  options.ShellExt = true;
  return options;
}

std::wstring Clsid(const wchar_t* clsid) { return L"CLSID\\" + std::wstring(clsid); }

// The keys that name a server by its CLSID.
std::vector<std::wstring> ClsidHandlerKeys(const wchar_t* clsid) {
  std::vector<std::wstring> keys;
  for (const wchar_t* format :
       {L"Pelodra\\shellex\\ContextMenuHandlers\\", L"Pelodra\\shellex\\PropertySheetHandlers\\",
        L"Pelodra.ZIP\\shellex\\ContextMenuHandlers\\",
        L"Pelodra.ZIP\\shellex\\PropertySheetHandlers\\",
        L"exefile\\shellex\\PropertySheetHandlers\\"})
    keys.push_back(format + std::wstring(clsid));
  return keys;
}

// The keys named by a handler name (the two of folders are only cleared).
std::vector<std::wstring> NamedHandlerKeys(const wchar_t* handler, bool withFormer = false) {
  std::vector<std::wstring> keys;
  for (const wchar_t* format :
       {L"*\\shellex\\ContextMenuHandlers\\", L"Folder\\shellex\\ContextMenuHandlers\\",
        L"Folder\\shellex\\DragDropHandlers\\", L"Drive\\shellex\\DragDropHandlers\\"})
    keys.push_back(format + std::wstring(handler));
  if (withFormer) {
    keys.push_back(L"Directory\\shellex\\ContextMenuHandlers\\" + std::wstring(handler));
    keys.push_back(L"Directory\\shellex\\DragDropHandlers\\" + std::wstring(handler));
  }
  return keys;
}

void ExpectServer(const wchar_t* clsid, const std::wstring& dll, REGSAM view) {
  EXPECT_EQ(RegistryString(Classes, Clsid(clsid), L"", view), L"Pelodra") << clsid;
  std::wstring server = Clsid(clsid) + L"\\InProcServer32";
  EXPECT_EQ(RegistryString(Classes, server, L"", view), dll) << clsid;
  EXPECT_EQ(RegistryString(Classes, server, L"ThreadingModel", view), L"Apartment") << clsid;
}

}  // namespace

TEST_F(ShellExtension, On64BitWindowsBothServersAreRegistered) {
  if (!IsWow64()) GTEST_SKIP() << "needs 64-bit Windows";
  ApplyShellExtension(false, ShellExtOn());

  // Each server's class key lies in the view its callers look in, and only
  // there.
  ExpectServer(Server32Clsid, ProductFile(L"kelext.dll"), 0);
  ExpectServer(Server64Clsid, ProductFile(L"kelext64.dll"), View64);
  EXPECT_FALSE(RegistryKeyExists(Classes, Clsid(Server32Clsid), View64));
  EXPECT_FALSE(RegistryKeyExists(Classes, Clsid(Server64Clsid), 0));

  for (const wchar_t* clsid : {Server32Clsid, Server64Clsid}) {
    for (const std::wstring& key : ClsidHandlerKeys(clsid))
      EXPECT_EQ(RegistryString(Classes, key, L""), L"") << key;
    EXPECT_EQ(RegistryString(Machine, Approved, clsid), L"Pelodra shell extension");
  }
  for (const std::wstring& key : NamedHandlerKeys(L"Pelodra32"))
    EXPECT_EQ(RegistryString(Classes, key, L""), Server32Clsid) << key;
  for (const std::wstring& key : NamedHandlerKeys(L"Pelodra"))
    EXPECT_EQ(RegistryString(Classes, key, L""), Server64Clsid) << key;
  // 64-bit Explorer takes drops with the server it can load.
  EXPECT_EQ(RegistryString(Classes, L"Pelodra\\shellex\\DropHandler", L""), Server64Clsid);
  EXPECT_EQ(RegistryString(Classes, L"Pelodra.ZIP\\shellex\\DropHandler", L""), Server64Clsid);
}

TEST_F(ShellExtension, TheDefaultProgramsEntryListsEveryExtension) {
  ASSERT_GE(GetWindowsVersion(), 0x0600u);
  ApplyShellExtension(false, IntegrationOptions{});
  EXPECT_EQ(RegistryString(Machine, RegisteredApplications, L"Pelodra"),
            L"Software\\Pelodra\\Capabilities");
  EXPECT_EQ(RegistryString(Machine, L"Software\\Pelodra\\Capabilities", L"ApplicationDescription"),
            L"Pelodra");
  std::string listed =
      RegistrySnapshot(Machine, L"Software\\Pelodra\\Capabilities\\FileAssociations");
  size_t count = 0;
  for (const ExtensionRow& row : ExtensionTable) {
    for (RowExtensions e(row.extensions); e.Next(); ++count)
      EXPECT_EQ(RegistryString(Machine, L"Software\\Pelodra\\Capabilities\\FileAssociations",
                               e.Current()),
                row.progId)
          << e.Current();
  }
  EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), static_cast<long>(count + 1));
}

TEST_F(ShellExtension, AMissingServerFileLeavesOutOnlyItsClassKey) {
  if (!IsWow64()) GTEST_SKIP() << "needs 64-bit Windows";
  ASSERT_TRUE(DeleteFileW(ProductFile(L"kelext64.dll").c_str()));
  ApplyShellExtension(false, ShellExtOn());
  EXPECT_FALSE(RegistryKeyExists(Classes, Clsid(Server64Clsid), View64));
  EXPECT_FALSE(RegistryKeyExists(Classes, Clsid(Server64Clsid), 0));
  ExpectServer(Server32Clsid, ProductFile(L"kelext.dll"), 0);
  for (const std::wstring& key : NamedHandlerKeys(L"Pelodra"))
    EXPECT_EQ(RegistryString(Classes, key, L""), Server64Clsid) << key;
  for (const std::wstring& key : ClsidHandlerKeys(Server64Clsid))
    EXPECT_TRUE(RegistryKeyExists(Classes, key)) << key;
  EXPECT_EQ(RegistryString(Machine, Approved, Server64Clsid), L"Pelodra shell extension");
}

TEST_F(ShellExtension, SetupWithoutTheExtensionTakesItsRegistrationBack) {
  if (!IsWow64()) GTEST_SKIP() << "needs 64-bit Windows";
  // What an earlier release hooked into folders goes too.
  for (const wchar_t* handler : {L"Pelodra", L"Pelodra32"}) {
    ASSERT_TRUE(SetRegistryString(
        Classes, L"Directory\\shellex\\ContextMenuHandlers\\" + std::wstring(handler), L"",
        L"{old}"));
    ASSERT_TRUE(SetRegistryString(
        Classes, L"Directory\\shellex\\DragDropHandlers\\" + std::wstring(handler), L"", L"{old}"));
  }
  ASSERT_TRUE(SetRegistryString(Machine, Approved, L"{another}", L"Another extension"));
  ApplyShellExtension(false, ShellExtOn());
  ApplyShellExtension(false, IntegrationOptions{});

  for (REGSAM view : {REGSAM{0}, View64}) {
    EXPECT_FALSE(RegistryKeyExists(Classes, Clsid(Server32Clsid), view)) << view;
    EXPECT_FALSE(RegistryKeyExists(Classes, Clsid(Server64Clsid), view)) << view;
  }
  for (const wchar_t* clsid : {Server32Clsid, Server64Clsid}) {
    for (const std::wstring& key : ClsidHandlerKeys(clsid))
      EXPECT_FALSE(RegistryKeyExists(Classes, key)) << key;
    EXPECT_FALSE(RegistryValue(Machine, Approved, clsid));
  }
  for (const wchar_t* handler : {L"Pelodra", L"Pelodra32"})
    for (const std::wstring& key : NamedHandlerKeys(handler, true))
      EXPECT_FALSE(RegistryKeyExists(Classes, key)) << key;
  EXPECT_FALSE(RegistryKeyExists(Classes, L"Pelodra\\shellex\\DropHandler"));
  EXPECT_EQ(RegistryString(Machine, Approved, L"{another}"), L"Another extension");
  // Only removal takes the product off the default programs.
  EXPECT_EQ(RegistryString(Machine, RegisteredApplications, L"Pelodra"),
            L"Software\\Pelodra\\Capabilities");
}

TEST_F(ShellExtension, RemovalAlsoTakesTheMachineSettingsAndTheDefaultProgramsEntry) {
  ASSERT_TRUE(SetRegistryString(Machine, RegisteredApplications, L"Another",
                                L"Software\\Another\\Capabilities"));
  ASSERT_TRUE(
      SetRegistryString(Machine, L"Software\\Pelodra\\Interface", L"Kept", L"until removal"));
  ApplyShellExtension(false, ShellExtOn());
  // A class key that holds more than the product wrote keeps that.
  ASSERT_TRUE(SetRegistryString(Classes, Clsid(Server32Clsid) + L"\\Extra", L"", L"x"));
  ApplyShellExtension(true, IntegrationOptions{});
  EXPECT_FALSE(RegistryValue(Machine, RegisteredApplications, L"Pelodra"));
  EXPECT_EQ(RegistryString(Machine, RegisteredApplications, L"Another"),
            L"Software\\Another\\Capabilities");
  EXPECT_FALSE(RegistryKeyExists(Machine, L"Software\\Pelodra"));
  EXPECT_TRUE(RegistryKeyExists(Classes, Clsid(Server32Clsid) + L"\\Extra"));
  EXPECT_FALSE(RegistryKeyExists(Classes, Clsid(Server32Clsid) + L"\\InProcServer32"));
  EXPECT_FALSE(RegistryKeyExists(Classes, Clsid(Server64Clsid), View64));
}

// With the settings in the file, the key that RegisteredApplications names
// must still be in the registry, where Windows looks.
TEST_F(ShellExtension, TheDefaultProgramsEntryGoesToTheRegistryWithASettingsFile) {
  ASSERT_GE(GetWindowsVersion(), 0x0600u);
  UseIniFile("Global\\Integration=1\r\n");
  ApplyShellExtension(false, IntegrationOptions{});
  EXPECT_EQ(RegistryString(Machine, L"Software\\Pelodra\\Capabilities", L"ApplicationDescription"),
            L"Pelodra");
  EXPECT_EQ(RegistryString(Machine, L"Software\\Pelodra\\Capabilities\\FileAssociations", L".zip"),
            L"Pelodra.ZIP");
  for (const IniEntry* entry = FirstIniEntry(); entry; entry = entry->next)
    EXPECT_EQ(std::wstring(entry->name).find(L"Capabilities"), std::wstring::npos) << entry->name;

  ApplyShellExtension(true, IntegrationOptions{});
  EXPECT_FALSE(RegistryKeyExists(Machine, L"Software\\Pelodra"));
  EXPECT_FALSE(RegistryValue(Machine, RegisteredApplications, L"Pelodra"));
}
