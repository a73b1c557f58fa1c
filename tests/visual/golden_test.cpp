// The same inputs must give the same frames, bit for bit, natively and in the
// 32-bit Windows build (where x87 arithmetic would round the band sums
// differently). The expected hashes are shared by both targets.
#include <gtest/gtest.h>

#include <cstdint>

#include "tests/support/deterministic.h"
#include "tests/visual/frame_fixture.h"
#include "visual/renderers.h"

namespace {

class Golden : public FrameTest {
 protected:
  uint64_t FrameHash() const { return Fnv1a(FrameBits, FrameSize); }

  void RandomBins(uint32_t seed, float scale) {
    Lcg lcg{seed};
    for (float& bin : bins) bin = lcg.Unit() * scale;
  }

  float bins[FftBinCount] = {};
};

TEST_F(Golden, LinearSpectrum) {
  RandomBins(1, 0.12f);
  DrawLinearSpectrum(bins);
  EXPECT_EQ(FrameHash(), 0xe439e864a0bec2acull);
}

TEST_F(Golden, BandSpectrum) {
  RandomBins(2, 0.02f);
  DrawBandSpectrum(bins);
  EXPECT_EQ(FrameHash(), 0x86d7f3dccd1cdca7ull);
}

TEST_F(Golden, BandSpectrumWhereOnlyFloatRoundingGivesTheHeight) {
  RandomBins(3, 0.01f);
  bins[793] = 0.401609808f;
  for (int bin = 794; bin <= 1023; ++bin) bins[bin] = 1.25e-8f;  // lost in a float total
  DrawBandSpectrum(bins);
  EXPECT_EQ(FrameHash(), 0x77ebc4e790b5d2d1ull);
}

TEST_F(Golden, Spectrogram) {
  ClearFrame();
  for (uint32_t tick = 0; tick < 40; ++tick) {
    RandomBins(100 + tick, 0.15f);
    DrawSpectrogram(bins);
  }
  EXPECT_EQ(FrameHash(), 0x179fcaf61439b976ull);
}

TEST_F(Golden, Waveform) {
  Lcg lcg{4};
  std::vector<int16_t> samples(WaveformSampleCount);
  for (int16_t& sample : samples) sample = lcg.Sample();
  ClearFrame();
  DrawWaveform(samples.data());
  EXPECT_EQ(FrameHash(), 0x5ff789f4110ddaddull);
}

}  // namespace
