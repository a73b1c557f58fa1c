// Helpers the renderers share. Not part of the visual core's interface.
#pragma once

#include <array>
#include <cstdint>

#include "visual/frame.h"

// Magnitudes come from a library outside the program: NaN and negative values
// count as silence.
inline double Audible(float magnitude) { return magnitude > 0.0f ? magnitude : 0.0; }

// Truncates toward zero, with the formula's upper clamp applied before the
// conversion: converting a value beyond int's range is undefined behaviour.
inline int32_t TruncClamped(double value, int32_t upper) {
  if (!(value < upper + 1.0)) return upper;
  return static_cast<int32_t>(value);
}

// Highest row a bar of the given height may light: a clamped height of 255
// would put its top pixel one row above the frame.
inline int32_t TopRow(int32_t height) { return height < FrameHeight - 1 ? height : FrameHeight - 1; }

using RowValues = std::array<uint8_t, FrameHeight>;

// One run of lit rows per column, low..high inclusive. Rows are kept offset by
// -128, as signed bytes, so that SSE2's signed byte compare can test them.
struct ColumnRuns {
  int8_t low[FrameWidth];
  int8_t high[FrameWidth];

  void Set(int column, int lowRow, int highRow) {
    low[column] = static_cast<int8_t>(lowRow - 128);
    high[column] = static_cast<int8_t>(highRow - 128);
  }
  void SetEmpty(int column) { Set(column, FrameHeight, 0); }
};

// Rewrites rows firstRow..lastRow whole: each pixel on its column's run gets
// its row's value, every other pixel 0. Row by row, because a column at a
// time touches one byte per 736-byte row and runs about 20 times slower.
void DrawColumnRuns(const ColumnRuns& runs, const RowValues& rowValues, int firstRow, int lastRow);

// Redraws the whole frame with bars standing on the bottom row: column j
// lights rows 0..topRows[j] (none when it is negative), each pixel holding its
// row number + 1.
void DrawBars(const int16_t (&topRows)[FrameWidth]);
