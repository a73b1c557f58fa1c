#include <gtest/gtest.h>

#include <cmath>

#include "tests/visual/frame_fixture.h"
#include "tests/visual/reference_renderers.h"
#include "visual/renderers.h"

namespace {

class BandSpectrum : public FrameTest {
 protected:
  float bins[FftBinCount] = {};

  // The bar of band x as the frame shows it: its 23 columns must agree.
  int BarRows(int band) {
    const std::vector<int> first = Column(26 * band);
    for (int column = 26 * band + 1; column < 26 * band + 23; ++column)
      EXPECT_EQ(Column(column), first) << "band " << band << " column " << column;
    int lit = 0;
    while (lit < FrameHeight && first[lit] != 0) ++lit;
    EXPECT_EQ(first, Bar(lit)) << "band " << band;
    return lit;
  }
};

TEST_F(BandSpectrum, SilenceDrawsNothing) {
  DrawBandSpectrum(bins);  // Trunc(-4) for every band
  EXPECT_TRUE(FrameIsAll(0));
}

TEST_F(BandSpectrum, QuarterInTheFirstBinGivesBandZeroItsListedHeight) {
  bins[1] = 0.25f;
  DrawBandSpectrum(bins);
  EXPECT_EQ(BarRows(0), 209);  // rows 0..208
  for (int band = 1; band < BandCount; ++band) EXPECT_EQ(BarRows(band), 0) << band;
  for (int column : {23, 24, 25, 725, 735}) EXPECT_EQ(Column(column), Bar(0)) << column;
}

TEST_F(BandSpectrum, FullBinClampsAtTheTopRow) {
  bins[1] = 1.0f;  // height 420
  DrawBandSpectrum(bins);
  EXPECT_EQ(BarRows(0), 255);
}

TEST_F(BandSpectrum, EachBandSumsExactlyItsOwnBins) {
  // Light one bin at a time, at each band's first and last bin: exactly that
  // band rises. An edge off by one moves the bin into the neighbouring band.
  for (int band = 0; band < BandCount; ++band) {
    const int first = band == 0 ? 1 : BandLastBin(band - 1) + 1;
    for (int bin : {first, BandLastBin(band)}) {
      std::fill(std::begin(bins), std::end(bins), 0.0f);
      bins[bin] = 0.05f;
      DrawBandSpectrum(bins);
      for (int other = 0; other < BandCount; ++other)
        EXPECT_EQ(BarRows(other) > 0, other == band) << "bin " << bin << " band " << other;
    }
  }
}

TEST_F(BandSpectrum, WidthCorrectionUsesTheBandsBinCount) {
  // Bins 11, 12 and 13 all feed band 10, corrected by log10(10 + 3).
  bins[11] = bins[12] = bins[13] = 0.01f;
  DrawBandSpectrum(bins);
  const float sum = 0.01f + 0.01f + 0.01f;
  EXPECT_EQ(BarRows(10), static_cast<int>(BandValue(sum, 3)) + 1);
}

TEST_F(BandSpectrum, SmallestVisibleBarIsOneRow) {
  // A value of -0.5 truncates to height 0, a single row.
  const double target = 3.5 / 433.5;
  bins[1] = static_cast<float>(target * target * std::log10(11.0));
  ASSERT_NEAR(BandValue(bins[1], 1), -0.5, 1e-6);
  DrawBandSpectrum(bins);
  EXPECT_EQ(BarRows(0), 1);
}

TEST_F(BandSpectrum, SumIsRoundedToFloatAfterEveryAddition) {
  // Band 27 (bins 793..1023): one large bin and 230 bins each below half a
  // float step of the running total. A float total never grows; a double
  // total does, and would cross into the next height.
  bins[793] = 0.401609808f;  // height 173.9995 as a float total, 174.0002 as a double one
  for (int bin = 794; bin <= 1023; ++bin) bins[bin] = 1.25e-8f;
  DrawBandSpectrum(bins);
  const double floatHeight = BandValue(bins[793], 231);
  double doubleSum = bins[793];
  for (int bin = 794; bin <= 1023; ++bin) doubleSum += bins[bin];
  const double doubleHeight = BandValue(doubleSum, 231);
  ASSERT_NE(static_cast<int>(floatHeight), static_cast<int>(doubleHeight)) << "input does not tell the sums apart";
  EXPECT_EQ(BarRows(27), static_cast<int>(floatHeight) + 1);
}

}  // namespace
