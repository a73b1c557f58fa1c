// The program's window as another Win32 program in the same session sees it:
// found by class, read back from the screen, clicked. Shared by the
// end-to-end driver, the soak sampler and the latency probe.
#pragma once

#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/polling.h"
#include "tools/picture.h"

using Clock = std::chrono::steady_clock;

constexpr wchar_t ProgramClass[] = L"Kivotra";
constexpr int WindowWaitMs = 10000;  // a cold Wine start of the program

std::string Utf8(const std::wstring& text);
int MillisecondsSince(Clock::time_point start);
// Polls `ready` until it holds, or false once `timeoutMs` have passed (the
// tests' poll-until, tests/support/polling.h).
template <typename Ready>
bool WaitUntil(int timeoutMs, Ready ready) {
  return Eventually(ready, std::chrono::milliseconds(timeoutMs));
}
void Pause(int milliseconds);
std::wstring ClassOf(HWND window);
std::wstring TextOf(HWND window);

// One line to standard output, flushed at once: the scripts act on each line
// as it comes.
void Print(const char* format, ...);
// Scripts answer through marker files that the watchers poll.
bool Exists(const std::wstring& path);

// Every top-level window of the program's class.
std::vector<HWND> ProgramWindows();
// The program's window once it is visible (of that process, when given).
HWND WaitForWindow(int timeoutMs, DWORD processId = 0);

// Reads the client area back from the screen, where the program's copies
// land, at the window's size (see FromWindowPixels).
bool Grab(HWND window, Picture& picture);

// One pixel of the client area as displayed (0x00RRGGBB), the row counted from
// the bottom as in Picture; `windowDC` from GetDC(window). For watching a few
// pixels often, where a whole Grab would cost too much.
uint32_t PixelAt(HDC windowDC, int column, int row);

// Polls the screen until the picture passes, or the time is up; the last
// picture stays in `picture` either way.
template <typename Predicate>
bool WaitForPicture(HWND window, Picture& picture, int timeoutMs, Predicate passes) {
  return WaitUntil(timeoutMs, [&] { return Grab(window, picture) && passes(picture); });
}

// A frame of the program's own: before the first tick the window shows its
// grey class background; every view lights some green (silence included).
bool Drawn(const Picture& picture);

// A left-button release, which is all the program acts on.
void Click(HWND window);
