// The product's names and places that more than one part of the program
// uses. Setup writes them, the uninstall takes them back and the product's
// other programs and Windows read them, so each is spelled here once,
// exactly as it has always been written.
#pragma once

// The product's name: its program group and its item there, its folder in
// the user's application data, its registered application.
constexpr wchar_t ProductName[] = L"Pelodra";

// Class names under HKEY_CLASSES_ROOT. ZIP archives have a class of their
// own; every other archive type opens through the archive class.
constexpr wchar_t ArchiveClass[] = L"Pelodra";
constexpr wchar_t ZipClass[] = L"Pelodra.ZIP";
constexpr wchar_t RecoveryClass[] = L"Pelodra.REV";
// The recovery volumes' extension, which every setup takes.
constexpr wchar_t RecoveryExtension[] = L".rev";

// Files of the installation, beside this program.
constexpr wchar_t ProgramFileName[] = L"Pelodra.exe";
constexpr wchar_t HelpFileName[] = L"Pelodra.chm";
constexpr wchar_t SettingsFileName[] = L"Pelodra.ini";
constexpr wchar_t FileListName[] = L"Uninstall.lst";

// Registry keys in the settings store's form: the leading backslash reads
// them from the hive's root, wherever the settings live. The product's own
// key below HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE holds its settings.
constexpr wchar_t ProductKey[] = L"\\Software\\Pelodra";
constexpr wchar_t AppPathsKey[] =
    L"\\Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\Pelodra.exe";
constexpr wchar_t UninstallKey[] =
    L"\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Pelodra archiver";
