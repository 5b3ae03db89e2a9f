#include "dialogs/dialog_templates.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>

#include "dialog_test_support.h"
#include "localization/language_module.h"

namespace {

struct Resource {
  const void* data = nullptr;
  size_t size = 0;
};

Resource ProgramTemplate(const wchar_t* name) {
  HMODULE program = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(program, name, RT_DIALOG);
  if (!found) return {};
  return {LockResource(LoadResource(program, found)), SizeofResource(program, found)};
}

// A template of the old form with one control, its menu and the control's
// class given as the words the template holds.
std::vector<WORD> OneControl(std::initializer_list<WORD> menu, std::initializer_list<WORD> kind,
                             DWORD style) {
  std::vector<WORD> words = {0, 0x8000, 0, 0, 1, 0, 0, 100, 50};  // WS_POPUP, one control
  words.insert(words.end(), menu);
  words.insert(words.end(), {0, 0});  // the dialog class, no caption
  if (words.size() % 2) words.push_back(0);
  words.insert(words.end(), {static_cast<WORD>(style), static_cast<WORD>(style >> 16), 0, 0});
  words.insert(words.end(), {10, 10, 20, 20, 100});
  words.insert(words.end(), kind);
  words.insert(words.end(), {0xFFFF, 1, 0});  // text: resource 1, no creation data
  return words;
}

bool Sound(const std::vector<WORD>& words) {
  return IsSoundDialogTemplate(words.data(), words.size() * sizeof(WORD));
}

}  // namespace

// The program's own templates pass, and no template cut short of its last
// control does: the system would read the rest past the resource.
TEST(DialogTemplates, SoundTemplatesPassAndNoneCutShortDoes) {
  for (const wchar_t* name : {L"SETUPDLG", L"SETUPCONTEXTITEMS", L"DONEDLG"}) {
    Resource tpl = ProgramTemplate(name);
    ASSERT_NE(tpl.data, nullptr) << name;
    EXPECT_TRUE(IsSoundDialogTemplate(tpl.data, tpl.size)) << name;
    for (size_t size = 0; size < tpl.size; ++size)
      if (IsSoundDialogTemplate(tpl.data, size)) ADD_FAILURE() << name << " cut at " << size;
  }
}

// A menu or a bitmap would be read from the language module without
// bounds; an icon comes from its checked icon groups.
TEST(DialogTemplates, NoMenuAndNoBitmapFromTheModule) {
  const std::initializer_list<WORD> noMenu = {0};
  const std::initializer_list<WORD> staticClass = {0xFFFF, 0x0082};
  EXPECT_TRUE(Sound(OneControl(noMenu, staticClass, SS_ICON)));
  EXPECT_TRUE(Sound(OneControl(noMenu, {0xFFFF, 0x0080}, SS_BITMAP)));  // a button
  EXPECT_FALSE(Sound(OneControl(noMenu, staticClass, SS_BITMAP)));
  EXPECT_FALSE(Sound(OneControl(noMenu, {'S', 't', 'A', 't', 'I', 'c', 0}, SS_BITMAP)));
  // The long s folds into "S" where class names are compared.
  EXPECT_FALSE(Sound(OneControl(noMenu, {0x017F, 't', 'a', 't', 'i', 'c', 0}, SS_BITMAP)));
  EXPECT_TRUE(Sound(OneControl(noMenu, {'S', 't', 'a', 't', 'i', 'c', 's', 0}, SS_BITMAP)));
  EXPECT_FALSE(Sound(OneControl({0xFFFF, 1}, staticClass, SS_ICON)));
  EXPECT_FALSE(Sound(OneControl({'M', 0}, staticClass, SS_ICON)));
}

// The sample module with a done dialog that counts far more controls than
// it holds: its texts are used, that template is the program's.
TEST_F(DialogTest, ATemplateCountingMoreThanItHoldsGivesWayToTheProgramsOwn) {
  LoadSampleLanguageModule(L"damaged\\template");
  EXPECT_EQ(DialogTemplateModule(L"DONEDLG"), ProgramModule());
  LoadSampleLanguageModule(L"");
  EXPECT_EQ(DialogTemplateModule(L"DONEDLG"), ResourceModule());
}
