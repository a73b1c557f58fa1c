#include "tools/driver/driver.h"

#include <cstdlib>

int Failures = 0;

int CaseDpi() {
  const char* dpi = std::getenv("KIVOTRA_E2E_DPI");
  return dpi != nullptr ? std::atoi(dpi) : 96;
}

int WindowPixels(int frameLength, int dpi) { return (frameLength * dpi + 48) / 96; }

void Check(bool condition, const char* what) {
  Print("%s %s", condition ? "ok" : "FAILED", what);
  if (!condition) ++Failures;
}

Program::Program(const std::wstring& path) {
  STARTUPINFOW startup = {};
  startup.cb = sizeof startup;
  std::wstring commandLine = L"\"" + path + L"\"";
  started = CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                           &startup, &process);
  if (!started) Print("FAILED cannot start %s (error %lu)", Utf8(path).c_str(), GetLastError());
}

Program::~Program() {
  if (!started) return;
  if (WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT) {
    if (HWND window = WaitForWindow(0, process.dwProcessId)) PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.hProcess, ExitWaitMs) == WAIT_TIMEOUT) {
      Print("FAILED program still running; terminated");
      TerminateProcess(process.hProcess, 99);
      ++Failures;
    }
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
}

long Program::Exit(int timeoutMs) const {
  if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
  DWORD status = 0;
  GetExitCodeProcess(process.hProcess, &status);
  return long(status);
}

HWND Program::WindowShowingTone(Picture& picture, const char* what) const {
  HWND window = Window();
  if (window != nullptr) Check(WaitForPicture(window, picture, FirstSoundMs, LinearShowsTone), what);
  return window;
}

void Program::CloseAndCheck() {
  HWND window = Window(0);
  if (window == nullptr) return;
  const auto start = Clock::now();
  PostMessageW(window, WM_CLOSE, 0, 0);
  const long status = Exit(ExitWaitMs);
  const int elapsed = MillisecondsSince(start);
  Print("exit_status=%ld close_ms=%d", status, elapsed);
  // A hang shows as status -1: Exit gives up after ExitWaitMs.
  Check(status == 0, "WM_CLOSE ends the program promptly with status 0");
}

int ModeNamed(const std::wstring& name) {
  for (int mode = 0; mode < DisplayModeCount; ++mode) {
    if (Utf8(name) == ViewNames[mode]) return mode;
  }
  return -1;
}

bool LinearShowsTone(const Picture& picture) {
  const LinearMeasure measure = MeasureLinear(picture);
  return ShowsSound(picture, LinearSpectrumMode) && measure.tallestColumn >= 90 && measure.tallestColumn <= 92 &&
         measure.highestOutside < measure.tallestTop;
}

bool BandsShowTone(const Picture& picture) {
  const BandMeasure measure = MeasureBands(picture);
  return ShowsSound(picture, BandSpectrumMode) && measure.tallestBand == 15 && measure.gapsBlack &&
         measure.barsUniform;
}

bool SpectrogramGrowing(const Picture& picture) {
  const SpectrogramMeasure measure = MeasureSpectrogram(picture);
  return measure.filledColumns >= 2 && measure.restBlack;
}

bool WaveformShowsTone(const Picture& picture) {
  const WaveformMeasure measure = MeasureWaveform(picture, TonePeriodColumns);
  return measure.everyColumnLit && measure.amplitudeRows >= 10 && measure.fit >= 0.9;
}

bool PromptShown(const Picture& picture) { return PromptPixels(picture) >= 100; }

void CheckPromptBlinks(HWND window, Clock::time_point quietSince) {
  Picture picture;
  const bool appeared = WaitForPicture(window, picture, 4000, PromptShown);
  const int appearedMs = MillisecondsSince(quietSince);
  Print("prompt_appeared_ms=%d %s", appearedMs, Describe(picture).c_str());
  Check(appeared, "with silence the white prompt appears");
  // Its height, and its middle's place from the picture's middle.
  Print("prompt_box=%d,%.1f,%.1f", picture.inkBottom - picture.inkTop + 1,
        (picture.inkLeft + picture.inkRight + 1 - picture.windowWidth) / 2.0,
        (picture.inkTop + picture.inkBottom + 1 - picture.windowHeight) / 2.0);
  // At 100 % the window's own font is smoothed under Wine.
  if (picture.windowWidth != PictureWidth) {
    Check(picture.blendedPixels == 0, "the prompt is white, with only the frame's green and black at its edges");
  }
  // Only the lower bound is the program's: how late it shows depends on the machine.
  Check(appearedMs >= 1400, "it does not appear before about 1.5 s of quiet (61 ticks)");

  const bool hidden = WaitForPicture(window, picture, 1000, [](const Picture& p) { return !PromptShown(p); });
  const bool again = WaitForPicture(window, picture, 1000, PromptShown);
  Check(hidden && again, "the prompt blinks");
  Print("prompt-blinks");  // the script may go on now
}
