// Magnitudes come from a library outside the program: whatever they hold,
// drawing must stay defined and inside the frame.
#include <gtest/gtest.h>

#include <limits>

#include "tests/visual/frame_fixture.h"
#include "tests/visual/reference_renderers.h"
#include "visual/renderers.h"

namespace {

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float Infinity = std::numeric_limits<float>::infinity();
constexpr float Huge = std::numeric_limits<float>::max();
constexpr float Denormal = std::numeric_limits<float>::denorm_min();

// Each value with the bar height it must give: silence for NaN, negatives and
// denormals, the upper clamp for infinity and huge values.
struct Hostile {
  float value;
  bool loud;
};
const Hostile HostileValues[] = {{NaN, false},      {-NaN, false},     {Infinity, true}, {-Infinity, false},
                                 {-0.5f, false},    {-Huge, false},    {Denormal, false}, {-Denormal, false},
                                 {Huge, true},      {1e30f, true},     {3e9f, true}};

using HostileInput = FrameTest;

TEST_F(HostileInput, LinearSpectrumDrawsSilenceOrAFullBar) {
  for (const Hostile& hostile : HostileValues) {
    float bins[FftBinCount] = {};
    bins[1] = hostile.value;
    bins[2] = 0.0625f;
    DrawLinearSpectrum(bins);
    const int height = hostile.loud ? 255 : 0;
    EXPECT_EQ(Column(0), Bar(std::min(height, 254) + 1)) << hostile.value;
    EXPECT_EQ(Column(1), Bar((height + 159) / 2 + 1)) << hostile.value;
    EXPECT_EQ(Column(2), Bar(160)) << hostile.value;
  }
}

TEST_F(HostileInput, BandSpectrumIgnoresBadBinsAndClampsInfiniteSums) {
  for (const Hostile& hostile : HostileValues) {
    float bins[FftBinCount] = {};
    bins[1] = 0.25f;  // band 0 alone: 209 rows
    bins[14] = hostile.value;  // band 11 alone
    bins[15] = 0.0f;
    bins[793] = hostile.value;  // band 27, beside a normal bin
    bins[900] = 0.25f;
    DrawBandSpectrum(bins);
    EXPECT_EQ(Column(0), Bar(209)) << hostile.value;
    EXPECT_EQ(Column(26 * 11), Bar(hostile.loud ? 255 : 0)) << hostile.value;
    const int band27 = hostile.loud ? 255 : static_cast<int>(BandValue(0.25, 231)) + 1;
    EXPECT_EQ(Column(26 * 27), Bar(band27)) << hostile.value;
  }
}

TEST_F(HostileInput, BandSumThatOverflowsToInfinityIsFullScale) {
  float bins[FftBinCount] = {};
  for (int bin = 793; bin <= 1023; ++bin) bins[bin] = Huge;
  DrawBandSpectrum(bins);
  EXPECT_EQ(Column(26 * 27), Bar(255));
}

TEST_F(HostileInput, SpectrogramDrawsBaseOrFullIntensity) {
  for (const Hostile& hostile : HostileValues) {
    float bins[FftBinCount] = {};
    for (int bin = 1; bin <= 255; ++bin) bins[bin] = hostile.value;
    ScrollColumn = 735;
    DrawSpectrogram(bins);
    EXPECT_EQ(Column(735), std::vector<int>(FrameHeight, hostile.loud ? 255 : 128)) << hostile.value;
    EXPECT_EQ(ScrollColumn, 0);
  }
}

}  // namespace
