// Drives the real kivotra.exe from the outside, through the Windows API only,
// as a user (or the shell) would: starts it, finds its window, reads its
// pixels off the screen, clicks, closes it and reads its exit status.
//
//   e2e_driver window EXE               class, title, style, size, position, 32-bit
//   e2e_driver view EXE VIEW [BMP]      the tone as VIEW (linear, band, spectrogram, waveform) draws it
//   e2e_driver cycle EXE                clicks step 0 -> 1 -> 2 -> 3 -> 0
//   e2e_driver black-frames EXE         each change of view starts from a black frame
//   e2e_driver quiet-prompt EXE         the prompt comes with silence, goes with sound
//   e2e_driver second-start EXE         a second copy hands over to the first
//   e2e_driver expect-box EXE CAPTION TEXT owned|unowned
//   e2e_driver close-promptly EXE       WM_CLOSE ends the program with status 0
//   e2e_driver cycles EXE N             N open-draw-close cycles
//   e2e_driver device-loss EXE DIR      the input goes and comes back; DIR gets the script's markers
//   e2e_driver wait-window | click | save BMP | close    for scripts: one step each
//
// Prints what it sees, one fact per line; exits 0 when every check held.
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "tools/picture.h"
#include "tools/screen.h"

namespace {
constexpr wchar_t ProgramTitle[] = L"Kivotra - Dovrin K. - 2023";
constexpr LONG ProgramStyle = LONG(0x80C80000);
constexpr int FirstSoundMs = 5000;    // the idle null sink takes up to ~3 s to deliver
constexpr int ExitWaitMs = 5000;
constexpr double ToneFrequency = 1000;
constexpr double SampleRate = 44100;
constexpr int ToneMinimumTop = 20;    // rows: a tone, not noise
constexpr int MarkerWaitMs = 20000;   // for the script's next step

int Failures = 0;

void Check(bool condition, const char* what) {
  Print("%s %s", condition ? "ok" : "FAILED", what);
  if (!condition) ++Failures;
}

// Shows control characters the way they are written in C.
std::string Visible(const std::wstring& text) {
  std::string result;
  for (char c : Utf8(text)) {
    if (c == '\r') {
      result += "\\r";
    } else if (c == '\n') {
      result += "\\n";
    } else {
      result += c;
    }
  }
  return result;
}

std::wstring Unescape(const std::wstring& text) {
  std::wstring result;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == L'\\' && i + 1 < text.size() && (text[i + 1] == L'r' || text[i + 1] == L'n')) {
      result += text[++i] == L'r' ? L'\r' : L'\n';
    } else {
      result += text[i];
    }
  }
  return result;
}

// Started program: closed and waited for on every path out of a command.
struct Program {
  PROCESS_INFORMATION process = {};
  bool started = false;

  explicit Program(const std::wstring& path) {
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    std::wstring commandLine = L"\"" + path + L"\"";
    started = CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process);
    if (!started) Print("FAILED cannot start %s (error %lu)", Utf8(path).c_str(), GetLastError());
  }
  ~Program() {
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
  HWND Window(int timeoutMs = WindowWaitMs) const { return WaitForWindow(timeoutMs, process.dwProcessId); }

  // Waits for the process to end; -1 when it does not within the time.
  long Exit(int timeoutMs) const {
    if (WaitForSingleObject(process.hProcess, timeoutMs) != WAIT_OBJECT_0) return -1;
    DWORD status = 0;
    GetExitCodeProcess(process.hProcess, &status);
    return long(status);
  }

  // Closes the window as its close box would and checks the program's end.
  void CloseAndCheck() {
    HWND window = Window(0);
    if (window == nullptr) return;
    const auto start = Clock::now();
    PostMessageW(window, WM_CLOSE, 0, 0);
    const long status = Exit(ExitWaitMs);
    const int elapsed = MillisecondsSince(start);
    Print("exit_status=%ld close_ms=%d", status, elapsed);
    Check(status == 0, "the program ends with status 0 after WM_CLOSE");
  }
};

// --- What each view shows of a 1 kHz tone ----------------------------------

bool LinearShowsTone(const Picture& picture) {
  const LinearMeasure measure = MeasureLinear(picture);
  return measure.tallestColumn >= 90 && measure.tallestColumn <= 92 && measure.tallestTop >= ToneMinimumTop &&
         measure.highestOutside < measure.tallestTop;
}

bool BandsShowTone(const Picture& picture) {
  const BandMeasure measure = MeasureBands(picture);
  return measure.tallestBand == 15 && measure.tops[15] >= ToneMinimumTop && measure.gapsBlack &&
         measure.barsUniform;
}

bool SpectrogramGrowing(const Picture& picture) {
  const SpectrogramMeasure measure = MeasureSpectrogram(picture);
  return measure.filledColumns >= 2 && measure.restBlack;
}

constexpr double TonePeriodColumns = SampleRate / ToneFrequency;  // 44.1 samples a period

bool WaveformShowsTone(const Picture& picture) {
  const WaveformMeasure measure = MeasureWaveform(picture, TonePeriodColumns);
  return measure.everyColumnLit && measure.amplitudeRows >= 10 && measure.fit >= 0.9;
}

void PrintLinear(const Picture& picture) {
  const LinearMeasure m = MeasureLinear(picture);
  Print("linear tallest_column=%d tallest_top=%d highest_outside_90_92=%d", m.tallestColumn, m.tallestTop,
        m.highestOutside);
}

void PrintBands(const Picture& picture) {
  const BandMeasure m = MeasureBands(picture);
  std::string tops;
  for (int top : m.tops) tops += std::to_string(top) + " ";
  Print("bands tallest=%d gaps_black=%d uniform=%d tops=%s", m.tallestBand, m.gapsBlack, m.barsUniform,
        tops.c_str());
}

void PrintSpectrogram(const Picture& picture) {
  const SpectrogramMeasure m = MeasureSpectrogram(picture);
  Print("spectrogram filled_columns=%d rest_black=%d", m.filledColumns, m.restBlack);
}

void PrintWaveform(const Picture& picture) {
  const WaveformMeasure m = MeasureWaveform(picture, TonePeriodColumns);
  Print("waveform every_column_lit=%d amplitude_rows=%.1f fit=%.3f", m.everyColumnLit, m.amplitudeRows, m.fit);
}

// --- Commands ----------------------------------------------------------------

int WindowCommand(const std::wstring& exe) {
  Program program(exe);
  HWND window = program.Window();
  Check(window != nullptr, "a window of class \"Kivotra\" appears");
  if (window == nullptr) return 1;

  Print("class=%s", Utf8(ClassOf(window)).c_str());
  Print("title=%s", Utf8(TextOf(window)).c_str());
  Check(TextOf(window) == ProgramTitle, "title is \"Kivotra - Dovrin K. - 2023\"");

  const LONG style = GetWindowLongW(window, GWL_STYLE) & ~(WS_VISIBLE | WS_CLIPSIBLINGS | WS_MINIMIZE);
  const LONG exStyle = GetWindowLongW(window, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE;
  Print("style=0x%08lX exstyle=0x%08lX", GetWindowLongW(window, GWL_STYLE), GetWindowLongW(window, GWL_EXSTYLE));
  Check(style == (ProgramStyle & ~WS_VISIBLE), "style is WS_POPUP | WS_CAPTION | WS_SYSMENU");
  Check(exStyle == 0, "no extended style");

  RECT client = {};
  GetClientRect(window, &client);
  Print("client=%ldx%ld", client.right - client.left, client.bottom - client.top);
  Check(client.right == 736 && client.bottom == 255, "client area is 736 x 255");

  const int width = 2 * GetSystemMetrics(SM_CXDLGFRAME) + 736;
  const int height = 2 * GetSystemMetrics(SM_CYDLGFRAME) + 255 + GetSystemMetrics(SM_CYCAPTION);
  const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  RECT frame = {};
  GetWindowRect(window, &frame);
  Print("window=%ld,%ld %ldx%ld expected=%d,%d %dx%d", frame.left, frame.top, frame.right - frame.left,
        frame.bottom - frame.top, x, y, width, height);
  Check(frame.left == x && frame.top == y && frame.right - frame.left == width && frame.bottom - frame.top == height,
        "window is centred on the screen with the dialog-frame and caption measures");

  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  Check(processId == program.process.dwProcessId, "the window belongs to the started process");
  wchar_t image[MAX_PATH] = {};
  DWORD size = MAX_PATH;
  QueryFullProcessImageNameW(program.process.hProcess, 0, image, &size);
  DWORD binaryType = 99;
  GetBinaryTypeW(image, &binaryType);
  BOOL wow64 = FALSE;
  IsWow64Process(program.process.hProcess, &wow64);
  Print("image=%s binary_type=%lu wow64=%d", Utf8(image).c_str(), binaryType, wow64);
  Check(binaryType == SCS_32BIT_BINARY, "the program is a 32-bit Windows executable");

  Picture picture;
  Check(WaitForPicture(window, picture, 2000, Drawn),
        "the first frames are drawn");
  program.CloseAndCheck();
  return Failures == 0 ? 0 : 1;
}

int ViewCommand(const std::wstring& exe, const std::wstring& view, const std::wstring& bitmap) {
  struct ViewCheck {
    const wchar_t* name;
    int clicks;
    bool (*passes)(const Picture&);
    void (*print)(const Picture&);
  };
  static const ViewCheck checks[] = {
      {L"linear", 0, LinearShowsTone, PrintLinear},
      {L"band", 1, BandsShowTone, PrintBands},
      {L"spectrogram", 2, SpectrogramGrowing, PrintSpectrogram},
      {L"waveform", 3, WaveformShowsTone, PrintWaveform},
  };
  const ViewCheck* check = nullptr;
  for (const ViewCheck& candidate : checks) {
    if (view == candidate.name) check = &candidate;
  }
  if (check == nullptr) return 2;

  Program program(exe);
  HWND window = program.Window();
  if (window == nullptr) return 1;
  for (int i = 0; i < check->clicks; ++i) Click(window);

  Picture picture;
  const auto start = Clock::now();
  const bool shown = WaitForPicture(window, picture, FirstSoundMs, check->passes);
  Print("waited_ms=%d", MillisecondsSince(start));
  check->print(picture);
  if (!bitmap.empty()) SaveBitmap(picture, bitmap);
  Check(shown, "the view shows the 1 kHz tone");

  if (check->passes == LinearShowsTone) {
    const LinearMeasure m = MeasureLinear(picture);
    Check(m.tallestTop < 254, "the tone's linear bars are not clamped (choose a quieter tone otherwise)");
  }
  if (check->passes == BandsShowTone) {
    const BandMeasure m = MeasureBands(picture);
    Check(m.tops[15] < 254, "band 15 does not reach the clamp");
  }
  if (check->passes == SpectrogramGrowing && shown) {
    // One new column a tick. Bounded by the time that really passed, so a
    // busy machine that delays this driver cannot fail it.
    const int before = MeasureSpectrogram(picture).filledColumns;
    const auto start = Clock::now();
    Pause(400);
    Grab(window, picture);
    const int elapsedMs = MillisecondsSince(start);
    const SpectrogramMeasure after = MeasureSpectrogram(picture);
    const int grown = after.filledColumns - before;
    Print("spectrogram columns before=%d after_%dms=%d", before, elapsedMs, after.filledColumns);
    Check(after.restBlack, "right of the newest column the frame stays black");
    Check(grown >= 1 && grown <= elapsedMs / 25 + 2, "the spectrogram grows by one column a tick");
  }
  program.CloseAndCheck();
  return Failures == 0 ? 0 : 1;
}

// Which view a picture shows, judged by its layout alone.
const char* ViewOf(const Picture& picture) {
  if (LinearShowsTone(picture)) return "linear";
  if (BandsShowTone(picture)) return "band";
  if (SpectrogramGrowing(picture)) return "spectrogram";
  if (WaveformShowsTone(picture)) return "waveform";
  return "unknown";
}

bool AllBlack(const Picture& picture) {
  for (uint32_t pixel : picture.pixels) {
    if (pixel != 0) return false;
  }
  return true;
}

// Changes the view and has the window repaint at once, before the next tick
// draws: the repaint shows the frame as the change left it. False when a tick
// came first (it does, now and then: a tick is due every 25 ms).
bool ClickShowsBlackFrame(HWND window) {
  SendMessageW(window, WM_LBUTTONUP, 0, MAKELPARAM(368, 127));
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  Picture picture;
  return Grab(window, picture) && AllBlack(picture);
}

int BlackFrameCommand(const std::wstring& exe) {
  Program program(exe);
  HWND window = program.Window();
  if (window == nullptr) return 1;
  Picture picture;
  Check(WaitForPicture(window, picture, FirstSoundMs, LinearShowsTone), "the tone is drawn");
  int seen[4] = {};  // black frames seen on entering each view
  int tries = 0;
  for (int round = 0; round < 10; ++round) {
    for (int view = 1; view <= 4; ++view) {
      ++tries;
      if (ClickShowsBlackFrame(window)) ++seen[view % 4];
      Pause(60);
    }
  }
  Print("black frames on entering views 0..3: %d %d %d %d of 10 each", seen[0], seen[1], seen[2], seen[3]);
  Check(seen[0] > 0 && seen[1] > 0 && seen[2] > 0 && seen[3] > 0, "every change of view starts from a black frame");
  program.CloseAndCheck();
  return Failures == 0 ? 0 : 1;
}

int CycleCommand(const std::wstring& exe) {
  Program program(exe);
  HWND window = program.Window();
  if (window == nullptr) return 1;
  Picture picture;
  Check(WaitForPicture(window, picture, FirstSoundMs, LinearShowsTone), "the program starts in the linear view");

  const char* order[] = {"band", "spectrogram", "waveform", "linear", "band", "spectrogram"};
  for (const char* expected : order) {
    Click(window);
    const auto start = Clock::now();
    const bool reached = WaitForPicture(window, picture, 1000, [&](const Picture& p) {
      return std::string(ViewOf(p)) == expected;
    });
    Print("click -> %s after %d ms", ViewOf(picture), MillisecondsSince(start));
    Check(reached, (std::string("the release steps to the ") + expected + " view").c_str());
    if (std::string(expected) == "spectrogram") {
      // Entered on a cleared frame at the left edge: within the first frames
      // only a few columns are drawn and nothing of the band view remains.
      const SpectrogramMeasure m = MeasureSpectrogram(picture);
      Print("spectrogram on entry: filled_columns=%d rest_black=%d", m.filledColumns, m.restBlack);
      Check(m.filledColumns <= 12 && m.restBlack, "the spectrogram restarts at the left edge of a black frame");
      Pause(600);  // let it grow, so that a restart is told apart from carrying on
    }
  }
  program.CloseAndCheck();
  return Failures == 0 ? 0 : 1;
}

bool PromptShown(const Picture& picture) { return PromptPixels(picture) >= 100; }

// The prompt over a silence that began on screen at `quietSince`: it appears
// after about 1.5 s and blinks, which also shows the window still ticking.
void CheckPromptBlinks(HWND window, Clock::time_point quietSince) {
  Picture picture;
  const bool appeared = WaitForPicture(window, picture, 4000, PromptShown);
  const int appearedMs = MillisecondsSince(quietSince);
  Print("prompt_appeared_ms=%d %s", appearedMs, Describe(picture).c_str());
  Check(appeared, "with silence the white prompt appears");
  // Only the lower bound is the program's: how late it shows depends on the machine.
  Check(appearedMs >= 1400, "it does not appear before about 1.5 s of quiet (61 ticks)");

  const bool hidden = WaitForPicture(window, picture, 1000, [](const Picture& p) { return !PromptShown(p); });
  const bool again = WaitForPicture(window, picture, 1000, PromptShown);
  Check(hidden && again, "the prompt blinks");
  Print("prompt-blinks");  // the script may go on now
}

int QuietPromptCommand(const std::wstring& exe) {
  Program program(exe);
  // The window appears as WM_CREATE ends, when the timer has just started.
  HWND window = program.Window();
  const auto firstTick = Clock::now();
  if (window == nullptr) return 1;
  CheckPromptBlinks(window, firstTick);  // the script starts the tone after it

  Picture picture;
  const bool tone = WaitForPicture(window, picture, FirstSoundMs + 2000, LinearShowsTone);
  Check(tone, "the tone arrives");
  Pause(50);  // a frame or two
  const auto start = Clock::now();
  int shownAfterTone = 0;
  while (MillisecondsSince(start) < 1000) {  // longer than one blink cycle (0.8 s)
    if (Grab(window, picture) && PromptShown(picture)) ++shownAfterTone;
    Pause(5);
  }
  Print("prompt_frames_after_tone=%d", shownAfterTone);
  Check(shownAfterTone == 0, "once the tone plays the prompt is gone within a frame or two");
  program.CloseAndCheck();
  return Failures == 0 ? 0 : 1;
}

int SecondStartCommand(const std::wstring& exe) {
  Program first(exe);
  HWND window = first.Window();
  if (window == nullptr) return 1;
  Picture picture;
  WaitForPicture(window, picture, 2000, Drawn);

  {
    Program second(exe);
    const long status = second.Exit(WindowWaitMs);
    Print("second_exit_status=%ld windows=%zu", status, ProgramWindows().size());
    Check(status == 254, "a second start while the first runs exits with 254");
    Check(ProgramWindows().size() == 1, "no second window");
  }

  ShowWindow(window, SW_MINIMIZE);
  Check(IsIconic(window), "the first window is minimised");
  size_t mostWindows = 0;
  long status = -1;
  {
    Program second(exe);
    const auto start = Clock::now();
    while (MillisecondsSince(start) < WindowWaitMs && (status = second.Exit(0)) == -1) {
      mostWindows = std::max(mostWindows, ProgramWindows().size());
      Pause(2);
    }
  }
  Print("second_exit_status=%ld most_windows=%zu iconic=%d foreground=%d", status, mostWindows, IsIconic(window),
        GetForegroundWindow() == window);
  Check(status == 254, "a second start exits with 254 while the first is minimised");
  Check(mostWindows == 1, "the second start never shows a window of its own");
  Check(!IsIconic(window), "the second start restores the minimised first window");
  Check(GetForegroundWindow() == window, "and brings it to the front");
  RECT client = {};
  GetClientRect(window, &client);
  Check(client.right == 736 && client.bottom == 255, "the restored window has its 736 x 255 client area");
  Check(WaitForPicture(window, picture, 1000, Drawn),
        "the restored window draws again");
  first.CloseAndCheck();
  return Failures == 0 ? 0 : 1;
}

struct BoxSearch {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK MatchMessageBox(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<BoxSearch*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId && ClassOf(window) == L"#32770" && IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

HWND FindMessageBox(DWORD processId) {
  BoxSearch search = {processId, nullptr};
  EnumWindows(MatchMessageBox, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

BOOL CALLBACK MatchMessageText(HWND child, LPARAM found) {
  std::wstring text = TextOf(child);
  if (ClassOf(child) == L"Static" && !text.empty()) {
    *reinterpret_cast<std::wstring*>(found) = text;
    return FALSE;
  }
  return TRUE;
}

// The message text: the box's static control that is not the icon.
std::wstring MessageBoxText(HWND box) {
  std::wstring text;
  EnumChildWindows(box, MatchMessageText, reinterpret_cast<LPARAM>(&text));
  return text;
}

int ExpectBoxCommand(const std::wstring& exe, const std::wstring& caption, const std::wstring& text,
                     const std::wstring& ownership) {
  Program program(exe);
  HWND box = nullptr;
  const auto start = Clock::now();
  while (box == nullptr && MillisecondsSince(start) < WindowWaitMs && program.Exit(0) == -1) {
    box = FindMessageBox(program.process.dwProcessId);
    Pause(5);
  }
  Check(box != nullptr, "a message box appears");
  if (box == nullptr) return 1;
  Pause(100);  // let the box finish laying itself out

  const std::wstring shownCaption = TextOf(box);
  const std::wstring shownText = MessageBoxText(box);
  Print("caption=\"%s\" text=\"%s\"", Visible(shownCaption).c_str(), Visible(shownText).c_str());
  Check(shownCaption == caption, "the caption is exact");
  Check(shownText == Unescape(text), "the text is exact");

  HWND owner = GetWindow(box, GW_OWNER);
  const std::vector<HWND> windows = ProgramWindows();
  Print("owner_class=%s program_windows=%zu", owner ? Utf8(ClassOf(owner)).c_str() : "(none)", windows.size());
  if (ownership == L"unowned") {
    Check(owner == nullptr && windows.empty(), "the box has no owner and no window exists yet");
  } else {
    Check(owner != nullptr && ClassOf(owner) == ProgramClass, "the box is owned by the program's window");
    Check(owner != nullptr && !IsWindowVisible(owner), "the window was never shown");
  }
  Check(GetDlgItem(box, IDOK) != nullptr && GetDlgItem(box, IDCANCEL) == nullptr, "a single OK button");

  PostMessageW(box, WM_COMMAND, IDOK, 0);
  const long status = program.Exit(ExitWaitMs);
  Print("exit_status=%ld", status);
  Check(status == 0, "the process ends with status 0 once the box is closed");
  Check(ProgramWindows().empty(), "no window is left");
  return Failures == 0 ? 0 : 1;
}

int ClosePromptlyCommand(const std::wstring& exe) {
  Program program(exe);
  HWND window = program.Window();
  if (window == nullptr) return 1;
  Picture picture;
  Check(WaitForPicture(window, picture, FirstSoundMs, LinearShowsTone), "the tone is drawn");
  const auto start = Clock::now();
  PostMessageW(window, WM_CLOSE, 0, 0);
  const long status = program.Exit(ExitWaitMs);
  const int elapsed = MillisecondsSince(start);
  Print("exit_status=%ld close_ms=%d", status, elapsed);
  // A hang shows as status -1: Exit gives up after ExitWaitMs.
  Check(status == 0, "WM_CLOSE ends the program promptly with status 0");
  return Failures == 0 ? 0 : 1;
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
    if (!drawn || status != 0) {
      Print("FAILED cycle %d: window=%d drawn=%d exit_status=%ld", cycle, window != nullptr, drawn, status);
      ++Failures;
    }
  }
  Print("cycles=%d failures=%d longest_close_ms=%d", count, Failures, longestClose);
  Check(Failures == 0, "every open-draw-close cycle ends with status 0");
  return Failures == 0 ? 0 : 1;
}

// --- The input device going away and coming back ---------------------------
// The script that takes the device away and brings it back says when through
// marker files in a folder that the driver polls.

bool WaitForMarker(const std::wstring& path, int timeoutMs) {
  const auto start = Clock::now();
  while (!Exists(path)) {
    if (MillisecondsSince(start) >= timeoutMs) return false;
    Pause(2);
  }
  return true;
}

// Silence in the linear view: every bar at height 0, which lights row 0 alone.
bool LinearSilent(const Picture& picture) { return MeasureLinear(picture).tallestTop == 0; }

bool Responds(HWND window) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &result) != 0;
}

int DeviceLossCommand(const std::wstring& exe, const std::wstring& markers) {
  Program program(exe);
  HWND window = program.Window();
  if (window == nullptr) return 1;
  Picture picture;
  Check(WaitForPicture(window, picture, FirstSoundMs, LinearShowsTone), "the tone is drawn");
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
  return Failures == 0 ? 0 : 1;
}

int Usage() {
  std::fputs("usage: e2e_driver COMMAND ... (see the comment at the top of e2e_driver.cpp)\n", stderr);
  return 2;
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return Usage();
  const std::wstring command = argv[1];
  auto arg = [&](int i) { return i < argc ? std::wstring(argv[i]) : std::wstring(); };

  if (command == L"window" && argc == 3) return WindowCommand(arg(2));
  if (command == L"view" && argc >= 4) return ViewCommand(arg(2), arg(3), arg(4));
  if (command == L"cycle" && argc == 3) return CycleCommand(arg(2));
  if (command == L"black-frames" && argc == 3) return BlackFrameCommand(arg(2));
  if (command == L"quiet-prompt" && argc == 3) return QuietPromptCommand(arg(2));
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
  if (command == L"close") {
    PostMessageW(window, WM_CLOSE, 0, 0);
    const auto start = Clock::now();
    while (IsWindow(window) && MillisecondsSince(start) < ExitWaitMs) Pause(5);
    return IsWindow(window) ? 1 : 0;
  }
  return Usage();
}
