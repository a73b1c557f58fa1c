// A frame with guard bytes on both sides, so a test notices any write that
// leaves the 187,680 bytes, and the visual core's state reset to start-up.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/visual/fakes.h"
#include "visual/frame.h"
#include "visual/tick.h"

class FrameTest : public ::testing::Test {
 protected:
  static constexpr std::size_t GuardSize = 8192;
  static constexpr uint8_t GuardByte = 0xA5;
  static constexpr uint8_t DirtyByte = 0x77;  // neither black nor anything a renderer writes

  void SetUp() override {
    FrameBits = memory.data() + GuardSize;
    FillFrame(DirtyByte);
    DisplayMode = 0;
    ScrollColumn = 0;
    QuietTicks = 0;
    TickGateClosed = false;
    ResetFakes();
  }

  void TearDown() override {
    EXPECT_TRUE(GuardsIntact()) << "a write landed outside the frame";
    FrameBits = nullptr;
  }

  void FillFrame(uint8_t value) { std::fill(FrameBits, FrameBits + FrameSize, value); }

  bool GuardsIntact() const {
    for (std::size_t i = 0; i < GuardSize; ++i)
      if (memory[i] != GuardByte || memory[GuardSize + FrameSize + i] != GuardByte) return false;
    return true;
  }

  static uint8_t Pixel(int column, int row) { return FrameBits[row * FrameWidth + column]; }

  // The column's pixels, bottom row first.
  static std::vector<int> Column(int column) {
    std::vector<int> pixels(FrameHeight);
    for (int row = 0; row < FrameHeight; ++row) pixels[row] = Pixel(column, row);
    return pixels;
  }

  // What a bar lighting `lit` rows from the bottom looks like: row r holds
  // r + 1 up to the top of the bar, 0 above it.
  static std::vector<int> Bar(int lit) {
    std::vector<int> pixels(FrameHeight, 0);
    for (int row = 0; row < lit; ++row) pixels[row] = row + 1;
    return pixels;
  }

  static bool FrameIsAll(uint8_t value) {
    return std::all_of(FrameBits, FrameBits + FrameSize, [value](uint8_t b) { return b == value; });
  }

  std::vector<uint8_t> memory = std::vector<uint8_t>(FrameSize + 2 * GuardSize, GuardByte);
};
