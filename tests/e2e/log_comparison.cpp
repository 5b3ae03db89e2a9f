#include "e2e/log_comparison.h"

#include <windows.h>

#include <algorithm>
#include <map>
#include <set>
#include <sstream>

#include "support/test_registry.h"

namespace {

const char* const MadeFiles[] = {"shortcut made", "folder made", "file written",
                                 "settings file copied", "settings file written"};
// The batch file takes the program and its folder once the run has ended;
// a file scheduled for the restart goes at the restart.
const char* const RemovedFiles[] = {"deleted",
                                    "shortcut removed",
                                    "folder removed",
                                    "settings file deleted",
                                    "handed to the batch file",
                                    "scheduled for restart"};

bool IsOneOf(const std::string& what, const char* const* kinds, size_t count) {
  for (size_t i = 0; i < count; ++i)
    if (what == kinds[i]) return true;
  return false;
}

bool IsMadeFile(const std::string& what) { return IsOneOf(what, MadeFiles, std::size(MadeFiles)); }
bool IsRemovedFile(const std::string& what) {
  return IsOneOf(what, RemovedFiles, std::size(RemovedFiles));
}
bool IsRegistryEvent(const std::string& what) { return what.rfind("registry ", 0) == 0; }

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return static_cast<char>(tolower(static_cast<unsigned char>(c))); });
  return text;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool IsBelow(const std::string& key, const std::string& ancestor) {
  return key.size() > ancestor.size() && StartsWith(key, ancestor) && key[ancestor.size()] == '\\';
}

// A registry name as the log writes it: "HKCR\key (64-bit view) : value".
struct RegistryName {
  std::string key;    // lower case, hive first
  std::string value;  // lower case; "(default)" for the default value
  bool isValue = false;
  int view = 0;                      // 0 without a view (one view only), else 32 or 64
  std::string shownKey, shownValue;  // as written
};

RegistryName ParseLogged(const std::string& where) {
  RegistryName name;
  size_t colon = where.find(" : ");
  std::string key = where.substr(0, colon);
  name.isValue = colon != std::string::npos;
  if (name.isValue) name.shownValue = where.substr(colon + 3);
  for (int view : {32, 64}) {
    std::string marker = " (" + std::to_string(view) + "-bit view)";
    if (key.size() > marker.size() &&
        key.compare(key.size() - marker.size(), marker.size(), marker) == 0) {
      key.erase(key.size() - marker.size());
      name.view = view;
    }
  }
  name.shownKey = key;
  name.key = Lower(key);
  name.value = Lower(name.shownValue);
  return name;
}

// A snapshot line: "HKCR(64)\key" or "HKCR\key : name = REG_SZ ...", the
// default value's name shown as "@".
RegistryName ParseSnapshot(const std::string& line) {
  RegistryName name;
  size_t colon = line.find(" : ");
  std::string key = line.substr(0, colon);
  if (colon != std::string::npos) {
    name.isValue = true;
    std::string value = line.substr(colon + 3, line.find(" = ", colon + 3) - colon - 3);
    name.value = Lower(value == "@" ? "(default)" : value);
  }
  size_t view = key.find("(64)");
  if (view != std::string::npos && view < key.find('\\')) {
    key.erase(view, 4);
    name.view = 64;
  }
  name.key = Lower(key);
  return name;
}

bool IsRegistryLine(const std::string& line) {
  return StartsWith(line, "HKCR") || StartsWith(line, "HKCU") || StartsWith(line, "HKLM");
}

bool Accounts(const LogLine& logged, char sign, const RegistryName& changed, bool anyView,
              bool wow64) {
  if (logged.result != "done" || !IsRegistryEvent(logged.what)) return false;
  RegistryName name = ParseLogged(logged.where);
  int wanted = !wow64 ? 0 : changed.view == 64 ? 64 : 32;
  if (!anyView && name.view != wanted) return false;
  if (changed.isValue) {
    bool valueEvent = logged.what == "registry set" || logged.what == "registry deleted";
    if (valueEvent && name.isValue && name.key == changed.key && name.value == changed.value)
      return true;
    return sign == '-' && logged.what == "registry key deleted" && name.key == changed.key;
  }
  if (sign == '-') return logged.what == "registry key deleted" && name.key == changed.key;
  return logged.what != "registry key deleted" && logged.what != "registry deleted" &&
         (name.key == changed.key || IsBelow(name.key, changed.key));
}

std::wstring Wide(const std::string& text) {
  int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(size > 0 ? size - 1 : 0, L'\0');
  if (size > 1) MultiByteToWideChar(CP_UTF8, 0, text.c_str(), -1, &wide[0], size);
  return wide;
}

HKEY Hive(const std::string& key) {
  if (StartsWith(key, "HKCR")) return HKEY_CLASSES_ROOT;
  if (StartsWith(key, "HKCU")) return HKEY_CURRENT_USER;
  return HKEY_LOCAL_MACHINE;
}

// Whether the key, or its value when `value` is given, is there now.
bool RegistryShows(const RegistryName& name) {
  REGSAM view = name.view == 64 ? KEY_WOW64_64KEY : 0;
  std::wstring path = Wide(name.shownKey.substr(name.shownKey.find('\\') + 1));
  if (!name.isValue) return RegistryKeyExists(Hive(name.shownKey), path, view);
  std::wstring value = name.shownValue == "(default)" ? L"" : Wide(name.shownValue);
  return RegistryValue(Hive(name.shownKey), path, value, view).has_value();
}

// The state a log leaves a key or value in, by its last change.
struct Expected {
  RegistryName name;
  bool there;
};

std::string ItemKey(const RegistryName& name) {
  return std::to_string(name.view) + "|" + name.key + (name.isValue ? "|" + name.value : "");
}

}  // namespace

std::string UnloggedChanges(const std::string& difference, const std::vector<LogLine>& log,
                            bool wow64) {
  std::set<std::string> changed;
  std::istringstream lines(difference);
  for (std::string line; std::getline(lines, line);) changed.insert(line);
  std::string unlogged;
  for (const std::string& line : changed) {
    if (line.size() < 3) continue;
    char sign = line[0];
    std::string text = line.substr(2);
    bool found = false;
    if (IsRegistryLine(text)) {
      RegistryName name = ParseSnapshot(text);
      // The same change in the other view: a key both views share.
      std::string other = text;
      if (name.view == 64)
        other.erase(4, 4);
      else
        other.insert(4, "(64)");
      bool anyView = changed.count(line.substr(0, 2) + other) != 0;
      for (const LogLine& logged : log)
        if ((found = Accounts(logged, sign, name, anyView, wow64))) break;
    } else {
      for (const LogLine& logged : log) {
        bool kind = sign == '+' ? IsMadeFile(logged.what) : IsRemovedFile(logged.what);
        if ((found = kind && logged.result == "done" && Lower(logged.where) == Lower(text))) break;
      }
    }
    if (!found) unlogged += line + "\n";
  }
  return unlogged;
}

std::string UnseenChanges(const std::vector<LogLine>& log) {
  std::map<std::string, Expected> registry;
  std::map<std::string, std::pair<std::string, bool>> files;
  auto mark = [&](const RegistryName& name, bool there) {
    registry[ItemKey(name)] = {name, there};
  };
  for (const LogLine& logged : log) {
    if (logged.result != "done") continue;
    if (IsMadeFile(logged.what) || IsRemovedFile(logged.what)) {
      files[Lower(logged.where)] = {logged.where, IsMadeFile(logged.what)};
      continue;
    }
    if (!IsRegistryEvent(logged.what)) continue;
    RegistryName name = ParseLogged(logged.where);
    if (logged.what == "registry key deleted") {
      // Its values and whatever was below it went with it.
      for (auto& item : registry)
        if (item.second.name.view == name.view &&
            (item.second.name.key == name.key || IsBelow(item.second.name.key, name.key)))
          item.second.there = false;
      mark(name, false);
      continue;
    }
    mark(name, logged.what != "registry deleted");
    if (logged.what == "registry deleted") continue;
    // A value set or a key made: its key and those above it are there.
    RegistryName key = name;
    key.isValue = false;
    key.value.clear();
    key.shownValue.clear();
    for (size_t cut = key.shownKey.size(); cut != std::string::npos && cut > 4;
         cut = key.shownKey.rfind('\\', cut - 1)) {
      RegistryName ancestor = key;
      ancestor.shownKey = key.shownKey.substr(0, cut);
      ancestor.key = Lower(ancestor.shownKey);
      mark(ancestor, true);
    }
  }
  std::string unseen;
  for (const auto& item : registry)
    if (RegistryShows(item.second.name) != item.second.there)
      unseen += (item.second.there ? "missing: " : "still there: ") + item.first + "\n";
  for (const auto& file : files) {
    bool there = GetFileAttributesW((L"\\\\?\\" + Wide(file.second.first)).c_str()) !=
                 INVALID_FILE_ATTRIBUTES;
    if (there != file.second.second)
      unseen += (file.second.second ? "missing: " : "still there: ") + file.second.first + "\n";
  }
  return unseen;
}
