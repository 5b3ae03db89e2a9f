#include "integration/shell_extension.h"

#include <windows.h>

#include <shlobj.h>

#include "base/best_effort.h"
#include "base/format.h"
#include "base/product.h"
#include "base/program_path.h"
#include "base/run_state.h"
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
constexpr wchar_t ApprovedDescription[] = L"Pelodra shell extension";
constexpr wchar_t RegisteredApplicationsKey[] = L"\\Software\\RegisteredApplications";
// Below the product's key from the root: Windows reads the default-programs
// registration from the registry, even while the product's settings live in
// the settings file. RegisteredApplications names the key without the
// leading backslash.
constexpr wchar_t CapabilitiesFormat[] = L"%s\\Capabilities";
constexpr wchar_t FileAssociationsFormat[] = L"%s\\Capabilities\\FileAssociations";
// The handler name of the server Explorer loads; under WOW64, where both
// servers are registered, the 32-bit one has a name of its own.
constexpr wchar_t HandlerName[] = L"Pelodra";
constexpr wchar_t Handler32Name[] = L"Pelodra32";

// A key below "<class>\shellex" that holds a handler.
struct HandlerKey {
  const wchar_t* owner;
  const wchar_t* kind;
};
constexpr wchar_t ContextMenu[] = L"ContextMenuHandlers";
constexpr wchar_t PropertySheet[] = L"PropertySheetHandlers";
constexpr wchar_t DragDrop[] = L"DragDropHandlers";
// Keys named by the server's CLSID, with an empty default value.
constexpr HandlerKey ClsidHandlerKeys[] = {
    {ArchiveClass, ContextMenu}, {ArchiveClass, PropertySheet}, {ZipClass, ContextMenu},
    {ZipClass, PropertySheet},   {L"exefile", PropertySheet},
};
// Keys whose default value is the CLSID.
constexpr HandlerKey DropHandlerKeys[] = {
    {ArchiveClass, L"DropHandler"},
    {ZipClass, L"DropHandler"},
};
// Keys named by the handler name, whose default value is the CLSID.
constexpr HandlerKey NamedHandlerKeys[] = {
    {L"*", ContextMenu},
    {L"Folder", ContextMenu},
    {L"Folder", DragDrop},
    {L"Drive", DragDrop},
};
// Where earlier releases hooked into folders; only ever cleared.
constexpr HandlerKey FormerHandlerKeys[] = {
    {L"Directory", ContextMenu},
    {L"Directory", DragDrop},
};

// "<class>\shellex\<kind>", and "\<name>" behind it when a name is given.
void FormatHandlerKey(const HandlerKey& handler, const wchar_t* name, wchar_t* key) {
  if (name)
    FormatText(key, ShellKeyChars, L"%s\\shellex\\%s\\%s", handler.owner, handler.kind, name);
  else
    FormatText(key, ShellKeyChars, L"%s\\shellex\\%s", handler.owner, handler.kind);
}

// Under WOW64 a 64-bit reader (default-programs settings, 64-bit Explorer
// enforcing approved extensions) looks in the 64-bit view, where the
// redirected keys of a 32-bit program do not reach: `step` runs in the
// default view, then again in the 64-bit view.
template <typename Step>
void InEveryView(Step step) {
  step();
  if (!IsWow64()) return;
  ScopedRegistryView view64(true);
  step();
}

void Approve(const wchar_t* clsid) {
  BestEffort(SetString(HKEY_LOCAL_MACHINE, ApprovedKey, clsid, ApprovedDescription));
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
  BestEffort(SetString(HKEY_CLASSES_ROOT, keys.clsidKey, L"", ProductName));
  BestEffort(SetString(HKEY_CLASSES_ROOT, keys.serverKey, L"", dllPath));
  BestEffort(SetString(HKEY_CLASSES_ROOT, keys.serverKey, L"ThreadingModel", L"Apartment"));
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
    ScopedRegistryView view(is64Bit);
    WriteServerKeys(server, dllPath);
  }
  wchar_t key[ShellKeyChars];
  for (const HandlerKey& handler : ClsidHandlerKeys) {
    FormatHandlerKey(handler, clsid, key);
    BestEffort(SetString(HKEY_CLASSES_ROOT, key, L"", L""));
  }
  for (const HandlerKey& handler : DropHandlerKeys) {
    FormatHandlerKey(handler, nullptr, key);
    BestEffort(SetString(HKEY_CLASSES_ROOT, key, L"", clsid));
  }
  for (const HandlerKey& handler : NamedHandlerKeys) {
    FormatHandlerKey(handler, handlerName, key);
    BestEffort(SetString(HKEY_CLASSES_ROOT, key, L"", clsid));
  }
  // The 64-bit server is approved where 64-bit Explorer looks as well.
  if (is64Bit)
    InEveryView([clsid] { Approve(clsid); });
  else
    Approve(clsid);
}

template <size_t Count>
void DeleteHandlerKeys(const HandlerKey (&handlers)[Count], const wchar_t* name) {
  wchar_t key[ShellKeyChars];
  for (const HandlerKey& handler : handlers) {
    FormatHandlerKey(handler, name, key);
    BestEffort(DeleteKey(HKEY_CLASSES_ROOT, key));
  }
}

void RemoveServer(const wchar_t* clsid, const wchar_t* handlerName, bool is64Bit) {
  ServerKeys server;
  FormatServerKeys(clsid, server);
  // Setup put the 64-bit server's keys where 64-bit Explorer looks; they
  // are taken back from there too.
  auto deleteServerKeys = [&server] {
    BestEffort(DeleteKey(HKEY_CLASSES_ROOT, server.serverKey));
    BestEffort(DeleteKey(HKEY_CLASSES_ROOT, server.clsidKey));
  };
  if (is64Bit)
    InEveryView(deleteServerKeys);
  else
    deleteServerKeys();
  DeleteHandlerKeys(ClsidHandlerKeys, clsid);
  DeleteHandlerKeys(DropHandlerKeys, nullptr);
  DeleteHandlerKeys(NamedHandlerKeys, handlerName);
  DeleteHandlerKeys(FormerHandlerKeys, handlerName);
  InEveryView([clsid] { DeleteValue(HKEY_LOCAL_MACHINE, ApprovedKey, clsid); });
}

// The product among the system's default programs, with every extension it
// can open, whichever of them the user chose.
void RegisterDefaultPrograms() {
  wchar_t capabilities[ShellKeyChars], associations[ShellKeyChars];
  FormatText(capabilities, ShellKeyChars, CapabilitiesFormat, ProductKey);
  FormatText(associations, ShellKeyChars, FileAssociationsFormat, ProductKey);
  BestEffort(
      SetString(HKEY_LOCAL_MACHINE, RegisteredApplicationsKey, ProductName, capabilities + 1));
  BestEffort(SetString(HKEY_LOCAL_MACHINE, capabilities, L"ApplicationDescription", ProductName));
  for (const ExtensionRow& row : ExtensionTable) {
    for (RowExtensions e(row.extensions); e.Next();)
      BestEffort(SetString(HKEY_LOCAL_MACHINE, associations, e.Current(), row.progId));
  }
}

// Takes back what RegisterDefaultPrograms wrote below the product's key and
// the key itself when nothing else is left in it: in the 64-bit view it is
// the key of another program's 64-bit edition, whose settings stay.
void UnregisterDefaultPrograms() {
  wchar_t capabilities[ShellKeyChars], associations[ShellKeyChars];
  FormatText(capabilities, ShellKeyChars, CapabilitiesFormat, ProductKey);
  FormatText(associations, ShellKeyChars, FileAssociationsFormat, ProductKey);
  for (const ExtensionRow& row : ExtensionTable) {
    for (RowExtensions e(row.extensions); e.Next();)
      DeleteValue(HKEY_LOCAL_MACHINE, associations, e.Current());
  }
  DeleteKeyIfEmpty(HKEY_LOCAL_MACHINE, associations);
  DeleteValue(HKEY_LOCAL_MACHINE, capabilities, L"ApplicationDescription");
  DeleteKeyIfEmpty(HKEY_LOCAL_MACHINE, capabilities);
  DeleteKeyIfEmpty(HKEY_LOCAL_MACHINE, ProductKey);
}

}  // namespace

void ApplyShellExtension(bool removal, const IntegrationOptions& options) {
  bool wow64 = IsWow64();
  RegisterShellExtension(options.ShellExt, L"kelext.dll", Server32Clsid,
                         wow64 ? Handler32Name : HandlerName, false);
  // Second, so that the drop handlers name the server 64-bit Explorer loads.
  if (wow64)
    RegisterShellExtension(options.ShellExt, L"kelext64.dll", Server64Clsid, HandlerName, true);
  if (GetWindowsVersion() >= 0x0600) {
    if (removal)
      InEveryView([] { DeleteValue(HKEY_LOCAL_MACHINE, RegisteredApplicationsKey, ProductName); });
    else
      InEveryView(RegisterDefaultPrograms);
  }
  if (removal) {
    DeleteKeyTree(HKEY_LOCAL_MACHINE, L"");
    // The product's machine-wide key goes from the registry whether the
    // settings live there or in the file. In the 64-bit view this program
    // wrote only the default-programs registration.
    DeleteKeyTree(HKEY_LOCAL_MACHINE, ProductKey);
    if (IsWow64()) {
      ScopedRegistryView view64(true);
      UnregisterDefaultPrograms();
    }
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
