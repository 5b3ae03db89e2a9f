#include "localization/dialog_localization.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/run_state.h"
#include "dialog_template.h"
#include "language_test_support.h"

namespace {

constexpr wchar_t Name[] = L"TESTDLG";
constexpr WORD TextId = 100, EmptyId = 101, DropDownId = 102, SimpleId = 103;

INT_PTR CALLBACK Localized(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_SETFONT) ApplyRightToLeft(dialog);
  if (message == WM_INITDIALOG) LocalizeDialog(dialog, reinterpret_cast<const wchar_t*>(lParam));
  return message == WM_INITDIALOG;
}

DialogTemplate Sample(DWORD style) {
  DialogTemplate tpl(style | DS_MODALFRAME | WS_POPUP | WS_CAPTION, L"Caption", 200, 120);
  tpl.Add(ControlClass::Static, TextId, L"Hello", 10, 10, 80, 10)
      .Add(ControlClass::Static, EmptyId, L"", 10, 30, 80, 10)
      .Add(ControlClass::ComboBox, DropDownId, L"", 10, 50, 80, 60, CBS_DROPDOWNLIST)
      .Add(ControlClass::ComboBox, SimpleId, L"", 100, 50, 80, 40, CBS_SIMPLE)
      .Add(ControlClass::Button, IDOK, L"OK", 140, 100, 50, 14);
  return tpl;
}

struct Geometry {
  RECT window;
  RECT client;
  std::vector<RECT> places;  // the controls in template order
  RECT droppedList;
};

Geometry Measure(HWND dialog) {
  Geometry g;
  GetWindowRect(dialog, &g.window);
  GetClientRect(dialog, &g.client);
  for (WORD id : {TextId, EmptyId, DropDownId, SimpleId, WORD(IDOK)})
    g.places.push_back(ChildPlace(dialog, GetDlgItem(dialog, id)));
  SendDlgItemMessageW(dialog, DropDownId, CB_GETDROPPEDCONTROLRECT, 0,
                      reinterpret_cast<LPARAM>(&g.droppedList));
  return g;
}

Geometry MeasureSample(DWORD style) {
  HWND dialog = CreateTestDialog(Sample(style), Localized, Name);
  EXPECT_NE(dialog, nullptr);
  Geometry g = Measure(dialog);
  DestroyWindow(dialog);
  return g;
}

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

std::wstring SizeEntry(const wchar_t* value) {
  return KeyOf(L"", TextKind::DialogText, Name) + L"=\"" + value + L"\"\r\n";
}

class DialogLocalizationTest : public ::testing::Test {
 protected:
  void TearDown() override { ResetLanguageFileForTesting(); }
};

}  // namespace

TEST_F(DialogLocalizationTest, SizeEntriesAreReadAsWidthAsteriskHeight) {
  int sx = 0, sy = 0;
  EXPECT_FALSE(GetDialogScale(Name, sx, sy));
  EXPECT_EQ(sx, 100);
  EXPECT_EQ(sy, 100);
  const std::pair<const wchar_t*, std::pair<int, int>> cases[] = {
      {L"120*110", {120, 110}}, {L"100*100", {100, 100}}, {L"150", {100, 100}}, {L"-5*x", {-5, 0}}};
  for (const auto& c : cases) {
    LoadSection(std::wstring(Marker) + L"\r\n" + SizeEntry(c.first));
    bool expected = c.second != std::make_pair(100, 100);
    EXPECT_EQ(GetDialogScale(Name, sx, sy), expected) << c.first;
    EXPECT_EQ(std::make_pair(sx, sy), c.second) << c.first;
  }
}

TEST_F(DialogLocalizationTest, TextsAreTranslatedInTheDialogsContextAndNothingMovesAt100) {
  Geometry before = MeasureSample(0);
  LoadSection(std::wstring(Marker) + L"\r\n" + SizeEntry(L"100*100") +
              KeyOf(L"Caption", TextKind::DialogText, Name) + L"=\"Titel\"\r\n" +
              KeyOf(L"Hello", TextKind::DialogText, Name) + L"=\"Hallo\"\r\n" +
              KeyOf(L"OK", TextKind::DialogText, L"OTHERDLG") + L"=\"Jawohl\"\r\n");
  HWND dialog = CreateTestDialog(Sample(0), Localized, Name);
  ASSERT_NE(dialog, nullptr);
  wchar_t text[64];
  GetWindowTextW(dialog, text, 64);
  EXPECT_STREQ(text, L"Titel");
  GetDlgItemTextW(dialog, TextId, text, 64);
  EXPECT_STREQ(text, L"Hallo");
  GetDlgItemTextW(dialog, IDOK, text, 64);
  EXPECT_STREQ(text, L"OK");
  // An empty text keeps clear of the size entry, whose key is that of an
  // empty text.
  GetDlgItemTextW(dialog, EmptyId, text, 64);
  EXPECT_STREQ(text, L"");
  Geometry after = Measure(dialog);
  DestroyWindow(dialog);
  EXPECT_TRUE(EqualRect(&before.window, &after.window));
  for (size_t i = 0; i < before.places.size(); ++i)
    EXPECT_TRUE(EqualRect(&before.places[i], &after.places[i])) << i;
}

TEST_F(DialogLocalizationTest, ASizeEntryScalesTheDialogAndEveryControl) {
  for (DWORD style : {DWORD(0), DWORD(DS_CENTER)}) {
    ResetLanguageFileForTesting();
    Geometry before = MeasureSample(style);
    LoadSection(std::wstring(Marker) + L"\r\n" + SizeEntry(L"120*110"));
    Geometry after = MeasureSample(style);
    SCOPED_TRACE(style ? "centred" : "not centred");

    // The frame is measured one pixel wide (right edge and left edge both
    // counted), which the client area keeps.
    EXPECT_NEAR(after.client.right, before.client.right * 120 / 100, 1);
    EXPECT_NEAR(after.client.bottom, before.client.bottom * 110 / 100, 1);
    if (style & DS_CENTER) {
      EXPECT_NEAR(after.window.left + after.window.right, before.window.left + before.window.right,
                  2);
      EXPECT_NEAR(after.window.top + after.window.bottom, before.window.top + before.window.bottom,
                  2);
    } else {
      EXPECT_EQ(after.window.left, before.window.left);
      EXPECT_EQ(after.window.top, before.window.top);
    }
    // Places and sizes follow within the rounding of the frame measures.
    for (size_t i : {0u, 1u, 4u}) {
      const RECT& b = before.places[i];
      const RECT& a = after.places[i];
      EXPECT_NEAR(a.left, b.left * 120 / 100, 2) << i;
      EXPECT_NEAR(a.top, b.top * 110 / 100, 2) << i;
      EXPECT_NEAR(Width(a), Width(b) * 120 / 100, 2) << i;
      EXPECT_NEAR(Height(a), Height(b) * 110 / 100, 2) << i;
    }
    // A drop-down combo box is given the scaled height of its closed part
    // plus that of its list (Wine reports the list below the closed part);
    // the simple combo box is scaled as it stands.
    int closed = Height(before.places[2]) + 1;
    int list = Height(before.droppedList) + 1;
    EXPECT_NEAR(Height(after.places[2]) + Height(after.droppedList),
                closed * 110 / 100 + list * 110 / 100, 2);
    EXPECT_NEAR(Height(after.places[3]), Height(before.places[3]) * 110 / 100, 2);
  }
}

TEST_F(DialogLocalizationTest, ChildrenBeyondThe512thKeepTheirTexts) {
  DialogTemplate tpl(WS_POPUP, L"Many", 300, 300);
  for (WORD i = 0; i < 520; ++i) tpl.Add(ControlClass::Static, WORD(1000 + i), L"x", 0, 0, 5, 5);
  LoadSection(std::wstring(Marker) + L"\r\n" + KeyOf(L"x", TextKind::DialogText, Name) +
              L"=\"y\"\r\n");
  HWND dialog = CreateTestDialog(tpl, Localized, Name);
  ASSERT_NE(dialog, nullptr);
  wchar_t text[8];
  GetDlgItemTextW(dialog, 1000 + 511, text, 8);
  EXPECT_STREQ(text, L"y");
  GetDlgItemTextW(dialog, 1000 + 512, text, 8);
  EXPECT_STREQ(text, L"x");
  DestroyWindow(dialog);
}

TEST_F(DialogLocalizationTest, RightToLeftMirrorsAndScalingKeepsTheMirroredPlaces) {
  HWND plain = CreateTestDialog(Sample(0), Localized, Name);
  EXPECT_FALSE(GetWindowLongW(plain, GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
  DestroyWindow(plain);

  SetRightToLeft(true);
  Geometry before = MeasureSample(0);
  LoadSection(std::wstring(Marker) + L"\r\n" + SizeEntry(L"120*110"));
  HWND dialog = CreateTestDialog(Sample(0), Localized, Name);
  EXPECT_TRUE(GetWindowLongW(dialog, GWL_EXSTYLE) & WS_EX_LAYOUTRTL);
  Geometry after = Measure(dialog);
  DestroyWindow(dialog);
  SetRightToLeft(false);

  // The text control sits at the right side of a mirrored dialog, and stays
  // there in proportion when the dialog grows.
  int gapBefore = before.client.right - before.places[0].right;
  int gapAfter = after.client.right - after.places[0].right;
  EXPECT_LT(gapBefore, before.client.right / 4);
  EXPECT_NEAR(gapAfter, gapBefore * 120 / 100, 2);
}

TEST_F(DialogLocalizationTest, AbsurdPercentagesLeaveAUsableDialog) {
  for (const wchar_t* entry : {L"999999999*999999999", L"-400*0", L"0*-2147483648"}) {
    LoadSection(std::wstring(Marker) + L"\r\n" + SizeEntry(entry));
    HWND dialog = CreateTestDialog(Sample(DS_CENTER), Localized, Name);
    ASSERT_NE(dialog, nullptr) << entry;
    RECT client;
    EXPECT_TRUE(GetClientRect(dialog, &client));
    EXPECT_LE(client.right, 32767 + 100);
    DestroyWindow(dialog);
  }
}
