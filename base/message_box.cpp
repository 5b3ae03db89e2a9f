#include "base/message_box.h"

#include "base/log.h"
#include "base/run_state.h"

namespace {

struct Answer {
  int id;
  const wchar_t* text;
};
constexpr Answer Answers[] = {
    {IDOK, L"OK"},
    {IDCANCEL, L"Cancel"},
    {IDYES, L"Yes"},
    {IDNO, L"No"},
};

}  // namespace

int ShowMessageBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style) {
  if (IsRightToLeft()) style |= MB_RIGHT | MB_RTLREADING;
  int answer = MessageBoxW(owner, text, caption, style);
  const wchar_t* answered = L"not shown";
  for (const Answer& known : Answers)
    if (known.id == answer) answered = known.text;
  LogEvent(L"message", text, answered);
  return answer;
}
