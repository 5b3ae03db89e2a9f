#include "support/test_registry.h"

#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <set>

#include "support/log_lines.h"

struct RegistryTree {
  struct Value {
    std::wstring name;
    DWORD type = REG_NONE;
    std::string data;
  };
  std::wstring name;
  std::vector<Value> values;
  std::vector<RegistryTree> children;
};

namespace {

constexpr DWORD KeyNameChars = 256 + 1;
constexpr DWORD ValueNameChars = 16383 + 1;

}  // namespace

LONG RegistryKey::Open(HKEY root, const std::wstring& path, REGSAM access, REGSAM view) {
  Close();
  return RegOpenKeyExW(root, path.c_str(), 0, access | view, &key_);
}

LONG RegistryKey::Create(HKEY root, const std::wstring& path, REGSAM access, REGSAM view) {
  Close();
  return RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, access | view, nullptr, &key_, nullptr);
}

LONG RegistryKey::OpenCurrentUser(REGSAM access) {
  Close();
  return RegOpenCurrentUser(access, &key_);
}

void RegistryKey::Close() {
  if (key_) RegCloseKey(key_);
  key_ = nullptr;
}

bool RegistryKeyExists(HKEY root, const std::wstring& path, REGSAM view) {
  RegistryKey key;
  return key.Open(root, path, KEY_QUERY_VALUE, view) == ERROR_SUCCESS;
}

std::optional<RegistryData> RegistryValue(HKEY root, const std::wstring& path,
                                          const std::wstring& name, REGSAM view) {
  RegistryKey key;
  if (key.Open(root, path, KEY_QUERY_VALUE, view) != ERROR_SUCCESS) return std::nullopt;
  RegistryData value;
  DWORD size = 0;
  if (RegQueryValueExW(key.Get(), name.c_str(), nullptr, &value.type, nullptr, &size) !=
      ERROR_SUCCESS)
    return std::nullopt;
  value.bytes.assign(size, '\0');
  if (size > 0 &&
      RegQueryValueExW(key.Get(), name.c_str(), nullptr, &value.type,
                       reinterpret_cast<BYTE*>(&value.bytes[0]), &size) != ERROR_SUCCESS)
    return std::nullopt;
  value.bytes.resize(size);
  return value;
}

std::optional<std::wstring> RegistryString(HKEY root, const std::wstring& path,
                                           const std::wstring& name, REGSAM view) {
  std::optional<RegistryData> value = RegistryValue(root, path, name, view);
  if (!value || value->type != REG_SZ) return std::nullopt;
  std::wstring text(value->bytes.size() / sizeof(wchar_t), L'\0');
  if (!text.empty()) memcpy(&text[0], value->bytes.data(), text.size() * sizeof(wchar_t));
  while (!text.empty() && text.back() == 0) text.pop_back();
  return text;
}

std::optional<DWORD> RegistryDword(HKEY root, const std::wstring& path, const std::wstring& name,
                                   REGSAM view) {
  std::optional<RegistryData> value = RegistryValue(root, path, name, view);
  if (!value || value->type != REG_DWORD || value->bytes.size() != sizeof(DWORD))
    return std::nullopt;
  DWORD number = 0;
  memcpy(&number, value->bytes.data(), sizeof number);
  return number;
}

std::vector<std::wstring> RegistryValueNames(HKEY root, const std::wstring& path, REGSAM view) {
  std::vector<std::wstring> names;
  RegistryKey key;
  if (key.Open(root, path, KEY_QUERY_VALUE, view) != ERROR_SUCCESS) return names;
  std::vector<wchar_t> name(ValueNameChars);
  for (DWORD index = 0;; ++index) {
    DWORD length = ValueNameChars;
    if (RegEnumValueW(key.Get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    names.emplace_back(name.data(), length);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool SetRegistryValue(HKEY root, const std::wstring& path, const std::wstring& name, DWORD type,
                      const void* data, size_t size, REGSAM view) {
  RegistryKey key;
  return key.Create(root, path, KEY_SET_VALUE, view) == ERROR_SUCCESS &&
         RegSetValueExW(key.Get(), name.c_str(), 0, type, static_cast<const BYTE*>(data),
                        static_cast<DWORD>(size)) == ERROR_SUCCESS;
}

bool SetRegistryString(HKEY root, const std::wstring& path, const std::wstring& name,
                       const std::wstring& text, REGSAM view) {
  return SetRegistryValue(root, path, name, REG_SZ, text.c_str(),
                          (text.size() + 1) * sizeof(wchar_t), view);
}

bool SetRegistryDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value,
                      REGSAM view) {
  return SetRegistryValue(root, path, name, REG_DWORD, &value, sizeof value, view);
}

bool DeleteRegistryTree(HKEY root, const std::wstring& path, REGSAM view) {
  if (path.empty()) return false;
  RegistryKey key;
  if (key.Open(root, path, KEY_ALL_ACCESS, view) != ERROR_SUCCESS) return false;
  RegDeleteTreeW(key.Get(), nullptr);
  key.Close();
  return RegDeleteKeyExW(root, path.c_str(), view, 0) == ERROR_SUCCESS;
}

namespace {

using NtStatus = LONG;
using NtQueryKeyFunction = NtStatus(NTAPI*)(HANDLE, ULONG, void*, ULONG, ULONG*);
using NtDeleteKeyFunction = NtStatus(NTAPI*)(HANDLE);
constexpr ULONG KeyNameInformation = 3;

template <typename Function>
Function NtdllFunction(const char* name) {
  return reinterpret_cast<Function>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), name)));
}

// The key's name in the registry's own namespace ("\REGISTRY\USER\..."),
// which a link must hold.
std::wstring NativeKeyName(HKEY key) {
  auto query = NtdllFunction<NtQueryKeyFunction>("NtQueryKey");
  std::vector<BYTE> buffer(4096);
  ULONG length = 0;
  if (!query ||
      query(key, KeyNameInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &length) < 0)
    return std::wstring();
  ULONG bytes = *reinterpret_cast<ULONG*>(buffer.data());
  return std::wstring(reinterpret_cast<wchar_t*>(buffer.data() + sizeof(ULONG)),
                      bytes / sizeof(wchar_t));
}

}  // namespace

bool MakeRegistryLink(HKEY root, const std::wstring& path, const std::wstring& target) {
  RegistryKey targetKey;
  if (targetKey.Open(root, target, KEY_QUERY_VALUE) != ERROR_SUCCESS) return false;
  std::wstring name = NativeKeyName(targetKey.Get());
  HKEY link = nullptr;
  if (name.empty() ||
      RegCreateKeyExW(root, path.c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                      KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &link, nullptr) != ERROR_SUCCESS)
    return false;
  LONG set = RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                            reinterpret_cast<const BYTE*>(name.c_str()),
                            static_cast<DWORD>(name.size() * sizeof(wchar_t)));
  RegCloseKey(link);
  return set == ERROR_SUCCESS;
}

void RemoveRegistryLink(HKEY root, const std::wstring& path) {
  HKEY link = nullptr;
  auto deleteKey = NtdllFunction<NtDeleteKeyFunction>("NtDeleteKey");
  if (!deleteKey ||
      RegOpenKeyExW(root, path.c_str(), REG_OPTION_OPEN_LINK, DELETE, &link) != ERROR_SUCCESS)
    return;
  deleteKey(link);
  RegCloseKey(link);
}

void DeleteRegistryKeyIfEmpty(HKEY root, const std::wstring& path, REGSAM view) {
  RegistryKey key;
  if (key.Open(root, path, KEY_READ, view) != ERROR_SUCCESS) return;
  DWORD subkeys = 1, values = 1;
  RegQueryInfoKeyW(key.Get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values,
                   nullptr, nullptr, nullptr, nullptr);
  key.Close();
  if (subkeys == 0 && values == 0) RegDeleteKeyExW(root, path.c_str(), view, 0);
}

void DeleteRegistryValue(HKEY root, const std::wstring& path, const std::wstring& name,
                         REGSAM view) {
  RegistryKey key;
  if (key.Open(root, path, KEY_SET_VALUE, view) == ERROR_SUCCESS)
    RegDeleteValueW(key.Get(), name.c_str());
}

namespace {

bool NameLess(const std::wstring& a, const std::wstring& b) {
  return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                              static_cast<int>(b.size()), TRUE) == CSTR_LESS_THAN;
}

void ReadTree(HKEY key, REGSAM view, RegistryTree& tree) {
  DWORD maxData = 0;
  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                   &maxData, nullptr, nullptr);
  std::vector<wchar_t> name(ValueNameChars);
  for (DWORD index = 0;; ++index) {
    RegistryTree::Value value;
    std::string data(maxData + 2, '\0');
    DWORD nameLength = ValueNameChars;
    DWORD size = static_cast<DWORD>(data.size());
    if (RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &value.type,
                      reinterpret_cast<BYTE*>(&data[0]), &size) != ERROR_SUCCESS)
      break;
    value.name.assign(name.data(), nameLength);
    value.data = data.substr(0, size);
    tree.values.push_back(value);
  }
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = KeyNameChars;
    if (RegEnumKeyExW(key, index, name.data(), &nameLength, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS)
      break;
    RegistryTree child;
    child.name.assign(name.data(), nameLength);
    RegistryKey childKey;
    if (childKey.Open(key, child.name, KEY_READ, view) == ERROR_SUCCESS)
      ReadTree(childKey.Get(), view, child);
    tree.children.push_back(std::move(child));
  }
  std::sort(tree.values.begin(), tree.values.end(),
            [](const auto& a, const auto& b) { return NameLess(a.name, b.name); });
  std::sort(tree.children.begin(), tree.children.end(),
            [](const auto& a, const auto& b) { return NameLess(a.name, b.name); });
}

bool ReadKey(HKEY root, const std::wstring& path, REGSAM view, RegistryTree& tree) {
  RegistryKey key;
  if (key.Open(root, path, KEY_READ, view) != ERROR_SUCCESS) return false;
  ReadTree(key.Get(), view, tree);
  return true;
}

void CreateTree(HKEY root, const std::wstring& path, const RegistryTree& tree, REGSAM view) {
  RegistryKey key;
  if (key.Create(root, path, KEY_ALL_ACCESS, view) != ERROR_SUCCESS) return;
  for (const auto& value : tree.values)
    RegSetValueExW(key.Get(), value.name.c_str(), 0, value.type,
                   reinterpret_cast<const BYTE*>(value.data.data()),
                   static_cast<DWORD>(value.data.size()));
  key.Close();
  for (const auto& child : tree.children) CreateTree(root, path + L"\\" + child.name, child, view);
}

const char* TypeName(DWORD type) {
  switch (type) {
    case REG_SZ:
      return "REG_SZ";
    case REG_EXPAND_SZ:
      return "REG_EXPAND_SZ";
    case REG_MULTI_SZ:
      return "REG_MULTI_SZ";
    case REG_DWORD:
      return "REG_DWORD";
    case REG_BINARY:
      return "REG_BINARY";
    case REG_QWORD:
      return "REG_QWORD";
    default:
      return nullptr;
  }
}

std::string Hex(const std::string& bytes) {
  std::string text;
  char digits[4];
  for (unsigned char byte : bytes) {
    std::snprintf(digits, sizeof digits, text.empty() ? "%02x" : " %02x", byte);
    text += digits;
  }
  return text;
}

// Text values are shown as text (the one terminator they were stored with
// dropped, other zeros and quotes escaped); everything else as its bytes.
std::string ValueText(const RegistryTree::Value& value) {
  std::string text =
      TypeName(value.type) ? TypeName(value.type) : "type " + std::to_string(value.type);
  bool isText = value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ;
  if (isText && value.data.size() % 2 == 0) {
    std::wstring chars(value.data.size() / 2, L'\0');
    if (!chars.empty()) memcpy(&chars[0], value.data.data(), value.data.size());
    if (!chars.empty() && chars.back() == 0) chars.pop_back();
    std::wstring escaped;
    for (wchar_t c : chars) {
      if (c == 0)
        escaped += L"\\0";
      else if (c == L'"')
        escaped += L"\\\"";
      else
        escaped += c;
    }
    return text + " \"" + Utf8(escaped) + "\"";
  }
  if (value.type == REG_DWORD && value.data.size() == 4) {
    DWORD number;
    memcpy(&number, value.data.data(), 4);
    char digits[16];
    std::snprintf(digits, sizeof digits, "0x%08lx", static_cast<unsigned long>(number));
    return text + " " + digits;
  }
  return text + " hex: " + Hex(value.data);
}

void WriteTree(const RegistryTree& tree, const std::string& path, std::string& text) {
  text += path + "\n";
  for (const auto& value : tree.values)
    text += path + " : " + (value.name.empty() ? "@" : Utf8(value.name)) + " = " +
            ValueText(value) + "\n";
  for (const auto& child : tree.children) WriteTree(child, path + "\\" + Utf8(child.name), text);
}

std::string RootName(HKEY root, REGSAM view) {
  std::string name = root == HKEY_CLASSES_ROOT    ? "HKCR"
                     : root == HKEY_CURRENT_USER  ? "HKCU"
                     : root == HKEY_LOCAL_MACHINE ? "HKLM"
                     : root == HKEY_USERS         ? "HKU"
                                                  : "key";
  if (view & KEY_WOW64_64KEY) name += "(64)";
  if (view & KEY_WOW64_32KEY) name += "(32)";
  return name;
}

}  // namespace

SavedRegistryKey::SavedRegistryKey(HKEY root, const std::wstring& path, REGSAM view)
    : root_(root), path_(path), view_(view) {
  auto tree = std::make_unique<RegistryTree>();
  if (ReadKey(root, path, view, *tree)) {
    saved_ = std::move(tree);
    return;
  }
  for (size_t end = path.find(L'\\');; end = path.find(L'\\', end + 1)) {
    std::wstring ancestor = path.substr(0, end);
    if (!RegistryKeyExists(root, ancestor, view)) {
      firstMissing_ = ancestor;
      break;
    }
    if (end == std::wstring::npos) break;
  }
}

SavedRegistryKey::~SavedRegistryKey() {
  if (saved_) {
    DeleteRegistryTree(root_, path_, view_);
    CreateTree(root_, path_, *saved_, view_);
  } else {
    DeleteRegistryTree(root_, firstMissing_, view_);
  }
}

ReadOnlyKey::ReadOnlyKey(HKEY root, const std::wstring& path, REGSAM view) {
  EXPECT_EQ(key_.Create(root, path, KEY_ALL_ACCESS | WRITE_DAC, view), ERROR_SUCCESS);
  DWORD size = 0;
  RegGetKeySecurity(key_.Get(), DACL_SECURITY_INFORMATION, nullptr, &size);
  original_.resize(size);
  EXPECT_EQ(RegGetKeySecurity(key_.Get(), DACL_SECURITY_INFORMATION, original_.data(), &size),
            ERROR_SUCCESS);
  PSECURITY_DESCRIPTOR readOnly = nullptr;
  EXPECT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(
      L"D:P(A;OICI;KR;;;WD)", SDDL_REVISION_1, &readOnly, nullptr));
  EXPECT_EQ(RegSetKeySecurity(key_.Get(), DACL_SECURITY_INFORMATION, readOnly), ERROR_SUCCESS);
  LocalFree(readOnly);
}

ReadOnlyKey::~ReadOnlyKey() {
  if (key_) RegSetKeySecurity(key_.Get(), DACL_SECURITY_INFORMATION, original_.data());
}

std::string RegistrySnapshot(HKEY root, const std::wstring& path, REGSAM view) {
  RegistryTree tree;
  if (!ReadKey(root, path, view, tree)) return {};
  std::string text;
  WriteTree(tree, RootName(root, view) + (path.empty() ? "" : "\\" + Utf8(path)), text);
  return text;
}

std::string SnapshotDifference(const std::string& before, const std::string& after) {
  auto lines = [](const std::string& text) {
    std::multiset<std::string> set;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
      set.insert(text.substr(start, end - start));
    if (start < text.size()) set.insert(text.substr(start));
    return set;
  };
  std::multiset<std::string> old = lines(before), now = lines(after);
  std::string difference;
  for (auto line = old.begin(); line != old.end(); line = old.upper_bound(*line))
    if (now.count(*line) < old.count(*line)) difference += "- " + *line + "\n";
  for (auto line = now.begin(); line != now.end(); line = now.upper_bound(*line))
    if (old.count(*line) < now.count(*line)) difference += "+ " + *line + "\n";
  if (difference.empty() && before != after) difference = "the same lines in another order\n";
  return difference;
}
