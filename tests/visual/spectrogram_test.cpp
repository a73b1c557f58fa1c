#include <gtest/gtest.h>

#include "tests/visual/frame_fixture.h"
#include "visual/renderers.h"

namespace {

class Spectrogram : public FrameTest {
 protected:
  void SetUp() override {
    FrameTest::SetUp();
    ClearFrame();
  }
  float bins[FftBinCount] = {};
};

TEST_F(Spectrogram, FirstTickWritesColumnZeroAndMarksColumnOne) {
  bins[1] = 0.25f;   // 0.5 x 381 = 190, clamped to 127
  bins[2] = 0.01f;   // 0.1 x 381 = 38.1
  bins[255] = 1.0f / 9.0f;  // just full intensity
  bins[256] = 1.0f;  // not a row
  DrawSpectrogram(bins);
  std::vector<int> data(FrameHeight, 128);
  data[0] = 255;
  data[1] = 166;
  data[254] = 255;
  EXPECT_EQ(Column(0), data);
  EXPECT_EQ(Column(1), std::vector<int>(FrameHeight, 255));
  for (int column = 2; column < FrameWidth; ++column) ASSERT_EQ(Column(column), Bar(0)) << column;
  EXPECT_EQ(ScrollColumn, 1);
}

TEST_F(Spectrogram, IntensityTruncatesTowardZero) {
  bins[1] = 0.0001f;  // x 381 = 3.81: truncated, not rounded
  DrawSpectrogram(bins);
  EXPECT_EQ(Pixel(0, 0), 128 + 3);
}

TEST_F(Spectrogram, WrapsFromTheLastColumnToTheFirst) {
  ScrollColumn = 735;
  DrawSpectrogram(bins);
  EXPECT_EQ(Column(735), std::vector<int>(FrameHeight, 128));
  EXPECT_EQ(Column(0), std::vector<int>(FrameHeight, 255));
  EXPECT_EQ(ScrollColumn, 0);
}

TEST_F(Spectrogram, NeverClearsAndShowsOneMarkerAfterManyTicks) {
  for (int tick = 0; tick < FrameWidth + 10; ++tick) DrawSpectrogram(bins);
  // 746 ticks: the picture has wrapped once and the marker sits at column 10.
  EXPECT_EQ(ScrollColumn, 10);
  for (int column = 0; column < FrameWidth; ++column)
    EXPECT_EQ(Pixel(column, 100), column == 10 ? 255 : 128) << column;
}

}  // namespace
