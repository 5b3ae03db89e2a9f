#include "integration/shell_extension.h"

#include <windows.h>

#include <shlobj.h>

#include "app/shared/format.h"
#include "app/shared/program_path.h"
#include "app/shared/run_state.h"
#include "fs/file_ops.h"
#include "fs/path_names.h"
#include "settings/registry_deletion.h"
#include "settings/settings_store.h"

namespace {

constexpr wchar_t Server32Clsid[] = L"{D3A57C10-4B21-11D2-8F3A-0C5E2B7A91F4}";
constexpr wchar_t Server64Clsid[] = L"{D3A57C10-6A21-11D2-8F3A-0C5E2B7A91F4}";

constexpr unsigned ShellKeyChars = 1024;

constexpr wchar_t ApprovedKey[] =
    L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved";
constexpr wchar_t RegisteredApplicationsKey[] = L"\\Software\\RegisteredApplications";
// Windows reads the default-programs registration from the registry, even
// while the product's settings live in the settings file: the key that
// RegisteredApplications names (without the leading backslash), from the
// root.
constexpr wchar_t CapabilitiesKey[] = L"\\Software\\Pelodra\\Capabilities";
constexpr wchar_t FileAssociationsKey[] = L"\\Software\\Pelodra\\Capabilities\\FileAssociations";
// The product's machine-wide key, from the root: removal takes it from the
// registry whether the settings live there or in the file.
constexpr wchar_t ProductMachineKey[] = L"\\Software\\Pelodra";

// Class keys that name the server by its CLSID.
constexpr const wchar_t* ClsidHandlerKeys[] = {
    L"Pelodra\\shellex\\ContextMenuHandlers\\%s",
    L"Pelodra\\shellex\\PropertySheetHandlers\\%s",
    L"Pelodra.ZIP\\shellex\\ContextMenuHandlers\\%s",
    L"Pelodra.ZIP\\shellex\\PropertySheetHandlers\\%s",
    L"exefile\\shellex\\PropertySheetHandlers\\%s",
};
constexpr const wchar_t* DropHandlerKeys[] = {
    L"Pelodra\\shellex\\DropHandler",
    L"Pelodra.ZIP\\shellex\\DropHandler",
};
// Keys named by the handler name, whose default value is the CLSID.
constexpr const wchar_t* NamedHandlerKeys[] = {
    L"*\\shellex\\ContextMenuHandlers\\%s",
    L"Folder\\shellex\\ContextMenuHandlers\\%s",
    L"Folder\\shellex\\DragDropHandlers\\%s",
    L"Drive\\shellex\\DragDropHandlers\\%s",
};
// Where earlier releases hooked into folders; only ever cleared.
constexpr const wchar_t* FormerHandlerKeys[] = {
    L"Directory\\shellex\\ContextMenuHandlers\\%s",
    L"Directory\\shellex\\DragDropHandlers\\%s",
};

// Under WOW64 a 64-bit reader (default-programs settings, 64-bit Explorer
// enforcing approved extensions) looks in the 64-bit view, where the
// redirected keys of a 32-bit program do not reach: `step` runs in the
// default view, then again in the 64-bit view.
template <typename Step>
void InEveryView(Step step) {
  step();
  if (!IsWow64()) return;
  SelectRegistryView(true);
  step();
  SelectRegistryView(false);
}

void Approve(const wchar_t* clsid) {
  SetString(HKEY_LOCAL_MACHINE, ApprovedKey, clsid, L"Pelodra shell extension");
}

struct ServerKeys {
  wchar_t clsidKey[ShellKeyChars];
  wchar_t serverKey[ShellKeyChars];
};

void FormatServerKeys(const wchar_t* clsid, ServerKeys& keys) {
  FormatText(keys.clsidKey, ShellKeyChars, L"CLSID\\%s", clsid);
  FormatText(keys.serverKey, ShellKeyChars, L"CLSID\\%s\\InProcServer32", clsid);
}

void WriteServerKeys(const ServerKeys& keys, const wchar_t* dllPath) {
  SetString(HKEY_CLASSES_ROOT, keys.clsidKey, L"", L"Pelodra");
  SetString(HKEY_CLASSES_ROOT, keys.serverKey, L"", dllPath);
  SetString(HKEY_CLASSES_ROOT, keys.serverKey, L"ThreadingModel", L"Apartment");
}

void InstallServer(const wchar_t* dllName, const wchar_t* clsid, const wchar_t* handlerName,
                   bool is64Bit) {
  wchar_t dllPath[MaxPathChars];
  GetProgramPath(dllPath, MaxPathChars);
  ReplaceNamePart(dllPath, dllName, MaxPathChars);
  ServerKeys server;
  FormatServerKeys(clsid, server);
  // Without its file a server keeps only its CLSID keys out of the
  // registry; the hooks are written all the same.
  if (PathExists(dllPath)) {
    SelectRegistryView(is64Bit);
    WriteServerKeys(server, dllPath);
    RegistryViewFlags = 0;
  }
  wchar_t key[ShellKeyChars];
  for (const wchar_t* format : ClsidHandlerKeys) {
    FormatText(key, ShellKeyChars, format, clsid);
    SetString(HKEY_CLASSES_ROOT, key, L"", L"");
  }
  for (const wchar_t* dropKey : DropHandlerKeys) SetString(HKEY_CLASSES_ROOT, dropKey, L"", clsid);
  for (const wchar_t* format : NamedHandlerKeys) {
    FormatText(key, ShellKeyChars, format, handlerName);
    SetString(HKEY_CLASSES_ROOT, key, L"", clsid);
  }
  // The 64-bit server is approved where 64-bit Explorer looks as well.
  if (is64Bit)
    InEveryView([clsid] { Approve(clsid); });
  else
    Approve(clsid);
}

void RemoveServer(const wchar_t* clsid, const wchar_t* handlerName, bool is64Bit) {
  ServerKeys server;
  FormatServerKeys(clsid, server);
  // Setup put the 64-bit server's keys where 64-bit Explorer looks; they
  // are taken back from there too.
  auto deleteServerKeys = [&server] {
    DeleteKey(HKEY_CLASSES_ROOT, server.serverKey);
    DeleteKey(HKEY_CLASSES_ROOT, server.clsidKey);
  };
  if (is64Bit)
    InEveryView(deleteServerKeys);
  else
    deleteServerKeys();
  wchar_t key[ShellKeyChars];
  for (const wchar_t* format : ClsidHandlerKeys) {
    FormatText(key, ShellKeyChars, format, clsid);
    DeleteKey(HKEY_CLASSES_ROOT, key);
  }
  for (const wchar_t* dropKey : DropHandlerKeys) DeleteKey(HKEY_CLASSES_ROOT, dropKey);
  for (const wchar_t* format : NamedHandlerKeys) {
    FormatText(key, ShellKeyChars, format, handlerName);
    DeleteKey(HKEY_CLASSES_ROOT, key);
  }
  for (const wchar_t* format : FormerHandlerKeys) {
    FormatText(key, ShellKeyChars, format, handlerName);
    DeleteKey(HKEY_CLASSES_ROOT, key);
  }
  InEveryView([clsid] { DeleteValue(HKEY_LOCAL_MACHINE, ApprovedKey, clsid); });
}

// The product among the system's default programs, with every extension it
// can open, whichever of them the user chose.
void RegisterDefaultPrograms() {
  SetString(HKEY_LOCAL_MACHINE, RegisteredApplicationsKey, L"Pelodra", CapabilitiesKey + 1);
  SetString(HKEY_LOCAL_MACHINE, CapabilitiesKey, L"ApplicationDescription", L"Pelodra");
  for (const ExtensionRow& row : ExtensionTable) {
    for (RowExtensions e(row.extensions); e.Next();)
      SetString(HKEY_LOCAL_MACHINE, FileAssociationsKey, e.Current(), row.progId);
  }
}

}  // namespace

void ApplyShellExtension(bool removal, const IntegrationOptions& options) {
  bool wow64 = IsWow64();
  RegisterShellExtension(options.ShellExt, L"kelext.dll", Server32Clsid,
                         wow64 ? L"Pelodra32" : L"Pelodra", false);
  // Second, so that the drop handlers name the server 64-bit Explorer loads.
  if (wow64)
    RegisterShellExtension(options.ShellExt, L"kelext64.dll", Server64Clsid, L"Pelodra", true);
  if (GetWindowsVersion() >= 0x0600) {
    if (removal)
      InEveryView([] { DeleteValue(HKEY_LOCAL_MACHINE, RegisteredApplicationsKey, L"Pelodra"); });
    else
      InEveryView(RegisterDefaultPrograms);
  }
  if (removal) {
    DeleteKeyTree(HKEY_LOCAL_MACHINE, L"");
    InEveryView([] { DeleteKeyTree(HKEY_LOCAL_MACHINE, ProductMachineKey); });
  }
  SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

void RegisterShellExtension(bool install, const wchar_t* dllName, const wchar_t* clsid,
                            const wchar_t* handlerName, bool is64Bit) {
  if (install)
    InstallServer(dllName, clsid, handlerName, is64Bit);
  else
    RemoveServer(clsid, handlerName, is64Bit);
}
