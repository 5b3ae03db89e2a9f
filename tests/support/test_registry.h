// The real registry in tests, without the program's own store: reading,
// writing, deleting and checking keys and values, keeping a key tree and
// putting it back, taking away the rights to change a key, and a key tree
// read into comparable text. `view` is 0 (the process's own),
// KEY_WOW64_32KEY or KEY_WOW64_64KEY; an empty value name is the key's
// default value.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

// An open key, closed when its holder goes.
class RegistryKey {
 public:
  RegistryKey() = default;
  ~RegistryKey() { Close(); }
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  // ERROR_SUCCESS or the registry's error. A key held before is closed.
  LONG Open(HKEY root, const std::wstring& path, REGSAM access, REGSAM view = 0);
  // Makes the key and its parents where missing.
  LONG Create(HKEY root, const std::wstring& path, REGSAM access, REGSAM view = 0);
  // The real current user's key, whatever stands in for HKEY_CURRENT_USER.
  LONG OpenCurrentUser(REGSAM access);
  void Close();

  HKEY Get() const { return key_; }
  explicit operator bool() const { return key_ != nullptr; }

 private:
  HKEY key_ = nullptr;
};

bool RegistryKeyExists(HKEY root, const std::wstring& path, REGSAM view = 0);

struct RegistryData {
  DWORD type = REG_NONE;
  std::string bytes;
};
// A value as stored; none when the key or the value is missing.
std::optional<RegistryData> RegistryValue(HKEY root, const std::wstring& path,
                                          const std::wstring& name, REGSAM view = 0);
// The text of a REG_SZ value without the terminators stored with it; none
// when the value is missing or of another type.
std::optional<std::wstring> RegistryString(HKEY root, const std::wstring& path,
                                           const std::wstring& name, REGSAM view = 0);
// A REG_DWORD value; none when the value is missing or of another type.
std::optional<DWORD> RegistryDword(HKEY root, const std::wstring& path, const std::wstring& name,
                                   REGSAM view = 0);
// The names of a key's values, sorted; none for a missing key.
std::vector<std::wstring> RegistryValueNames(HKEY root, const std::wstring& path, REGSAM view = 0);

// Writes a value, making its key and the key's parents where missing; false
// when the registry refuses.
[[nodiscard]] bool SetRegistryValue(HKEY root, const std::wstring& path, const std::wstring& name,
                                    DWORD type, const void* data, size_t size, REGSAM view = 0);
// A REG_SZ value with its terminator.
[[nodiscard]] bool SetRegistryString(HKEY root, const std::wstring& path, const std::wstring& name,
                                     const std::wstring& text, REGSAM view = 0);
[[nodiscard]] bool SetRegistryDword(HKEY root, const std::wstring& path, const std::wstring& name,
                                    DWORD value, REGSAM view = 0);

// Deletes a key with everything below it; true when it was there and is
// gone. An empty path names no key here (the root itself is never
// deleted).
bool DeleteRegistryTree(HKEY root, const std::wstring& path, REGSAM view = 0);
// Deletes a key that holds neither values nor subkeys; a key that holds
// anything belongs to someone else.
void DeleteRegistryKeyIfEmpty(HKEY root, const std::wstring& path, REGSAM view = 0);
// Deletes one value; a missing key or value is fine.
void DeleteRegistryValue(HKEY root, const std::wstring& path, const std::wstring& name,
                         REGSAM view = 0);

// Makes `path` a registry link to the existing key `target` of the same
// root; false when the registry refuses. A deletion by name reaches the key
// a link points to: RemoveRegistryLink takes the link itself.
[[nodiscard]] bool MakeRegistryLink(HKEY root, const std::wstring& path,
                                    const std::wstring& target);
void RemoveRegistryLink(HKEY root, const std::wstring& path);

// A key's values and subkeys as read; defined in the source.
struct RegistryTree;

// Keeps a key tree as it is now and puts it back on destruction: a key that
// existed gets exactly its former values and subkeys again; for one that
// did not, the first of its ancestors that was missing is deleted with
// everything below, so that keys created on the way go too.
class SavedRegistryKey {
 public:
  SavedRegistryKey(HKEY root, const std::wstring& path, REGSAM view = 0);
  ~SavedRegistryKey();
  SavedRegistryKey(const SavedRegistryKey&) = delete;
  SavedRegistryKey& operator=(const SavedRegistryKey&) = delete;

 private:
  HKEY root_;
  std::wstring path_;
  REGSAM view_;
  std::unique_ptr<RegistryTree> saved_;  // null when the key was missing
  std::wstring firstMissing_;            // the ancestor (or the key) to delete then
};

// A key that exists and that nobody may change, as for a user without
// administrator's rights: opening it for writing, setting its values,
// deleting it or its values fail with access denied. (Under Wine a new
// subkey can still be made below it.) Made with its parents where missing;
// the rights come back on destruction, through the handle opened before.
class ReadOnlyKey {
 public:
  ReadOnlyKey(HKEY root, const std::wstring& path, REGSAM view = 0);
  ~ReadOnlyKey();
  ReadOnlyKey(const ReadOnlyKey&) = delete;
  ReadOnlyKey& operator=(const ReadOnlyKey&) = delete;

 private:
  RegistryKey key_;
  std::vector<BYTE> original_;
};

// A key with everything below it as UTF-8 text, one line per key and one
// per value, subkeys and values in name order (regardless of case), so that
// two snapshots of the same content are equal strings whatever order the
// registry enumerates in. A missing key gives the empty string.
//
//   HKCR\.kel
//   HKCR\.kel : @ = REG_SZ "Pelodra"
//   HKCR\.kel\ShellNew
//   HKCR\.kel\ShellNew : FileName = REG_SZ "C:\tests\kelnew.dat"
std::string RegistrySnapshot(HKEY root, const std::wstring& path, REGSAM view = 0);

// The lines of two snapshots that are not in both, each with "-" (only in
// `before`) or "+" (only in `after`) in front; empty when they are equal.
// For readable failures: EXPECT_EQ(SnapshotDifference(a, b), "").
std::string SnapshotDifference(const std::string& before, const std::string& after);
