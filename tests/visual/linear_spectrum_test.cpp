#include <gtest/gtest.h>

#include <cmath>

#include "tests/visual/frame_fixture.h"
#include "visual/renderers.h"

namespace {

class LinearSpectrum : public FrameTest {
 protected:
  float bins[FftBinCount] = {};
};

TEST_F(LinearSpectrum, SilenceLightsOnlyRowZeroOfTheEvenColumns) {
  DrawLinearSpectrum(bins);
  for (int column = 0; column < FrameWidth; ++column) {
    const bool even = column % 2 == 0 && column < 735;
    EXPECT_EQ(Column(column), Bar(even ? 1 : 0)) << "column " << column;
  }
}

TEST_F(LinearSpectrum, OddColumnsAverageTheirNeighboursRoundingDown) {
  bins[1] = 0.0625f;  // height 159
  DrawLinearSpectrum(bins);
  EXPECT_EQ(Column(0), Bar(160));
  EXPECT_EQ(Column(1), Bar(80));  // (159 + 0) div 2 = 79
  EXPECT_EQ(Column(2), Bar(1));
  EXPECT_EQ(Column(3), Bar(0));
}

TEST_F(LinearSpectrum, FullBarStopsAtTheTopRowButAveragesWithTheClampedHeight) {
  bins[5] = 0.5f;  // 1275, clamped to 255
  DrawLinearSpectrum(bins);
  EXPECT_EQ(Column(8), Bar(255));
  EXPECT_EQ(Column(7), Bar(128));  // (0 + 255) div 2 = 127
  EXPECT_EQ(Column(9), Bar(128));
}

TEST_F(LinearSpectrum, HeightTruncatesTowardZero) {
  // The float nearest 254 / 2550 lies just below it (x 2550 = 253.99999), so
  // its bar stops one row short of the top; the next float up reaches it.
  bins[1] = std::nextafter(254.0f / 2550.0f, 1.0f);
  bins[2] = 254.0f / 2550.0f;
  bins[3] = 0.00117f;  // 2.98: two rows above row 0, where rounding would give three
  bins[4] = 0.00039f;  // 0.99: row 0 only
  DrawLinearSpectrum(bins);
  EXPECT_EQ(Column(0), Bar(255));
  EXPECT_EQ(Column(2), Bar(254));
  EXPECT_EQ(Column(4), Bar(3));
  EXPECT_EQ(Column(6), Bar(1));
}

TEST_F(LinearSpectrum, ReadsOnlyBinsOneTo368AndRewritesTheWholeFrame) {
  for (float& bin : bins) bin = 0.5f;
  bins[0] = 0.0f;
  const std::vector<int> full = Bar(255);
  DrawLinearSpectrum(bins);  // over a dirty frame
  for (int column = 0; column < 735; ++column) EXPECT_EQ(Column(column), full) << column;
  EXPECT_EQ(Column(735), Bar(0));

  float onlyOutside[FftBinCount] = {};
  onlyOutside[0] = 1.0f;
  onlyOutside[369] = 1.0f;
  onlyOutside[1023] = 1.0f;
  DrawLinearSpectrum(onlyOutside);
  for (int column = 0; column < FrameWidth; ++column)
    EXPECT_EQ(Column(column), Bar(column % 2 == 0 && column < 735 ? 1 : 0)) << column;
}

}  // namespace
