#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "tests/support/deterministic.h"
#include "tests/visual/frame_fixture.h"
#include "visual/drawing.h"
#include "visual/sharp_scale.h"

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

// The window between 100 and 200 %: a seeded frame, about half its rows
// repeated, through a palette of distinct colours, against each window
// pixel's colour averaged over the frame pixels it covers, by area. Inside one frame pixel that average is its
// colour exactly; on an edge the two passes may each round by one.
class SharpScale : public FrameTest, public ::testing::WithParamInterface<int> {};

TEST_P(SharpScale, InsidePixelsExactAndEdgesMixedByArea) {
  const int dpi = GetParam();
  const int width = (FrameWidth * dpi + 48) / 96, height = (FrameHeight * dpi + 48) / 96;
  PaletteEntry palette[PaletteSize];
  for (int i = 0; i < PaletteSize; ++i) palette[i] = {uint8_t(i), uint8_t(255 - i), uint8_t(i * 7), 0};
  Lcg random{uint32_t(dpi)};
  for (std::size_t i = 0; i < FrameSize; ++i) FrameBits[i] = uint8_t(random.Next() >> 24);
  for (int row = 1; row < FrameHeight; ++row) {  // about half the rows repeat the one below
    if (random.Next() >> 31) std::copy_n(FrameBits + (row - 1) * FrameWidth, FrameWidth, FrameBits + row * FrameWidth);
  }
  std::vector<uint32_t> window(std::size_t(width) * height + 1, 0xDEADBEEF);
  ScaleFrameSharp(FrameBits, palette, window.data(), width, height);
  ASSERT_EQ(window.back(), 0xDEADBEEF) << "a write past the window";

  // Frame pixel j spans [j * size / frame, (j + 1) * size / frame) of the window.
  auto overlap = [](int pixel, int j, int size, int frame) {
    const double low = std::max(double(pixel), double(j) * size / frame);
    const double high = std::min(pixel + 1.0, double(j + 1) * size / frame);
    return std::max(0.0, high - low);
  };
  int inside = 0, edges = 0;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      double expected[3] = {};
      bool wholly = false;
      for (int r = y * FrameHeight / height; r <= std::min(FrameHeight - 1, (y + 1) * FrameHeight / height); ++r) {
        for (int j = x * FrameWidth / width; j <= std::min(FrameWidth - 1, (x + 1) * FrameWidth / width); ++j) {
          const double area = overlap(x, j, width, FrameWidth) * overlap(y, r, height, FrameHeight);
          const PaletteEntry colour = palette[FrameBits[(FrameHeight - 1 - r) * FrameWidth + j]];
          expected[0] += area * colour.red, expected[1] += area * colour.green, expected[2] += area * colour.blue;
          wholly = wholly || area == 1.0;
        }
      }
      const uint32_t shown = window[std::size_t(y) * width + x];
      const int channels[3] = {int(shown >> 16 & 0xFF), int(shown >> 8 & 0xFF), int(shown & 0xFF)};
      for (int c = 0; c < 3; ++c) {
        const double off = std::abs(channels[c] - expected[c]);
        ASSERT_LE(off, wholly ? 0.0 : 2.0) << "window pixel " << x << "," << y << " channel " << c;
      }
      ASSERT_EQ(shown >> 24, 0u);
      (wholly ? inside : edges)++;
    }
  }
  EXPECT_GT(inside, 0);
  EXPECT_GT(edges, 0);
}

INSTANTIATE_TEST_SUITE_P(Dpi, SharpScale, ::testing::Values(100, 120, 144, 168, 190));
