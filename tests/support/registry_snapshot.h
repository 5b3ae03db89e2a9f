// The real registry in tests: a key tree read into comparable text, a key
// tree kept and put back as it was, and a private stand-in for a hive.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

// Wide text as UTF-8.
std::string Utf8(const std::wstring& text);

// A key with everything below it as UTF-8 text, one line per key and one
// per value, subkeys and values in name order (regardless of case), so that
// two snapshots of the same content are equal strings whatever order the
// registry enumerates in. `view` is 0 or KEY_WOW64_64KEY (KEY_WOW64_32KEY
// also works). A missing key gives the empty string.
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

// Deletes a key with everything below it in the given view; a missing key
// is fine.
void DeleteRegistryKeyTree(HKEY root, const std::wstring& path, REGSAM view = 0);

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
  std::wstring firstMissing_;    // the ancestor (or the key) to delete then
};

// Makes HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE of this process a fresh,
// empty key of the real registry (below the real current user's
// "Software\PelodraTestHives\<name>"), so that tests which write or delete
// the product's settings neither disturb nor see other test programs
// sharing the prefix. Undone, and the key removed, on destruction. The
// registry's 32/64-bit redirection does not apply inside the stand-in.
class PrivateHive {
 public:
  PrivateHive(HKEY predefined, const std::wstring& name);
  ~PrivateHive();
  PrivateHive(const PrivateHive&) = delete;
  PrivateHive& operator=(const PrivateHive&) = delete;

 private:
  HKEY predefined_;
  std::wstring path_;
  HKEY key_ = nullptr;
};
