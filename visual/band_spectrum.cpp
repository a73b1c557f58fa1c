#include <algorithm>
#include <cmath>

#include "visual/drawing.h"
#include "visual/renderers.h"

namespace {
constexpr int LastBin = 1023;
constexpr int WidthOffset = 10;
constexpr double Gain = 1.7;
constexpr double FloorOffset = 4;
constexpr int32_t HeightLimit = 255;
constexpr int BarPitch = 26;
constexpr int BarWidth = 23;

struct Band {
  int firstBin;
  int lastBin;
  double widthCorrection;  // log10(10 + the band's bin count)
};

struct BandTable {
  Band bands[BandCount];

  BandTable() {
    int consumed = 0;
    for (int x = 0; x < BandCount; ++x) {
      int last = static_cast<int>(std::pow(2.0, x * 10 / 27.0));
      if (last > LastBin) last = LastBin;
      if (last <= consumed) last = consumed + 1;  // every band gets at least one bin
      bands[x] = {consumed + 1, last, std::log10(static_cast<double>(WidthOffset + last - consumed))};
      consumed = last;
    }
  }
};

// The edges depend on nothing but the band number: work them out once.
const BandTable& Bands() {
  static const BandTable table;
  return table;
}
}  // namespace

int BandLastBin(int band) { return Bands().bands[band].lastBin; }

void DrawBandSpectrum(const float* bins) {
  // DrawBars rewrites every byte, which clears the frame as it goes.
  int16_t topRows[FrameWidth];
  std::fill(topRows, topRows + FrameWidth, -1);
  for (int x = 0; x < BandCount; ++x) {
    const Band& band = Bands().bands[x];
    // The total is a float on purpose: rounding after each addition is part
    // of the picture (a double total gives other heights).
    float sum = 0;
    for (int bin = band.firstBin; bin <= band.lastBin; ++bin)
      sum += static_cast<float>(Audible(bins[bin]));
    const double value = std::sqrt(sum / band.widthCorrection) * Gain * 255 - FloorOffset;
    const int32_t height = TruncClamped(value, HeightLimit);
    std::fill(topRows + BarPitch * x, topRows + BarPitch * x + BarWidth, static_cast<int16_t>(TopRow(height)));
  }
  DrawBars(topRows);
}
