// What the end-to-end driver and the measuring tools read off the screen: the
// program's client area as RGB pixels, and the measures the tests judge it by.
// The program draws in three colours only: black, pure green and the white prompt.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "visual/views.h"

constexpr int PictureWidth = 736;
constexpr int PictureHeight = 255;

struct Picture {
  // 0x00RRGGBB, row 0 is the bottom line (as the frame stores it).
  std::vector<uint32_t> pixels = std::vector<uint32_t>(PictureWidth * PictureHeight);
  // The client area as read, at its own size: the window's pixels, of which
  // `pixels` holds one in the middle of each frame pixel's place.
  int windowWidth = PictureWidth;
  int windowHeight = PictureHeight;
  // Neither black, green nor white; between 100 and 200 % only those wholly
  // inside one frame pixel (the edges between frame pixels mix their colours).
  int blendedPixels = 0;
  int unevenBlocks = 0;   // at a whole scale: frame pixels not shown in one colour, those with white aside
  // Between 100 and 200 %: window pixels inside one frame pixel that differ
  // from the others inside it, and edge pixels not the mix, by area, of the
  // frame pixels they cover (where those show inside pixels); white aside.
  int unsharpPixels = 0;
  // Around what is neither black nor green (the prompt), in window pixels
  // from the top left; -1 when there is none.
  int inkLeft = -1, inkTop = -1, inkRight = -1, inkBottom = -1;

  uint32_t At(int column, int row) const { return pixels[row * PictureWidth + column]; }
  bool IsGreen(int column, int row) const { return At(column, row) == 0x00FF00; }
  bool IsBlack(int column, int row) const { return At(column, row) == 0; }
};

// Fills `picture` from the client area's pixels, `width` x `height` in the
// same order, shrunk to the frame's size by nearest neighbour (between 100
// and 200 % each frame pixel solved from a window pixel that mixes it with
// its neighbours by area, taken as the nearest of black, green and white).
void FromWindowPixels(const uint32_t* window, int width, int height, Picture& picture);

// Highest green row of a column, counted from the bottom; -1 when none is lit.
int ColumnTop(const Picture& picture, int column);
int GreenCount(const Picture& picture, int column);

// White pixels: only the prompt is drawn in white (the window's own
// background, seen before the first frame, is grey).
int PromptPixels(const Picture& picture);

// Sound on screen: the one rule by which the driver, scripts/run (through
// the driver), the soak sampler and the latency probe tell it from silence.
// Silence lights one row of each column: row 0 under the bars, the centre row
// under the waveform. A column shows sound when its bar reaches SoundRow, or
// when the trace has left the centre row there. The spectrogram lights every
// row of each column it draws, sound or not: it never shows sound this way.
// `green(column, row)` reads one pixel, so that a probe can look at a few.
constexpr int SoundRow = 20;  // a bar that tall is sound, not noise
constexpr int WaveformCentreRow = 127;
template <typename Green>
bool ColumnShowsSound(int mode, int column, Green green) {
  if (mode == WaveformMode) return !green(column, WaveformCentreRow);
  if (mode == SpectrogramMode) return false;
  return green(column, SoundRow);
}
// Some column shows sound.
bool ShowsSound(const Picture& picture, int mode);

// The measures each view is judged by.
struct LinearMeasure {
  int tallestColumn = -1;  // the leftmost column of greatest height
  int tallestTop = -1;
  int highestOutside = -1;  // tallest column outside 90..92
};
LinearMeasure MeasureLinear(const Picture& picture);

struct BandMeasure {
  int tops[28] = {};
  int tallestBand = -1;
  bool gapsBlack = true;     // the three columns after each bar and 725..735
  bool barsUniform = true;   // all 23 columns of a bar equally tall
};
BandMeasure MeasureBands(const Picture& picture);

struct SpectrogramMeasure {
  int filledColumns = 0;     // full-height green columns from the left edge
  bool restBlack = true;     // every column right of them is black
};
SpectrogramMeasure MeasureSpectrogram(const Picture& picture);

struct WaveformMeasure {
  bool everyColumnLit = true;
  double amplitudeRows = 0;  // of the best-fitting sine at the given period
  double fit = 0;            // share of the trace's variance the sine explains
  double periodColumns = 0;
};
WaveformMeasure MeasureWaveform(const Picture& picture, double periodColumns);

// Writes a 24-bit BMP, top line first as BMP readers expect.
bool SaveBitmap(const Picture& picture, const std::wstring& path);
std::string Describe(const Picture& picture);
