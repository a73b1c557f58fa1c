#include <gtest/gtest.h>

#include "tests/visual/frame_fixture.h"

using FrameBuffer = FrameTest;

TEST_F(FrameBuffer, ClearFrameBlackensEveryByteAndNothingElse) {
  ClearFrame();
  EXPECT_TRUE(FrameIsBlack());
}

TEST_F(FrameBuffer, RowZeroIsTheBottomAndRowsLieBackToBack) {
  ClearFrame();
  FrameBits[0 * FrameWidth + 0] = 9;      // bottom-left
  FrameBits[254 * FrameWidth + 735] = 7;  // top-right
  EXPECT_EQ(FrameSize, 187680u);
  EXPECT_EQ(FrameBits[0], 9);
  EXPECT_EQ(FrameBits[187679], 7);
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
