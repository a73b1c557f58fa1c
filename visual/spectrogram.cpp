#include <cmath>

#include "visual/drawing.h"
#include "visual/renderers.h"
#include "visual/tick.h"

namespace {
constexpr double IntensityGain = 3 * 127;  // a magnitude of 1/9 gives full intensity
constexpr int32_t IntensityLimit = 127;
constexpr int IntensityBase = 128;
constexpr uint8_t MarkerValue = 255;
}  // namespace

void DrawSpectrogram(const float* bins) {
  int32_t column = ScrollColumn;
  for (int row = 0; row < FrameHeight; ++row) {
    const int32_t intensity = TruncClamped(std::sqrt(Audible(bins[row + 1])) * IntensityGain, IntensityLimit);
    FrameBits[row * FrameWidth + column] = static_cast<uint8_t>(IntensityBase + intensity);
  }
  column = (column + 1) % FrameWidth;
  ScrollColumn = column;
  for (int row = 0; row < FrameHeight; ++row) FrameBits[row * FrameWidth + column] = MarkerValue;
}
