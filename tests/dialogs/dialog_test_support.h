// What the in-process dialog tests share: the program placed in a fresh
// folder, a store and run state at their start, a private stand-in for
// HKEY_CURRENT_USER (other test programs share the prefix and read the
// product's key), and the program's own dialog templates made modeless.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/private_hive.h"

class DialogTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A modeless dialog from the program's template `name`; `parameter`
  // reaches the procedure with WM_INITDIALOG.
  HWND OpenDialog(const wchar_t* name, DLGPROC procedure, LPARAM parameter = 0);
  // Places the sample language module of `sample` (a folder of the samples,
  // "" for the German one) beside the program, in place of one loaded
  // before, and loads it; released when the test ends.
  void LoadSampleLanguageModule(const wchar_t* sample);
  static std::wstring TextOf(HWND dialog, int id);
  static void Pump();

  std::wstring folder_;

 private:
  PrivateHive hive_{L"dialogs"};
};
