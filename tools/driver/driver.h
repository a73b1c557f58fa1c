// The end-to-end driver's library: the program started and always ended
// again, the checks and their tally, what each view shows of the cases' 1 kHz
// tone, and the commands that main.cpp dispatches to.
#pragma once

#include <windows.h>

#include <string>

#include "tools/picture.h"
#include "tools/screen.h"
#include "visual/views.h"

constexpr int FirstSoundMs = 5000;    // the idle null sink takes up to ~3 s to deliver
constexpr int ExitWaitMs = 5000;
constexpr double ToneFrequency = 1000;
constexpr double SampleRate = 44100;
constexpr double TonePeriodColumns = SampleRate / ToneFrequency;  // 44.1 samples a period

// The system's DPI as the case set it (KIVOTRA_E2E_DPI, else 96), and a
// length of the frame in window pixels at a DPI, by default that one.
int CaseDpi();
int WindowPixels(int frameLength, int dpi = CaseDpi());

// Checks failed so far; a command exits 0 only when there were none.
extern int Failures;
void Check(bool condition, const char* what);
inline int CommandStatus() { return Failures == 0 ? 0 : 1; }

// Started program: closed and waited for on every path out of a command.
struct Program {
  PROCESS_INFORMATION process = {};
  bool started = false;

  explicit Program(const std::wstring& path);
  ~Program();
  HWND Window(int timeoutMs = WindowWaitMs) const { return WaitForWindow(timeoutMs, process.dwProcessId); }

  // The window once it shows the cases' tone in the linear view, which every
  // start does first (checked as `what`); null when no window comes.
  HWND WindowShowingTone(Picture& picture, const char* what = "the tone is drawn") const;

  // Waits for the process to end; -1 when it does not within the time.
  long Exit(int timeoutMs) const;

  // Closes the window as its close box would and checks the program's end.
  void CloseAndCheck();
};

// The display mode of the view of that name (visual/views.h); -1 when none.
int ModeNamed(const std::wstring& name);

// What each view shows of a 1 kHz tone.
bool LinearShowsTone(const Picture& picture);
bool BandsShowTone(const Picture& picture);
bool SpectrogramGrowing(const Picture& picture);
bool WaveformShowsTone(const Picture& picture);

bool PromptShown(const Picture& picture);
// The prompt over a silence that began on screen at `quietSince`: it appears
// after about 1.5 s and blinks, which also shows the window still ticking.
void CheckPromptBlinks(HWND window, Clock::time_point quietSince);

// The window and start-up (start_commands.cpp).
int WindowCommand(const std::wstring& exe);
int SecondStartCommand(const std::wstring& exe);
int ExpectBoxCommand(const std::wstring& exe, const std::wstring& caption, const std::wstring& text,
                     const std::wstring& ownership);
// What the window draws (view_commands.cpp).
int ViewsCommand();
int ViewCommand(const std::wstring& exe, const std::wstring& view, const std::wstring& bitmap);
int CycleCommand(const std::wstring& exe);
int BlackFrameCommand(const std::wstring& exe);
int QuietPromptCommand(const std::wstring& exe);
int DpiChangeCommand(const std::wstring& exe);
int SaveSoundCommand(HWND window, const std::wstring& view, int seconds, const std::wstring& bitmap);
// Closing, and the input going away and coming back (lifetime_commands.cpp).
int ClosePromptlyCommand(const std::wstring& exe);
int CyclesCommand(const std::wstring& exe, int count);
int DeviceLossCommand(const std::wstring& exe, const std::wstring& markers);
