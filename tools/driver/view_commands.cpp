// What the window draws: each view of the tone, the clicks from view to view,
// the black frame each change starts from, the quiet prompt, and the picture
// as the DPI changes.
#include <cmath>
#include <string>

#include "tools/driver/driver.h"

namespace {
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

// How each view shows the cases' tone, in the order of visual/views.h.
struct ViewLook {
  bool (*showsTone)(const Picture&);
  void (*print)(const Picture&);
};
const ViewLook ViewLooks[] = {
    {LinearShowsTone, PrintLinear},
    {BandsShowTone, PrintBands},
    {SpectrogramGrowing, PrintSpectrogram},
    {WaveformShowsTone, PrintWaveform},
};
static_assert(sizeof ViewLooks / sizeof ViewLooks[0] == DisplayModeCount, "a look for every view");

// Which view a picture shows, judged by its layout alone.
const char* ViewOf(const Picture& picture) {
  for (int mode = 0; mode < DisplayModeCount; ++mode) {
    if (ViewLooks[mode].showsTone(picture)) return ViewNames[mode];
  }
  return "unknown";
}

// Silence in the linear view, every frame pixel shown whole at the window's
// scale: black but for row 0. At 100 % the window's own font, which the
// prompt then has, is smoothed under Wine.
bool SilentAndWhole(const Picture& picture) {
  return MeasureLinear(picture).tallestTop == 0 && picture.unevenBlocks == 0 && picture.unsharpPixels == 0 &&
         (picture.blendedPixels == 0 || (picture.windowWidth == PictureWidth && PromptShown(picture)));
}

int PromptHeight(const Picture& picture) { return picture.inkBottom - picture.inkTop + 1; }

// WM_DPICHANGED as Windows sends it: the new DPI, and the suggested window
// rectangle in the program's own memory.
bool SendDpiChanged(const Program& program, HWND window, int dpi, const RECT& suggested) {
  const HANDLE process = program.process.hProcess;
  void* remote = VirtualAllocEx(process, nullptr, sizeof suggested, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  if (remote == nullptr) return false;
  const bool written = WriteProcessMemory(process, remote, &suggested, sizeof suggested, nullptr);
  if (written) SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(remote));
  VirtualFreeEx(process, remote, 0, MEM_RELEASE);
  return written;
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
}  // namespace

int ViewsCommand() {
  for (const char* name : ViewNames) Print("%s", name);
  return 0;
}

int ViewCommand(const std::wstring& exe, const std::wstring& view, const std::wstring& bitmap) {
  const int mode = ModeNamed(view);
  if (mode < 0) return 2;
  const ViewLook& look = ViewLooks[mode];

  Program program(exe);
  HWND window = program.Window();
  if (window == nullptr) return 1;
  for (int i = 0; i < mode; ++i) Click(window);

  Picture picture;
  const auto start = Clock::now();
  const bool shown = WaitForPicture(window, picture, FirstSoundMs, look.showsTone);
  Print("waited_ms=%d", MillisecondsSince(start));
  look.print(picture);
  if (!bitmap.empty()) SaveBitmap(picture, bitmap);
  Check(shown, "the view shows the 1 kHz tone");
  Check(picture.blendedPixels == 0 && picture.unevenBlocks == 0 && picture.unsharpPixels == 0,
        "every frame pixel is shown whole, in black or green: at a whole scale one block, between 100 and 200 % "
        "mixed only on its edges, by area");

  if (mode == LinearSpectrumMode) {
    const LinearMeasure m = MeasureLinear(picture);
    Check(m.tallestTop < 254, "the tone's linear bars are not clamped (choose a quieter tone otherwise)");
  }
  if (mode == BandSpectrumMode) {
    const BandMeasure m = MeasureBands(picture);
    Check(m.tops[15] < 254, "band 15 does not reach the clamp");
  }
  if (mode == SpectrogramMode && shown) {
    // One new column a tick. Bounded by the time that really passed, so a
    // busy machine that delays this driver cannot fail it.
    const auto start = Clock::now();
    Grab(window, picture);  // both reads within the time measured
    const int before = MeasureSpectrogram(picture).filledColumns;
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
  return CommandStatus();
}

int BlackFrameCommand(const std::wstring& exe) {
  Program program(exe);
  Picture picture;
  HWND window = program.WindowShowingTone(picture);
  if (window == nullptr) return 1;
  int seen[DisplayModeCount] = {};  // black frames seen on entering each view
  for (int round = 0; round < 10; ++round) {
    for (int click = 1; click <= DisplayModeCount; ++click) {
      if (ClickShowsBlackFrame(window)) ++seen[click % DisplayModeCount];
      Pause(60);
    }
  }
  std::string counts;
  bool everyView = true;
  for (int count : seen) {
    counts += " " + std::to_string(count);
    everyView = everyView && count > 0;
  }
  Print("black frames on entering each view in turn, of 10 each:%s", counts.c_str());
  Check(everyView, "every change of view starts from a black frame");
  program.CloseAndCheck();
  return CommandStatus();
}

int CycleCommand(const std::wstring& exe) {
  Program program(exe);
  Picture picture;
  HWND window = program.WindowShowingTone(picture, "the program starts in the linear view");
  if (window == nullptr) return 1;

  // Once round, and on to the spectrogram again: it must restart there.
  for (int click = 1; click <= DisplayModeCount + SpectrogramMode; ++click) {
    const int mode = click % DisplayModeCount;
    const std::string expected = ViewNames[mode];
    Click(window);
    const auto start = Clock::now();
    const bool reached = WaitForPicture(window, picture, 1000, [&](const Picture& p) {
      return ViewOf(p) == expected;
    });
    Print("click -> %s after %d ms", ViewOf(picture), MillisecondsSince(start));
    Check(reached, (std::string("the release steps to the ") + expected + " view").c_str());
    if (mode == SpectrogramMode) {
      // Entered on a cleared frame at the left edge: within the first frames
      // only a few columns are drawn and nothing of the band view remains.
      const SpectrogramMeasure m = MeasureSpectrogram(picture);
      Print("spectrogram on entry: filled_columns=%d rest_black=%d", m.filledColumns, m.restBlack);
      Check(m.filledColumns <= 12 && m.restBlack, "the spectrogram restarts at the left edge of a black frame");
      Pause(600);  // let it grow, so that a restart is told apart from carrying on
    }
  }
  program.CloseAndCheck();
  return CommandStatus();
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
  return CommandStatus();
}

int DpiChangeCommand(const std::wstring& exe) {
  Program program(exe);
  HWND window = program.Window();
  if (window == nullptr) return 1;
  // In silence the frame never changes, so pictures of it can be compared
  // byte for byte: without the prompt, and with it.
  Picture plain, prompted, picture;
  Check(WaitForPicture(window, plain, 4000, [](const Picture& p) { return SilentAndWhole(p) && !PromptShown(p); }),
        "at 96 dpi the silent frame shows");
  Check(WaitForPicture(window, prompted, 4000, PromptShown), "and the prompt");
  RECT startFrame = {};
  GetWindowRect(window, &startFrame);
  const int startPromptHeight = PromptHeight(prompted);

  for (const int dpi : {192, 144, 96}) {
    Print("dpi=%d", dpi);
    // Wherever Windows would put it (not where it is, nor centred), at about
    // the new DPI's size.
    const RECT suggested = {dpi / 2, dpi / 4, dpi / 2 + WindowPixels(PictureWidth + 6, dpi),
                            dpi / 4 + WindowPixels(PictureHeight + 25, dpi)};
    Check(SendDpiChanged(program, window, dpi, suggested), "WM_DPICHANGED is sent");
    RECT frame = {}, client = {};
    GetWindowRect(window, &frame);
    GetClientRect(window, &client);
    Print("window=%ld,%ld %ldx%ld client=%ldx%ld", frame.left, frame.top, frame.right - frame.left,
          frame.bottom - frame.top, client.right, client.bottom);
    Check(frame.left == suggested.left && frame.top == suggested.top, "the window takes the suggested place");
    Check(client.right == WindowPixels(PictureWidth, dpi) && client.bottom == WindowPixels(PictureHeight, dpi),
          "the client area is the frame at the new DPI");

    const bool shown = WaitForPicture(window, picture, 4000, [](const Picture& p) {
      return PromptShown(p) && SilentAndWhole(p);
    });
    const double expectedHeight = startPromptHeight * dpi / 96.0;
    Print("prompt_height=%d expected=%.1f %s", PromptHeight(picture), expectedHeight, Describe(picture).c_str());
    Check(shown, "the frame and the white prompt show whole at the new scale");
    Check(std::abs(PromptHeight(picture) - expectedHeight) <= 2, "the prompt is sized for the new DPI, within 2 pixels");

    // A repaint at once, before the next tick: the paint's copy too is at the new scale.
    int repaintsAtOldScale = 0;
    for (int i = 0; i < 10; ++i) {
      RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
      repaintsAtOldScale += !(Grab(window, picture) && SilentAndWhole(picture));
      Pause(40);
    }
    Print("repaints_not_at_the_new_scale=%d of 10 %s", repaintsAtOldScale, Describe(picture).c_str());
    Check(repaintsAtOldScale == 0, "each repaint shows the frame whole at the new scale");
  }

  RECT endFrame = {};
  GetWindowRect(window, &endFrame);
  Check(endFrame.right - endFrame.left == startFrame.right - startFrame.left &&
            endFrame.bottom - endFrame.top == startFrame.bottom - startFrame.top,
        "back at 96 dpi the window has the start's size");
  const auto same = [](const Picture& reference) {
    return [&reference](const Picture& p) {
      return p.windowWidth == reference.windowWidth && p.windowHeight == reference.windowHeight &&
             p.pixels == reference.pixels;
    };
  };
  Check(WaitForPicture(window, picture, 3000, same(plain)), "back at 96 dpi the picture is the start's, byte for byte");
  Check(WaitForPicture(window, picture, 3000, same(prompted)), "and so is the prompt");
  program.CloseAndCheck();
  return CommandStatus();
}

int SaveSoundCommand(HWND window, const std::wstring& view, int seconds, const std::wstring& bitmap) {
  const int mode = ModeNamed(view);
  if (mode < 0 || seconds <= 0) return 2;
  // The spectrogram is all green wherever it has drawn, sound or not: for a
  // picture of it, half its width.
  auto worthShowing = [&](const Picture& picture) {
    if (mode == SpectrogramMode) return MeasureSpectrogram(picture).filledColumns >= PictureWidth / 2;
    return ShowsSound(picture, mode);
  };
  Picture picture;
  const auto start = Clock::now();
  const bool shown = WaitForPicture(window, picture, seconds * 1000, worthShowing);
  Print("%s %s after %d ms: %s", ViewNames[mode], shown ? "shows sound" : "shows no sound",
        MillisecondsSince(start), Describe(picture).c_str());
  return SaveBitmap(picture, bitmap) && shown ? 0 : 1;
}
