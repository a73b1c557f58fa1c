#include <gtest/gtest.h>

#include "tests/visual/frame_fixture.h"
#include "visual/drawing.h"

using FrameBuffer = FrameTest;

TEST_F(FrameBuffer, ClearFrameBlackensEveryByteAndNothingElse) {
  ClearFrame();
  EXPECT_TRUE(FrameIsAll(0));
}

TEST_F(FrameBuffer, RowZeroIsTheBottomAndRowsLieBackToBack) {
  // Through the row writer every view but the spectrogram draws with: one
  // pixel per column, climbing from bottom-left to top-right, valued row + 1.
  ColumnRuns runs;
  RowValues rowValues;
  for (int row = 0; row < FrameHeight; ++row) rowValues[row] = static_cast<uint8_t>(row + 1);
  for (int column = 0; column < FrameWidth; ++column) runs.Set(column, column * 254 / 735, column * 254 / 735);
  DrawColumnRuns(runs, rowValues, 0, FrameHeight - 1);
  EXPECT_EQ(FrameBits[0], 1);         // bottom-left
  EXPECT_EQ(FrameBits[187679], 255);  // top-right
  for (std::size_t i = 0; i < FrameSize; ++i) {
    const int row = static_cast<int>(i / 736), column = static_cast<int>(i % 736);
    ASSERT_EQ(FrameBits[i], row == column * 254 / 735 ? row + 1 : 0) << "byte " << i;
  }
}

TEST_F(FrameBuffer, ClearFrameWithoutSurfaceDoesNothing) {
  FrameBits = nullptr;
  ClearFrame();  // must not crash
  FrameBits = memory.data() + GuardSize;
  EXPECT_EQ(Pixel(0, 0), DirtyByte);
}

TEST(FramePaletteTest, BlackBackgroundAndOneGreenForEveryOtherIndex) {
  FillPalette();
  EXPECT_EQ(FramePalette[0].blue, 0);
  EXPECT_EQ(FramePalette[0].green, 0);
  EXPECT_EQ(FramePalette[0].red, 0);
  EXPECT_EQ(FramePalette[0].reserved, 0);
  for (int index : {1, 128, 255}) {
    EXPECT_EQ(FramePalette[index].blue, 0) << index;
    EXPECT_EQ(FramePalette[index].green, 255) << index;
    EXPECT_EQ(FramePalette[index].red, 0) << index;
    EXPECT_EQ(FramePalette[index].reserved, 0) << index;
  }
  // The table is laid out as the display surface's colour table expects.
  static_assert(sizeof(FramePalette) == 1024);
  EXPECT_EQ(reinterpret_cast<const uint8_t*>(FramePalette)[4 * 255 + 1], 255);
}
