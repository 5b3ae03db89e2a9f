// The least a program can do to put a dialog on screen: one message box at
// once. The yardstick for the time until the setup dialog shows.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  MessageBoxW(nullptr, L"Ready.", L"Message box", MB_OK);
  return 0;
}
