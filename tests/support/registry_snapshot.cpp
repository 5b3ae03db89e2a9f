#include "support/registry_snapshot.h"

#include <algorithm>
#include <cstdio>
#include <set>

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
    if (RegEnumKeyExW(key, index, name.data(), &nameLength, nullptr, nullptr, nullptr,
                      nullptr) != ERROR_SUCCESS)
      break;
    RegistryTree child;
    child.name.assign(name.data(), nameLength);
    HKEY childKey = nullptr;
    if (RegOpenKeyExW(key, child.name.c_str(), 0, KEY_READ | view, &childKey) == ERROR_SUCCESS) {
      ReadTree(childKey, view, child);
      RegCloseKey(childKey);
    }
    tree.children.push_back(std::move(child));
  }
  std::sort(tree.values.begin(), tree.values.end(),
            [](const auto& a, const auto& b) { return NameLess(a.name, b.name); });
  std::sort(tree.children.begin(), tree.children.end(),
            [](const auto& a, const auto& b) { return NameLess(a.name, b.name); });
}

bool ReadKey(HKEY root, const std::wstring& path, REGSAM view, RegistryTree& tree) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  ReadTree(key, view, tree);
  RegCloseKey(key);
  return true;
}

const char* TypeName(DWORD type) {
  switch (type) {
    case REG_SZ: return "REG_SZ";
    case REG_EXPAND_SZ: return "REG_EXPAND_SZ";
    case REG_MULTI_SZ: return "REG_MULTI_SZ";
    case REG_DWORD: return "REG_DWORD";
    case REG_BINARY: return "REG_BINARY";
    case REG_QWORD: return "REG_QWORD";
    default: return nullptr;
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
  std::string text = TypeName(value.type) ? TypeName(value.type)
                                          : "type " + std::to_string(value.type);
  bool isText =
      value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ;
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

bool KeyIsThere(HKEY root, const std::wstring& path, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS)
    return false;
  RegCloseKey(key);
  return true;
}

void CreateTree(HKEY root, const std::wstring& path, const RegistryTree& tree, REGSAM view) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return;
  for (const auto& value : tree.values)
    RegSetValueExW(key, value.name.c_str(), 0, value.type,
                   reinterpret_cast<const BYTE*>(value.data.data()),
                   static_cast<DWORD>(value.data.size()));
  RegCloseKey(key);
  for (const auto& child : tree.children) CreateTree(root, path + L"\\" + child.name, child, view);
}

}  // namespace

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                 0, nullptr, nullptr);
  std::string result(size, '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], size,
                      nullptr, nullptr);
  return result;
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

void DeleteRegistryKeyTree(HKEY root, const std::wstring& path, REGSAM view) {
  if (path.empty()) return;
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, path.c_str(), 0, KEY_ALL_ACCESS | view, &key) != ERROR_SUCCESS) return;
  RegDeleteTreeW(key, nullptr);
  RegCloseKey(key);
  RegDeleteKeyExW(root, path.c_str(), view, 0);
}

SavedRegistryKey::SavedRegistryKey(HKEY root, const std::wstring& path, REGSAM view)
    : root_(root), path_(path), view_(view) {
  auto tree = std::make_unique<RegistryTree>();
  if (ReadKey(root, path, view, *tree)) {
    saved_ = std::move(tree);
    return;
  }
  for (size_t end = path.find(L'\\');; end = path.find(L'\\', end + 1)) {
    std::wstring ancestor = path.substr(0, end);
    if (!KeyIsThere(root, ancestor, view)) {
      firstMissing_ = ancestor;
      break;
    }
    if (end == std::wstring::npos) break;
  }
}

SavedRegistryKey::~SavedRegistryKey() {
  if (saved_) {
    DeleteRegistryKeyTree(root_, path_, view_);
    CreateTree(root_, path_, *saved_, view_);
  } else {
    DeleteRegistryKeyTree(root_, firstMissing_, view_);
  }
}

PrivateHive::PrivateHive(HKEY predefined, const std::wstring& name)
    : predefined_(predefined), path_(L"Software\\PelodraTestHives\\" + name) {
  HKEY user = nullptr;
  if (RegOpenCurrentUser(KEY_ALL_ACCESS, &user) != ERROR_SUCCESS) return;
  DeleteRegistryKeyTree(user, path_);
  RegCreateKeyExW(user, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key_, nullptr);
  RegCloseKey(user);
  if (key_) RegOverridePredefKey(predefined_, key_);
}

PrivateHive::~PrivateHive() {
  if (!key_) return;
  RegOverridePredefKey(predefined_, nullptr);
  RegCloseKey(key_);
  HKEY user = nullptr;
  if (RegOpenCurrentUser(KEY_ALL_ACCESS, &user) != ERROR_SUCCESS) return;
  DeleteRegistryKeyTree(user, path_);
  // Fails while other hives are still in use there.
  RegDeleteKeyW(user, L"Software\\PelodraTestHives");
  RegCloseKey(user);
}
