// Drives the real kivotra.exe from the outside, through the Windows API only,
// as a user (or the shell) would: starts it, finds its window, reads its
// pixels off the screen, clicks, closes it and reads its exit status.
//
//   driver window EXE               class, title, style, size, position, 32-bit
//   driver views                    the views' names, one a line, in the order clicks step through them
//   driver view EXE VIEW [BMP]      the tone as VIEW (one of those names) draws it
//   driver cycle EXE                clicks step through the views in that order and round again
//   driver black-frames EXE         each change of view starts from a black frame
//   driver quiet-prompt EXE         the prompt comes with silence, goes with sound
//   driver dpi-change EXE           in silence at 96 dpi, WM_DPICHANGED to 192, 144 and back to 96
//   driver second-start EXE         a second copy hands over to the first
//   driver expect-box EXE CAPTION TEXT owned|unowned
//   driver close-promptly EXE       minimised and restored, then WM_CLOSE ends the program with status 0
//   driver cycles EXE N             N open-draw-close cycles
//   driver device-loss EXE DIR      the input goes and comes back; DIR gets the script's markers
//   driver wait-window | click | save BMP | close    for scripts: one step each
//   driver save-sound VIEW SECONDS BMP    waits that long at most for the window to show sound as
//                                   VIEW does (the spectrogram: drawn over half its width),
//                                   then saves it; exits 1 when it did not
//
// Prints what it sees, one fact per line; exits 0 when every check held.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "tools/driver/driver.h"

namespace {
int Usage() {
  std::fputs("usage: driver COMMAND ... (see the comment at the top of tools/driver/main.cpp)\n", stderr);
  return 2;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  const std::wstring command = argv[1];
  auto arg = [&](int i) { return i < argc ? std::wstring(argv[i]) : std::wstring(); };

  if (command == L"views" && argc == 2) return ViewsCommand();
  if (command == L"window" && argc == 3) return WindowCommand(arg(2));
  if (command == L"view" && argc >= 4) return ViewCommand(arg(2), arg(3), arg(4));
  if (command == L"cycle" && argc == 3) return CycleCommand(arg(2));
  if (command == L"black-frames" && argc == 3) return BlackFrameCommand(arg(2));
  if (command == L"quiet-prompt" && argc == 3) return QuietPromptCommand(arg(2));
  if (command == L"dpi-change" && argc == 3) return DpiChangeCommand(arg(2));
  if (command == L"second-start" && argc == 3) return SecondStartCommand(arg(2));
  if (command == L"expect-box" && argc == 6) return ExpectBoxCommand(arg(2), arg(3), arg(4), arg(5));
  if (command == L"close-promptly" && argc == 3) return ClosePromptlyCommand(arg(2));
  if (command == L"cycles" && argc == 4) return CyclesCommand(arg(2), _wtoi(argv[3]));
  if (command == L"device-loss" && argc == 4) return DeviceLossCommand(arg(2), arg(3));

  // Single steps for scripts that drive a program they started themselves.
  HWND window = WaitForWindow(WindowWaitMs);
  if (window == nullptr) {
    Print("FAILED no window of class \"Kivotra\"");
    return 1;
  }
  if (command == L"wait-window") return 0;
  if (command == L"click") {
    Click(window);
    return 0;
  }
  if (command == L"save" && argc == 3) {
    Picture picture;
    if (!Grab(window, picture) || !SaveBitmap(picture, arg(2))) return 1;
    Print("%s", Describe(picture).c_str());
    return 0;
  }
  if (command == L"save-sound" && argc == 5) return SaveSoundCommand(window, arg(2), _wtoi(argv[3]), arg(4));
  if (command == L"close") {
    PostMessageW(window, WM_CLOSE, 0, 0);
    return WaitUntil(ExitWaitMs, [&] { return !IsWindow(window); }) ? 0 : 1;
  }
  return Usage();
}
