// The setup dialogs in other languages: the sample language file that
// translates and widens them, a right-to-left language module that lacks
// the dialogs, a language module built to break the program, and a
// translated licence that the done dialog opens.
#include <gtest/gtest.h>

#include <string>

#include "setup_test_support.h"
#include "support/current_folder.h"
#include "support/e2e.h"
#include "support/test_files.h"
#include "support/test_registry.h"

namespace {

const std::wstring ProductKey = L"Software\\Pelodra";

// The samples that the build makes beside the program under test.
std::wstring Sample(const std::wstring& name) {
  wchar_t program[MAX_PATH * 4] = {};
  GetEnvironmentVariableW(L"UNINSTALL_EXE", program, MAX_PATH * 4);
  std::wstring path = program;
  return path.substr(0, path.rfind(L'\\')) + L"\\samples\\" + name;
}

struct Shape {
  double aspect = 0;  // client width / client height
  bool mirrored = false;
  bool okRightOfCancel = false;
};

Shape ShapeOf(HWND dialog) {
  Shape shape;
  RECT client{};
  GetClientRect(dialog, &client);
  shape.aspect = static_cast<double>(client.right) / client.bottom;
  shape.mirrored = (ExtendedStyleOf(dialog) & WS_EX_LAYOUTRTL) != 0;
  shape.okRightOfCancel = ControlRect(dialog, IDOK).left > ControlRect(dialog, IDCANCEL).left;
  return shape;
}

class SetupLanguage : public ::testing::Test {
 protected:
  void SetUp() override {
    DeleteRegistryTree(HKEY_CURRENT_USER, ProductKey);
    product_ = MakeInstallation(L"Pelodra setup language");
  }
  void TearDown() override {
    DeleteRegistryTree(HKEY_CURRENT_USER, ProductKey);
    RemoveTree(product_.folder);
  }

  // Opens the setup dialog, lets `look` see it, and cancels it.
  void LookAndCancel(const std::function<void(DWORD, HWND)>& look) {
    RunResult run = RunProgram(product_.exe, L"/setup", {}, 60000, [&](DWORD process) {
      HWND dialog = WaitForDialogWith(process, IDC_EXPLANATION, 30000);
      ASSERT_NE(dialog, nullptr) << "no setup dialog";
      look(process, dialog);
      ClickButton(dialog, IDCANCEL);
    });
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(run.exitCode, 1u);
  }

  SetupTraces traces_;
  Installation product_;
};

// A recorder in place of the program that opens one kind of document: it
// writes the path it was given into a file.
class OpenRecorder {
 public:
  OpenRecorder(const wchar_t* extension, const std::wstring& record)
      : extension_(extension),
        type_(L"PelodraTestRecorder" + extension_),
        record_(record),
        keptExtension_(HKEY_CLASSES_ROOT, extension_),
        keptType_(HKEY_CLASSES_ROOT, type_) {
    std::wstring command = L"C:\\windows\\system32\\cmd.exe /c echo %1>" + record_;
    SetDefault(extension_, type_);
    SetDefault(type_ + L"\\shell\\open\\command", command);
    DeleteFileW(record_.c_str());
  }
  ~OpenRecorder() { DeleteFileW(record_.c_str()); }

  // What the recorder was given, waited for.
  std::string Opened(DWORD timeoutMs) const {
    DWORD start = GetTickCount();
    std::string text;
    while ((text = ReadBytes(record_)).empty() && GetTickCount() - start < timeoutMs) Sleep(100);
    return text;
  }

 private:
  static void SetDefault(const std::wstring& key, const std::wstring& value) {
    ASSERT_TRUE(SetRegistryString(HKEY_CLASSES_ROOT, key, L"", value));
  }

  std::wstring extension_;
  std::wstring type_;
  std::wstring record_;
  SavedRegistryKey keptExtension_;
  SavedRegistryKey keptType_;
};

// What the done dialog's licence and order buttons opened.
struct OpenedFromDone {
  RunResult run;
  std::string licence;
  std::string order;
  std::wstring folderShown;
};

// Sets up, then presses the done dialog's licence and order buttons.
OpenedFromDone SetUpAndOpenBoth(const std::wstring& exe) {
  OpenRecorder texts(L".txt", L"C:\\tests\\opened-txt.txt");
  OpenRecorder pages(L".htm", L"C:\\tests\\opened-htm.txt");
  OpenedFromDone opened;
  opened.run = RunProgram(exe, L"/setup /noexplorer", {}, 90000, [&](DWORD process) {
    HWND dialog = WaitForDialogWith(process, IDC_EXPLANATION, 30000);
    ASSERT_NE(dialog, nullptr) << "no setup dialog";
    ClickButton(dialog, IDOK);
    HWND done = WaitForDialogWhere(process, IsDoneDialog, 30000);
    ASSERT_NE(done, nullptr) << "no done dialog";
    ClickButton(done, IDC_DONE_LICENSE);
    opened.licence = texts.Opened(30000);
    ClickButton(done, IDC_DONE_DOCUMENT);
    opened.order = pages.Opened(30000);
    CloseDoneDialogs(process, &opened.folderShown);
  });
  return opened;
}

}  // namespace

TEST_F(SetupLanguage, TheSampleLanguageFileTranslatesAndWidensTheDialog) {
  Shape english;
  LookAndCancel([&](DWORD, HWND dialog) { english = ShapeOf(dialog); });

  ASSERT_TRUE(CopyFileW(Sample(L"uninstall.lng").c_str(),
                        (product_.folder + L"\\uninstall.lng").c_str(), FALSE));
  Shape german;
  std::wstring cancel, explanation, itemsCancel;
  LookAndCancel([&](DWORD process, HWND dialog) {
    german = ShapeOf(dialog);
    cancel = ControlText(dialog, IDCANCEL);
    explanation = ControlText(dialog, IDC_EXPLANATION);
    ClickButton(dialog, IDC_CONTEXT_ITEMS);
    HWND items = WaitForDialogWith(process, IDC_ALWAYS_ARCHIVE, 30000);
    ASSERT_NE(items, nullptr) << "no context menu items dialog";
    itemsCancel = ControlText(items, IDCANCEL);
    ClickButton(items, IDCANCEL);
    ASSERT_NE(WaitForDialogWhere(process, IsSetupDialogInFront, 30000), nullptr);
  });
  EXPECT_EQ(cancel, L"Abbrechen");
  EXPECT_EQ(itemsCancel, L"Abbrechen");
  EXPECT_NE(explanation.find(L"W\u00e4hlen Sie die Archivtypen"), std::wstring::npos)
      << explanation.c_str();
  // The sample's size entry makes the dialog 10 % wider and as tall.
  EXPECT_NEAR(german.aspect / english.aspect, 1.10, 0.02);
  EXPECT_FALSE(german.mirrored);
}

// The sample module of a right-to-left language holds no dialogs: the
// program's own come up, mirrored, with file masks still read left to right.
TEST_F(SetupLanguage, ARightToLeftLanguageMirrorsTheDialogs) {
  ASSERT_TRUE(CopyFileW(Sample(L"rtl\\kellng.dll").c_str(),
                        (product_.folder + L"\\kellng.dll").c_str(), FALSE));
  Shape setup, items;
  LONG masksStyle = 0;
  LookAndCancel([&](DWORD process, HWND dialog) {
    setup = ShapeOf(dialog);
    ClickButton(dialog, IDC_CONTEXT_ITEMS);
    HWND itemsDialog = WaitForDialogWith(process, IDC_ALWAYS_ARCHIVE, 30000);
    ASSERT_NE(itemsDialog, nullptr) << "no context menu items dialog";
    items = ShapeOf(itemsDialog);
    masksStyle = ExtendedStyleOf(GetDlgItem(itemsDialog, IDC_ALWAYS_ARCHIVE));
    ClickButton(itemsDialog, IDCANCEL);
    ASSERT_NE(WaitForDialogWhere(process, IsSetupDialogInFront, 30000), nullptr);
  });
  EXPECT_TRUE(setup.mirrored);
  EXPECT_TRUE(setup.okRightOfCancel);
  EXPECT_TRUE(items.mirrored);
  EXPECT_TRUE(items.okRightOfCancel);
  EXPECT_FALSE(masksStyle & WS_EX_RTLREADING);
}

// The hostile sample's texts overrun their block, its setup template lacks
// most boxes, its done dialog cannot be made and its icon is broken: a
// silent setup still ends well and keeps what the template shows no box for.
TEST_F(SetupLanguage, AHostileLanguageModuleStillLetsASilentSetupFinish) {
  ASSERT_TRUE(CopyFileW(Sample(L"hostile\\kellng.dll").c_str(),
                        (product_.folder + L"\\kellng.dll").c_str(), FALSE));
  ASSERT_TRUE(SetRegistryDword(HKEY_CURRENT_USER, ProductKey + L"\\Setup", L"CascadedMenu", 1));
  RunResult run = RunProgram(product_.exe, L"/setup /S /noexplorer", {}, 90000);
  ASSERT_TRUE(run.finished);
  EXPECT_EQ(run.exitCode, 0u);
  EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, ProductKey + L"\\Setup", L"CascadedMenu"), 1u);
  EXPECT_EQ(RegistryDword(HKEY_CURRENT_USER, ProductKey + L"\\Setup", L"MenuIcons"), 1u);
}

// The licence of the language folder is preferred to the one of the
// current folder; the other document is opened as its message names it.
// Asked not to, the run opens no program group at the end.
TEST_F(SetupLanguage, TheDoneDialogOpensTheTranslatedLicence) {
  std::wstring lang = FreshFolder(L"language");
  WriteBytes(lang + L"\\license.txt", "Lizenz");
  WriteBytes(product_.folder + L"\\license.txt", "License");
  WriteBytes(product_.folder + L"\\Order.htm", "<p>Order</p>");
  ASSERT_TRUE(
      SetRegistryString(HKEY_CURRENT_USER, ProductKey + L"\\General", L"LanguageFolder", lang));
  ScopedCurrentFolder current(product_.folder);

  OpenedFromDone opened = SetUpAndOpenBoth(product_.exe);
  ASSERT_TRUE(opened.run.finished);
  EXPECT_EQ(opened.run.exitCode, 0u);
  EXPECT_NE(opened.licence.find("language\\license.txt"), std::string::npos) << opened.licence;
  EXPECT_NE(opened.order.find("Order.htm"), std::string::npos) << opened.order;
  EXPECT_FALSE(CloseFolderWindow(L"Pelodra", 3000)) << "the program group was opened";
  RemoveTree(lang);
}

// An installer may start the program from any folder: the done dialog shows
// the program's folder and opens the licence and the order page lying
// there, not those of the folder it was started in.
TEST_F(SetupLanguage, TheDoneDialogKeepsToTheProgramsFolder) {
  WriteBytes(product_.folder + L"\\license.txt", "License");
  WriteBytes(product_.folder + L"\\Order.htm", "<p>Order</p>");
  std::wstring elsewhere = FreshFolder(L"elsewhere");
  WriteBytes(elsewhere + L"\\license.txt", "planted");
  WriteBytes(elsewhere + L"\\Order.htm", "planted");
  OpenedFromDone opened;
  {
    ScopedCurrentFolder current(elsewhere);
    opened = SetUpAndOpenBoth(product_.exe);
  }
  ASSERT_TRUE(opened.run.finished);
  EXPECT_EQ(opened.run.exitCode, 0u);
  EXPECT_EQ(opened.folderShown, product_.folder);
  EXPECT_NE(opened.licence.find("Pelodra setup language\\license.txt"), std::string::npos)
      << opened.licence;
  EXPECT_NE(opened.order.find("Pelodra setup language\\Order.htm"), std::string::npos)
      << opened.order;
  RemoveTree(elsewhere);
}
