// The program's lifetime: closing promptly, many starts and closes, and the
// input device going away and coming back while it runs.
#include <algorithm>
#include <string>

#include "tools/driver/driver.h"

namespace {
constexpr int MarkerWaitMs = 20000;   // for the script's next step

// The script that takes the device away and brings it back says when through
// marker files in a folder that the driver polls.
bool WaitForMarker(const std::wstring& path, int timeoutMs) {
  return WaitUntil(timeoutMs, [&] { return Exists(path); });
}

// Silence in the linear view: every bar at height 0, which lights row 0 alone.
bool LinearSilent(const Picture& picture) { return MeasureLinear(picture).tallestTop == 0; }

bool Responds(HWND window) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result) != 0;
}
}  // namespace

int ClosePromptlyCommand(const std::wstring& exe) {
  Program program(exe);
  Picture picture;
  HWND window = program.WindowShowingTone(picture);
  if (window == nullptr) return 1;
  // Minimised and restored first, as a user might before closing: the tick
  // runs on (and the case's trace shows the timer resolution go and return).
  ShowWindow(window, SW_MINIMIZE);
  Check(IsIconic(window), "the window is minimised");
  ShowWindow(window, SW_RESTORE);
  Check(WaitForPicture(window, picture, FirstSoundMs, LinearShowsTone), "the tone is drawn after a restore");
  program.CloseAndCheck();
  return CommandStatus();
}

int CyclesCommand(const std::wstring& exe, int count) {
  int longestClose = 0;
  for (int cycle = 1; cycle <= count; ++cycle) {
    Program program(exe);
    HWND window = program.Window();
    Picture picture;
    const bool drawn =
        window && WaitForPicture(window, picture, 3000, Drawn);
    if (window) PostMessageW(window, WM_CLOSE, 0, 0);
    const auto start = Clock::now();
    const long status = program.Exit(ExitWaitMs);
    longestClose = std::max(longestClose, MillisecondsSince(start));
    // Under 64-bit Wine an ended process's window has been seen to outlive it
    // for a moment, and the next start then hands over to it (status 254).
    const bool gone = window == nullptr || WaitUntil(ExitWaitMs, [&] { return !IsWindow(window); });
    if (!drawn || status != 0 || !gone) {
      Print("FAILED cycle %d: window=%d drawn=%d exit_status=%ld window_gone=%d", cycle, window != nullptr, drawn,
            status, gone);
      ++Failures;
    }
  }
  Print("cycles=%d failures=%d longest_close_ms=%d", count, Failures, longestClose);
  Check(Failures == 0, "every open-draw-close cycle ends with status 0");
  return CommandStatus();
}

int DeviceLossCommand(const std::wstring& exe, const std::wstring& markers) {
  Program program(exe);
  Picture picture;
  HWND window = program.WindowShowingTone(picture);
  if (window == nullptr) return 1;
  Print("tone-shown");  // the script takes the device away now

  const bool lost = WaitForMarker(markers + L"\\lost", MarkerWaitMs);
  Check(lost, "the script reports the device gone");
  if (!lost) return 1;
  const auto lostAt = Clock::now();
  const bool silent = WaitForPicture(window, picture, 5000, LinearSilent);
  const auto silentAt = Clock::now();
  const int silenceMs = MillisecondsSince(lostAt);
  Print("silence_after_loss_ms=%d", silenceMs);
  Check(silent && silenceMs <= 500, "the picture goes silent within 0.5 s");
  if (silent) CheckPromptBlinks(window, silentAt);
  Check(program.Exit(0) == -1 && Responds(window), "the window stays up and answers");

  const bool back = WaitForMarker(markers + L"\\back", MarkerWaitMs);
  Check(back, "the script reports the device back");
  if (!back) return 1;
  const auto backAt = Clock::now();
  const bool tone = WaitForPicture(window, picture, 10000, LinearShowsTone);
  const int toneMs = MillisecondsSince(backAt);
  Print("tone_back_after_return_ms=%d", toneMs);
  Check(tone && toneMs <= 3000, "the tone is on screen again within 3 s of the device's return");
  program.CloseAndCheck();
  return CommandStatus();
}
