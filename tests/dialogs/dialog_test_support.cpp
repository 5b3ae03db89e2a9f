#include "dialog_test_support.h"

#include "base/program_path.h"
#include "base/run_state.h"
#include "language_samples.h"
#include "localization/language_module.h"
#include "settings/settings_store.h"
#include "support/test_files.h"

void DialogTest::SetUp() {
  // The setup dialog holds a rich-edit control, as the program loads it.
  static HMODULE richEdit = LoadLibraryW(L"riched20.dll");
  ASSERT_NE(richEdit, nullptr);
  ASSERT_TRUE(hive_.Active());
  folder_ = FreshFolder(L"dialogs");
  SetProgramPathForTesting((folder_ + L"\\uninstall.exe").c_str());
  ResetSettingsStoreForTesting();
  ResetRunState();
}

void DialogTest::TearDown() {
  ReleaseLanguageModule();
  ResetSettingsStoreForTesting();
  ResetRunState();
  SetProgramPathForTesting(nullptr);
  RemoveTree(folder_);
}

HWND DialogTest::OpenDialog(const wchar_t* name, DLGPROC procedure, LPARAM parameter) {
  return CreateDialogParamW(GetModuleHandleW(nullptr), name, nullptr, procedure, parameter);
}

void DialogTest::LoadSampleLanguageModule(const wchar_t* sample) {
  std::wstring source = std::wstring(LANGUAGE_SAMPLES_FOLDER) + L"\\" + sample;
  if (sample[0]) source += L"\\";
  source += L"kellng.dll";
  // A loaded module's file cannot be replaced.
  ReleaseLanguageModule();
  ASSERT_TRUE(CopyFileW(source.c_str(), (folder_ + L"\\kellng.dll").c_str(), FALSE));
  LoadLanguageModule(GetModuleHandleW(nullptr));
  ASSERT_NE(ResourceModule(), ProgramModule());
}

std::wstring DialogTest::TextOf(HWND dialog, int id) {
  wchar_t text[4096] = {};
  GetDlgItemTextW(dialog, id, text, 4096);
  return text;
}

void DialogTest::Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}
