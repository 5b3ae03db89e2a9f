// A key that exists and that nobody may change, as for a user without
// administrator's rights: opening it for writing, setting its values,
// deleting it or its values fail with access denied. (Under Wine a new
// subkey can still be made below it.)
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class ReadOnlyKey {
 public:
  // Makes the key (and its parents) when missing. `view` is 0 or
  // KEY_WOW64_64KEY.
  ReadOnlyKey(HKEY root, const std::wstring& path, REGSAM view = 0);
  // Gives the rights back through the handle opened before.
  ~ReadOnlyKey();
  ReadOnlyKey(const ReadOnlyKey&) = delete;
  ReadOnlyKey& operator=(const ReadOnlyKey&) = delete;

 private:
  HKEY key_ = nullptr;
  std::vector<BYTE> original_;
};
