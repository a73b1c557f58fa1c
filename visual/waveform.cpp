#include <algorithm>

#include "visual/drawing.h"
#include "visual/renderers.h"

namespace {
constexpr int32_t FullScale = 32767;
constexpr int32_t CentreRow = 127;

// +32767 maps to the bottom row, 0 to the centre row, -32768 to the top row.
int32_t SampleRow(int16_t sample) { return ((FullScale - sample) * FrameHeight) / 65536; }
}  // namespace

void DrawWaveform(const int16_t* samples) {
  // Each column lights one run of rows: from one row past the previous
  // sample's row to its own row, or a single pixel when they are equal (and
  // in column 0). The runs are gathered first and then written row by row,
  // since a pixel's value depends only on its row.
  uint8_t runLow[FrameWidth];
  uint8_t runHigh[FrameWidth];
  int32_t pen = SampleRow(samples[0]);
  runLow[0] = runHigh[0] = static_cast<uint8_t>(pen);
  for (int x = 1; x < WaveformSampleCount; ++x) {
    const int32_t row = SampleRow(samples[x]);
    int32_t low = row, high = row;
    if (pen < row) low = pen + 1;
    if (pen > row) high = pen - 1;
    runLow[x] = static_cast<uint8_t>(low);
    runHigh[x] = static_cast<uint8_t>(high);
    pen = row;
  }

  const int bottom = *std::min_element(runLow, runLow + FrameWidth);
  const int top = *std::max_element(runHigh, runHigh + FrameWidth);
  for (int row = bottom; row <= top; ++row) {
    uint8_t* line = FrameBits + row * FrameWidth;
    const int distance = row > CentreRow ? row - CentreRow : CentreRow - row;
    const uint8_t value = static_cast<uint8_t>(distance * 2 + 1);
    // The frame is clear, so writing 0 off the runs changes nothing and keeps the loop branch-free.
    for (int column = 0; column < FrameWidth; ++column)
      line[column] = (runLow[column] <= row && row <= runHigh[column]) ? value : 0;
  }
}
