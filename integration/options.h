// The integration choices (which archive extensions open with the product,
// which shortcuts exist, whether the shell extension is registered), the
// table of archive extensions, and their place in the product's settings.
#pragma once

constexpr unsigned ExtensionRowCount = 18;
// Elements 18 and 19 of Associate only take surplus digits of the setup
// option string; they are never saved or applied.
constexpr unsigned AssociateFlagCount = 20;
// Rows with first-run rules of their own.
constexpr unsigned JarRow = 12;
constexpr unsigned IsoRow = 13;

// One extension with its terminator; the longest in the table has five
// characters.
constexpr unsigned ExtensionChars = 16;
// The settings key of an extension, "Setup\%s".
constexpr unsigned ExtensionSettingsKeyChars = 80;
// Default values of class keys are compared within this many characters.
constexpr unsigned ClassNameChars = 80;

// The order of the fields is the order of the setup option string.
struct IntegrationOptions {
  bool Associate[AssociateFlagCount];  // per ExtensionTable row
  bool Desktop;
  bool StartMenu;
  bool Programs;
  bool ShellExt;
  bool CascadedMenu;
  bool MenuIcons;
};

struct ExtensionRow {
  // One or more extensions, each beginning with a dot, such as ".gz.tgz".
  const wchar_t* extensions;
  // The first of them, which names the row's settings key.
  const wchar_t* keyExtension;
  // The class name the row's extensions are given.
  const wchar_t* progId;
  // The row's check box in the setup dialog.
  int checkBoxId;
};

extern const ExtensionRow ExtensionTable[ExtensionRowCount];
// Every extension of every row.
constexpr unsigned TableExtensionCount = 28;

// The extensions of a row string in their order: the string is cut before
// every dot after its first character.
//   for (RowExtensions e(row.extensions); e.Next();) Use(e.Current());
class RowExtensions {
 public:
  explicit RowExtensions(const wchar_t* row) : rest_(row ? row : L"") {}
  // Moves to the next extension; false when the row is used up.
  bool Next();
  const wchar_t* Current() const { return current_; }

 private:
  const wchar_t* rest_;
  wchar_t current_[ExtensionChars] = {};
};

// "Setup\%s" formed with the extension, into ExtensionSettingsKeyChars.
void FormatExtensionSettingsKey(const wchar_t* extension, wchar_t* key);

// Fills every field from the product's settings, with the first-run
// defaults where a value is missing; ".jar" and ".iso" also depend on who
// owns them in HKEY_CLASSES_ROOT.
void LoadIntegrationOptions(IntegrationOptions& options);
// Writes every saved field; failures are not reported.
void SaveIntegrationOptions(const IntegrationOptions& options);
// True for the product's archive or ZIP class name, in any case.
bool IsProductClass(const wchar_t* className);
// True when the extension's class key names one of the product's classes.
bool IsOwnAssociation(const wchar_t* extension);
