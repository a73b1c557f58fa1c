// Plain transcriptions of the renderers' drawing rules, pixel by pixel and
// column by column, for the tests to hold the row-by-row renderers against.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "visual/frame.h"

inline void Put(std::vector<uint8_t>& frame, int column, int row, int value) {
  ASSERT_TRUE(column >= 0 && column < FrameWidth && row >= 0 && row < FrameHeight);
  frame[row * FrameWidth + column] = static_cast<uint8_t>(value);
}

inline std::vector<uint8_t> ReferenceLinear(const float* bins) {
  std::vector<uint8_t> frame(FrameSize, 0);
  int prev = 0;
  for (int x = 0; x < 368; ++x) {
    int h = static_cast<int>(static_cast<double>(bins[x + 1]) * 10 * 255);
    if (h > 255) h = 255;
    const int avg = (h + prev) / 2;
    if (x > 0 && avg > 0)
      for (int r = std::min(avg, 254); r >= 0; --r) Put(frame, 2 * x - 1, r, r + 1);
    prev = h;
    for (int r = std::min(h, 254); r >= 0; --r) Put(frame, 2 * x, r, r + 1);
  }
  return frame;
}

// A band's height before truncation and clamping: its total, corrected by
// log10(10 + the number of bins summed).
inline double BandValue(double sum, int binCount) {
  return std::sqrt(sum / std::log10(static_cast<double>(10 + binCount))) * 1.7 * 255 - 4;
}

inline std::vector<uint8_t> ReferenceBands(const float* bins) {
  std::vector<uint8_t> frame(FrameSize, 0);
  int b0 = 0;
  for (int x = 0; x < 28; ++x) {
    float sum = 0;
    int b1 = static_cast<int>(std::pow(2.0, x * 10 / 27.0));
    if (b1 > 1023) b1 = 1023;
    if (b1 <= b0) b1 = b0 + 1;
    const int width = b1 - b0;
    for (; b0 < b1; ++b0) sum = sum + bins[b0 + 1];
    int h = static_cast<int>(BandValue(sum, width));
    if (h > 255) h = 255;
    for (int r = std::min(h, 254); r >= 0; --r)
      for (int column = 26 * x; column <= 26 * x + 22; ++column) Put(frame, column, r, r + 1);
  }
  return frame;
}

inline void ReferenceSpectrogram(std::vector<uint8_t>& frame, int& scrollColumn, const float* bins) {
  int col = scrollColumn;
  for (int x = 0; x < 255; ++x) {
    int v = static_cast<int>(std::sqrt(static_cast<double>(bins[x + 1])) * 3 * 127);
    if (v > 127) v = 127;
    Put(frame, col, x, 128 + v);
  }
  col = (col + 1) % 736;
  scrollColumn = col;
  for (int x = 0; x < 255; ++x) Put(frame, col, x, 255);
}

inline std::vector<uint8_t> ReferenceWaveform(const int16_t* samples) {
  std::vector<uint8_t> frame(FrameSize, 0);
  int cur = 0;
  for (int x = 0; x < 736; ++x) {
    const int y = ((32767 - samples[x]) * 255) / 65536;
    if (x == 0) cur = y;
    do {
      if (cur < y) ++cur;
      else if (cur > y) --cur;
      Put(frame, x, cur, std::abs(cur - 127) * 2 + 1);
    } while (cur != y);
  }
  return frame;
}
