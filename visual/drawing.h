// Helpers the renderers share. Not part of the visual core's interface.
#pragma once

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

// Redraws the whole frame from bars standing on the bottom row: column j
// lights rows 0 .. litRows[j] - 1, each pixel holding its row number + 1, and
// every other pixel becomes 0. Written row by row: a column at a time would
// touch one byte per 736-byte row and run about 20 times slower.
void FillBarsByRows(const uint8_t (&litRows)[FrameWidth]);
