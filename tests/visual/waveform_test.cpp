#include <gtest/gtest.h>

#include "tests/visual/frame_fixture.h"
#include "visual/renderers.h"

namespace {

class Waveform : public FrameTest {
 protected:
  void SetUp() override {
    FrameTest::SetUp();
    ClearFrame();
  }

  // The rows lit in a column, bottom first.
  static std::vector<int> LitRows(int column) {
    std::vector<int> rows;
    for (int row = 0; row < FrameHeight; ++row)
      if (Pixel(column, row) != 0) rows.push_back(row);
    return rows;
  }

  static std::vector<int> Rows(int low, int high) {
    std::vector<int> rows;
    for (int row = low; row <= high; ++row) rows.push_back(row);
    return rows;
  }

  std::vector<int16_t> samples = std::vector<int16_t>(WaveformSampleCount, 0);
};

TEST_F(Waveform, SilenceIsAFlatLineOnTheCentreRow) {
  DrawWaveform(samples.data());
  for (int column = 0; column < FrameWidth; ++column) {
    EXPECT_EQ(LitRows(column), std::vector<int>{127}) << column;
    EXPECT_EQ(Pixel(column, 127), 1) << column;
  }
}

TEST_F(Waveform, FirstColumnIsASinglePixelAndTheNextRunsFromOnePastIt) {
  samples[0] = 32767;   // row 0
  samples[1] = -32768;  // row 254
  samples[2] = -32768;
  samples[3] = 0;       // back down to row 127
  DrawWaveform(samples.data());
  EXPECT_EQ(LitRows(0), std::vector<int>{0});
  EXPECT_EQ(Pixel(0, 0), 255);
  EXPECT_EQ(LitRows(1), Rows(1, 254));
  EXPECT_EQ(LitRows(2), std::vector<int>{254});
  EXPECT_EQ(LitRows(3), Rows(127, 253));
  for (int row = 1; row <= 254; ++row)
    EXPECT_EQ(Pixel(1, row), std::abs(row - 127) * 2 + 1) << row;
}

TEST_F(Waveform, RowBoundariesFollowTheIntegerScale) {
  samples[0] = -129;  // (32767 + 129) * 255 / 65536 = 127.99..
  samples[1] = -130;  // 128.00..
  samples[2] = 32766;
  DrawWaveform(samples.data());
  EXPECT_EQ(LitRows(0), std::vector<int>{127});
  EXPECT_EQ(LitRows(1), std::vector<int>{128});
  EXPECT_EQ(LitRows(2), Rows(0, 127));
  EXPECT_EQ(Pixel(1, 128), 3);
}

TEST_F(Waveform, FullScaleAlternationStaysInsideTheFrame) {
  for (int x = 0; x < WaveformSampleCount; ++x) samples[x] = x % 2 ? -32768 : 32767;
  DrawWaveform(samples.data());
  EXPECT_EQ(LitRows(0), std::vector<int>{0});
  for (int column = 1; column < FrameWidth; ++column)
    ASSERT_EQ(LitRows(column), column % 2 ? Rows(1, 254) : Rows(0, 253)) << column;
}

}  // namespace
