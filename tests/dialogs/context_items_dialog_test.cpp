#include "dialogs/context_items_dialog.h"

#include <gtest/gtest.h>

#include <string>

#include "base/run_state.h"
#include "dialog_test_support.h"
#include "localization/language_module.h"
#include "resources/resource_ids.h"
#include "settings/settings_store.h"
#include "support/test_files.h"
#include "support/test_registry.h"

namespace {

constexpr wchar_t ItemsKey[] = L"Software\\Pelodra\\Setup\\MenuItems";

class ContextItemsTest : public DialogTest {
 protected:
  HWND Open() { return OpenDialog(L"SETUPCONTEXTITEMS", ContextItemsDialogProc); }
  static void Press(HWND dialog, int id) { SendMessageW(dialog, WM_COMMAND, id, 0); }
};

std::wstring Utf16FileText(const std::string& bytes) {
  if (bytes.size() < 2 || bytes.compare(0, 2, "\xFF\xFE") != 0) return L"";
  return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
}

// Turns on right-to-left reading of the masks before the dialog's own
// start, as a language module's template might.
INT_PTR CALLBACK ReadingRightToLeft(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    HWND edit = GetDlgItem(dialog, IDC_ALWAYS_ARCHIVE);
    SetWindowLongW(edit, GWL_EXSTYLE, GetWindowLongW(edit, GWL_EXSTYLE) | WS_EX_RTLREADING);
  }
  return ContextItemsDialogProc(dialog, message, wParam, lParam);
}

}  // namespace

TEST_F(ContextItemsTest, WithNothingStoredTheDefaultsShowAndOkStoresEveryItem) {
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  for (int id = 101; id <= 117; ++id)
    EXPECT_EQ(IsDlgButtonChecked(dialog, id), id == 111 || id == 112 ? 0u : 1u) << id;
  EXPECT_EQ(TextOf(dialog, IDC_ALWAYS_ARCHIVE), L"*.iso");

  Press(dialog, IDOK);
  const wchar_t* names[] = {L"ExtrTo",  L"ExtrHere", L"Extr",     L"ExtrSep",    L"OpenSFX",
                            L"OpenArc", L"AddTo",    L"AddArc",   L"EmailArc",   L"EmailOpt",
                            L"Test",    L"Convert",  L"SFXLocal", L"SFXNetwork", L"SFXOther",
                            L"DragAdd", L"DragExtr"};
  for (const wchar_t* name : names)
    EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, ItemsKey, name),
              wcscmp(name, L"Test") && wcscmp(name, L"Convert") ? 1u : 0u)
        << name;
  EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, ItemsKey, L"AlwaysArc"), L"*.iso");
  DestroyWindow(dialog);
}

TEST_F(ContextItemsTest, StoredChoicesShowAndChangesAreStoredBoxByBox) {
  ASSERT_TRUE(SetRegistryDword(HKEY_CURRENT_USER, ItemsKey, L"Test", 1));
  ASSERT_TRUE(SetRegistryDword(HKEY_CURRENT_USER, ItemsKey, L"SFXNetwork", 0));
  ASSERT_TRUE(SetRegistryDword(HKEY_CURRENT_USER, ItemsKey, L"DragAdd", 7));
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_ITEM_TEST), BST_CHECKED);
  EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_ITEM_SFX_NETWORK), BST_UNCHECKED);
  EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_ITEM_DRAG_ADD), BST_CHECKED);

  // Rows 12 to 16 sit on boxes out of row order.
  SendDlgItemMessageW(dialog, IDC_ITEM_SFX_OTHER, BM_CLICK, 0, 0);
  SendDlgItemMessageW(dialog, IDC_ITEM_DRAG_EXTRACT, BM_CLICK, 0, 0);
  SetDlgItemTextW(dialog, IDC_ALWAYS_ARCHIVE, L"");
  Press(dialog, IDOK);
  EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, ItemsKey, L"SFXOther"), 0u);
  EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, ItemsKey, L"DragExtr"), 0u);
  EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, ItemsKey, L"SFXLocal"), 1u);
  EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, ItemsKey, L"DragAdd"), 1u);
  DestroyWindow(dialog);

  // An empty list of masks is a choice of its own, not the default.
  EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, ItemsKey, L"AlwaysArc"), L"");
  dialog = Open();
  EXPECT_EQ(TextOf(dialog, IDC_ALWAYS_ARCHIVE), L"");
  DestroyWindow(dialog);
}

TEST_F(ContextItemsTest, CancelStoresNothing) {
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  SendDlgItemMessageW(dialog, IDC_ITEM_EXTRACT_TO, BM_CLICK, 0, 0);
  SetDlgItemTextW(dialog, IDC_ALWAYS_ARCHIVE, L"*.img");
  Press(dialog, IDCANCEL);
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, L"Software\\Pelodra"));
  DestroyWindow(dialog);
}

TEST_F(ContextItemsTest, MasksLongerThanTheStoreTakesCannotBeTyped) {
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_ALWAYS_ARCHIVE, EM_GETLIMITTEXT, 0, 0),
            static_cast<LRESULT>(AlwaysArchiveChars - 1));
  std::wstring masks(AlwaysArchiveChars + 10, L'x');
  SetDlgItemTextW(dialog, IDC_ALWAYS_ARCHIVE, masks.c_str());
  Press(dialog, IDOK);
  EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, ItemsKey, L"AlwaysArc"),
            masks.substr(0, AlwaysArchiveChars - 1));
  DestroyWindow(dialog);
}

// The shell extension reads the settings file while setup still runs.
TEST_F(ContextItemsTest, ASettingsFileIsRewrittenAtOnce) {
  std::wstring ini = folder_ + L"\\Pelodra.ini";
  ASSERT_TRUE(WriteBytes(ini, "HKCU\\Setup\\MenuItems\\Convert=1\r\n"));
  HWND dialog = Open();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_ITEM_CONVERT), BST_CHECKED);
  SetDlgItemTextW(dialog, IDC_ALWAYS_ARCHIVE, L"*.img;*.iso");
  Press(dialog, IDOK);
  DestroyWindow(dialog);

  std::wstring text = Utf16FileText(ReadBytes(ini));
  EXPECT_NE(text.find(L"HKCU\\Setup\\MenuItems\\Convert=1\r\n"), std::wstring::npos);
  EXPECT_NE(text.find(L"HKCU\\Setup\\MenuItems\\ExtrTo=1\r\n"), std::wstring::npos);
  EXPECT_NE(text.find(L"HKCU\\Setup\\MenuItems\\Test=0\r\n"), std::wstring::npos);
  EXPECT_NE(text.find(L"HKCU\\Setup\\MenuItems\\AlwaysArc=\"*.img;*.iso\"\r\n"), std::wstring::npos)
      << text.c_str();
  EXPECT_FALSE(RegistryKeyExists(HKEY_CURRENT_USER, L"Software\\Pelodra"));
}

TEST_F(ContextItemsTest, MasksReadLeftToRightInARightToLeftLanguage) {
  SetRightToLeft(true);
  HWND dialog = OpenDialog(L"SETUPCONTEXTITEMS", ReadingRightToLeft);
  SetRightToLeft(false);
  ASSERT_NE(dialog, nullptr);
  EXPECT_FALSE(GetWindowLongW(GetDlgItem(dialog, IDC_ALWAYS_ARCHIVE), GWL_EXSTYLE) &
               WS_EX_RTLREADING);
  EXPECT_TRUE(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
  DestroyWindow(dialog);

  dialog = OpenDialog(L"SETUPCONTEXTITEMS", ReadingRightToLeft);
  EXPECT_TRUE(GetWindowLongW(GetDlgItem(dialog, IDC_ALWAYS_ARCHIVE), GWL_EXSTYLE) &
              WS_EX_RTLREADING);
  DestroyWindow(dialog);
}

// The hostile language module's template holds one box and no masks: OK
// stores that box, and the settings it shows no control for stay.
TEST_F(ContextItemsTest, ATemplateLackingControlsStoresOnlyWhatItShows) {
  ASSERT_TRUE(SetRegistryDword(HKEY_CURRENT_USER, ItemsKey, L"ExtrTo", 0));
  ASSERT_TRUE(SetRegistryDword(HKEY_CURRENT_USER, ItemsKey, L"ExtrHere", 0));
  const wchar_t masks[] = L"*.cab;*.img";
  ASSERT_TRUE(SetRegistryString(HKEY_CURRENT_USER, ItemsKey, L"AlwaysArc", masks));
  LoadSampleLanguageModule(L"hostile");
  HWND dialog = CreateDialogParamW(ResourceModule(), L"SETUPCONTEXTITEMS", nullptr,
                                   ContextItemsDialogProc, 0);
  ASSERT_NE(dialog, nullptr);
  ASSERT_EQ(GetDlgItem(dialog, IDC_ALWAYS_ARCHIVE), nullptr);
  EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_ITEM_EXTRACT_HERE), BST_UNCHECKED);
  SendDlgItemMessageW(dialog, IDC_ITEM_EXTRACT_HERE, BM_CLICK, 0, 0);
  Press(dialog, IDOK);
  DestroyWindow(dialog);

  EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, ItemsKey, L"ExtrHere"), 1u);
  EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, ItemsKey, L"ExtrTo"), 0u);
  EXPECT_FALSE(RegistryDword(HKEY_CURRENT_USER, ItemsKey, L"Test"));
  EXPECT_EQ(RegistryString(HKEY_CURRENT_USER, ItemsKey, L"AlwaysArc"), masks);
}
