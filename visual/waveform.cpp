#include <algorithm>

#include "visual/drawing.h"
#include "visual/renderers.h"

namespace {
constexpr int32_t FullScale = 32767;
constexpr int32_t CentreRow = 127;

constexpr RowValues TraceRowValues = [] {
  RowValues values{};
  for (int row = 0; row < FrameHeight; ++row)
    values[row] = static_cast<uint8_t>((row > CentreRow ? row - CentreRow : CentreRow - row) * 2 + 1);
  return values;
}();

// +32767 maps to the bottom row, 0 to the centre row, -32768 to the top row.
int32_t SampleRow(int16_t sample) { return ((FullScale - sample) * FrameHeight) / 65536; }
}  // namespace

void DrawWaveform(const int16_t* samples) {
  // Each column lights one run of rows: from one row past the previous
  // sample's row to its own row, or a single pixel when they are equal (and
  // in column 0). A pixel's value depends only on its row.
  ColumnRuns runs;
  int32_t pen = SampleRow(samples[0]);
  runs.Set(0, pen, pen);
  int32_t bottom = pen, top = pen;  // the rows the trace spans
  for (int x = 1; x < WaveformSampleCount; ++x) {
    const int32_t row = SampleRow(samples[x]);
    int32_t low = row, high = row;
    if (pen < row) low = pen + 1;
    if (pen > row) high = pen - 1;
    runs.Set(x, low, high);
    bottom = std::min(bottom, low);
    top = std::max(top, high);
    pen = row;
  }

  // The frame is clear, so rewriting those rows changes only the trace's pixels.
  DrawColumnRuns(runs, TraceRowValues, bottom, top);
}
