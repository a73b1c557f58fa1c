// The renderers draw row by row for speed. Here each is checked against a
// plain transcription of its drawing rules, pixel by pixel and column by
// column, on many random inputs.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tests/visual/frame_fixture.h"
#include "visual/renderers.h"

namespace {

void Put(std::vector<uint8_t>& frame, int column, int row, int value) {
  ASSERT_TRUE(column >= 0 && column < FrameWidth && row >= 0 && row < FrameHeight);
  frame[row * FrameWidth + column] = static_cast<uint8_t>(value);
}

std::vector<uint8_t> ReferenceLinear(const float* bins) {
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

std::vector<uint8_t> ReferenceBands(const float* bins) {
  std::vector<uint8_t> frame(FrameSize, 0);
  int b0 = 0;
  for (int x = 0; x < 28; ++x) {
    float sum = 0;
    int b1 = static_cast<int>(std::pow(2.0, x * 10 / 27.0));
    if (b1 > 1023) b1 = 1023;
    if (b1 <= b0) b1 = b0 + 1;
    const int sc = 10 + b1 - b0;
    for (; b0 < b1; ++b0) sum = sum + bins[b0 + 1];
    int h = static_cast<int>(std::sqrt(sum / std::log10(static_cast<double>(sc))) * 1.7 * 255 - 4);
    if (h > 255) h = 255;
    for (int r = std::min(h, 254); r >= 0; --r)
      for (int column = 26 * x; column <= 26 * x + 22; ++column) Put(frame, column, r, r + 1);
  }
  return frame;
}

void ReferenceSpectrogram(std::vector<uint8_t>& frame, int& scrollColumn, const float* bins) {
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

std::vector<uint8_t> ReferenceWaveform(const int16_t* samples) {
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

struct Random {
  uint32_t state;
  uint32_t Next() { return state = state * 1664525u + 1013904223u; }
  float Unit() { return static_cast<float>(Next() >> 8) / 16777216.0f; }
};

class AgainstReference : public FrameTest {
 protected:
  // Magnitudes spread over every height: most small, some past the clamps.
  void RandomBins(Random& random) {
    const float scale = random.Unit() < 0.5f ? 0.02f : 0.3f;
    for (float& bin : bins) bin = random.Unit() * random.Unit() * scale;
  }
  std::vector<uint8_t> Frame() const { return std::vector<uint8_t>(FrameBits, FrameBits + FrameSize); }
  float bins[FftBinCount] = {};
};

TEST_F(AgainstReference, LinearAndBandSpectra) {
  Random random{42};
  for (int round = 0; round < 200; ++round) {
    RandomBins(random);
    DrawLinearSpectrum(bins);
    ASSERT_EQ(Frame(), ReferenceLinear(bins)) << "round " << round;
    DrawBandSpectrum(bins);
    ASSERT_EQ(Frame(), ReferenceBands(bins)) << "round " << round;
  }
}

TEST_F(AgainstReference, SpectrogramOverSeveralWraps) {
  Random random{7};
  std::vector<uint8_t> reference(FrameSize, 0);
  int referenceColumn = 0;
  ClearFrame();
  for (int tick = 0; tick < 2000; ++tick) {
    RandomBins(random);
    DrawSpectrogram(bins);
    ReferenceSpectrogram(reference, referenceColumn, bins);
  }
  EXPECT_EQ(ScrollColumn, referenceColumn);
  EXPECT_EQ(Frame(), reference);
}

TEST_F(AgainstReference, Waveform) {
  Random random{9};
  std::vector<int16_t> samples(WaveformSampleCount);
  for (int round = 0; round < 200; ++round) {
    // Sines of random pitch and level, plus noise: long runs and short ones.
    const float level = random.Unit() * 40000.0f;
    const float step = random.Unit() * 0.5f;
    for (int x = 0; x < WaveformSampleCount; ++x) {
      const float value = level * std::sin(step * x) + (random.Unit() - 0.5f) * 2000.0f;
      samples[x] = static_cast<int16_t>(std::max(-32768.0f, std::min(32767.0f, value)));
    }
    ClearFrame();
    DrawWaveform(samples.data());
    ASSERT_EQ(Frame(), ReferenceWaveform(samples.data())) << "round " << round;
  }
}

}  // namespace
