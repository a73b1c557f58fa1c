// The renderers draw row by row for speed. Here each is checked against the
// plain transcription of its drawing rules, on many random inputs.
#include <gtest/gtest.h>

#include <cmath>

#include "tests/support/deterministic.h"
#include "tests/visual/frame_fixture.h"
#include "tests/visual/reference_renderers.h"
#include "visual/renderers.h"

namespace {

class AgainstReference : public FrameTest {
 protected:
  // Magnitudes spread over every height: most small, some past the clamps.
  // At the smallest scale even the widest bands stay below the clamp, so
  // that their edges show.
  void RandomBins(Lcg& random) {
    const float pick = random.Unit();
    const float scale = pick < 0.3f ? 0.002f : (pick < 0.65f ? 0.02f : 0.3f);
    for (float& bin : bins) bin = random.Unit() * random.Unit() * scale;
  }
  std::vector<uint8_t> Frame() const { return std::vector<uint8_t>(FrameBits, FrameBits + FrameSize); }
  float bins[FftBinCount] = {};
};

TEST_F(AgainstReference, LinearAndBandSpectra) {
  Lcg random{42};
  for (int round = 0; round < 200; ++round) {
    RandomBins(random);
    DrawLinearSpectrum(bins);
    ASSERT_EQ(Frame(), ReferenceLinear(bins)) << "round " << round;
    DrawBandSpectrum(bins);
    ASSERT_EQ(Frame(), ReferenceBands(bins)) << "round " << round;
  }
}

TEST_F(AgainstReference, SpectrogramOverSeveralWraps) {
  Lcg random{7};
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
  Lcg random{9};
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
