#include <gtest/gtest.h>

#include "base/error_state.h"
#include "base/format.h"
#include "base/program_path.h"
#include "base/run_state.h"

TEST(ErrorState, KeepsTheWeightiestCode) {
  struct Step {
    KEL_EXIT recorded;
    KEL_EXIT expected;
  };
  const Step steps[] = {
      {KEL_WARNING, KEL_WARNING},         {KEL_USER_BREAK, KEL_WARNING},
      {KEL_FATAL_ERROR, KEL_FATAL_ERROR}, {KEL_WARNING, KEL_FATAL_ERROR},
      {KEL_FATAL_ERROR, KEL_FATAL_ERROR}, {KEL_CREATE_ERROR, KEL_CREATE_ERROR},
      {KEL_CRC_ERROR, KEL_CREATE_ERROR},  {KEL_FATAL_ERROR, KEL_CREATE_ERROR},
      {KEL_OPEN_ERROR, KEL_OPEN_ERROR},   {KEL_CRC_ERROR, KEL_CRC_ERROR},
  };
  ErrorState.Reset();
  for (const Step& step : steps) {
    ErrorState.Record(step.recorded);
    EXPECT_EQ(ErrorState.Code(), step.expected) << step.recorded;
  }
  EXPECT_EQ(ErrorState.Count(), 10u);

  ErrorState.Reset();
}

TEST(ErrorStateDeathTest, AFatalErrorEndsTheProcessWithItsCode) {
  EXPECT_EXIT(ErrorState.OutOfMemory(), testing::ExitedWithCode(KEL_MEMORY_ERROR), "");
  EXPECT_EXIT(ErrorState.Raise(KEL_CREATE_ERROR), testing::ExitedWithCode(KEL_CREATE_ERROR), "");
}

TEST(FormatText, CutsAndTerminates) {
  wchar_t buffer[8];
  EXPECT_EQ(FormatText(buffer, 8, L"%s-%d", L"ab", 42), 5);
  EXPECT_STREQ(buffer, L"ab-42");
  EXPECT_EQ(FormatText(buffer, 8, L"%s", L"1234567"), 7);
  EXPECT_STREQ(buffer, L"1234567");
  EXPECT_EQ(FormatText(buffer, 8, L"%s", L"12345678"), -1);
  EXPECT_STREQ(buffer, L"1234567");
  EXPECT_EQ(FormatText(buffer, 1, L"%s", L"x"), -1);
  EXPECT_STREQ(buffer, L"");
  EXPECT_EQ(FormatText(buffer, 0, L"x"), -1);
}

// A translated message may hold any conversions; only one "%s" is filled.
TEST(FormatMessageText, SubstitutesOnlyTheOneText) {
  wchar_t buffer[128];
  EXPECT_EQ(FormatMessageText(buffer, 128, L"Delete %s now", L"C:\\a b"), 17);
  EXPECT_STREQ(buffer, L"Delete C:\\a b now");
  FormatMessageText(buffer, 128, L"%n%x%d %s %s %ls 100%% %", L"F");
  EXPECT_STREQ(buffer, L"%n%x%d F %s %ls 100% %");
  FormatMessageText(buffer, 128, L"no conversion", L"F");
  EXPECT_STREQ(buffer, L"no conversion");

  wchar_t small[6];
  EXPECT_EQ(FormatMessageText(small, 6, L"ab%scd", L"XYZ"), -1);
  EXPECT_STREQ(small, L"abXYZ");
}

TEST(RunState, RegistryViewFollowsWow64) {
  ResetRunState();
  {
    ScopedRegistryView view64(true);
    uint32_t selected = IsWow64() ? static_cast<uint32_t>(KEY_WOW64_64KEY) : 0u;
    EXPECT_EQ(RegistryViewFlags, selected);
    {
      ScopedRegistryView defaultView(false);
      EXPECT_EQ(RegistryViewFlags, 0u);
    }
    EXPECT_EQ(RegistryViewFlags, selected);
  }
  EXPECT_EQ(RegistryViewFlags, 0u);
  EXPECT_FALSE(IsNativeItanium());
  // The dialog font: -12 at 96 DPI, scaled exactly at other densities.
  HDC screen = GetDC(nullptr);
  int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen) ReleaseDC(nullptr, screen);
  EXPECT_EQ(ScaleForDpi(-12), -12 * dpi / 96);
}

TEST(ProgramPath, AnswersTheSystemUnlessATestChoosesAnotherAndNeverCuts) {
  wchar_t path[MaxPathChars];
  wchar_t system[MaxPathChars];
  GetModuleFileNameW(nullptr, system, MaxPathChars);
  EXPECT_GT(GetProgramPath(path, MaxPathChars), 0u);
  EXPECT_STREQ(path, system);

  SetProgramPathForTesting(L"C:\\Program Files\\Pelodra\\uninstall.exe");
  EXPECT_GT(GetProgramPath(path, MaxPathChars), 0u);
  EXPECT_STREQ(path, L"C:\\Program Files\\Pelodra\\uninstall.exe");
  // A cut name would name another file.
  EXPECT_EQ(GetProgramPath(path, 10), 0u);
  EXPECT_STREQ(path, L"");
  SetProgramPathForTesting(nullptr);
  EXPECT_EQ(GetProgramPath(path, 4), 0u);
  EXPECT_STREQ(path, L"");
  GetProgramPath(path, MaxPathChars);
  EXPECT_STREQ(path, system);
}
