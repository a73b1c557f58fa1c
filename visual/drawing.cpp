#include "visual/drawing.h"

#include <algorithm>
#include <cstring>

void FillBarsByRows(const uint8_t (&litRows)[FrameWidth]) {
  const int tallest = *std::max_element(litRows, litRows + FrameWidth);
  for (int row = 0; row < tallest; ++row) {
    uint8_t* line = FrameBits + row * FrameWidth;
    const uint8_t value = static_cast<uint8_t>(row + 1);
    for (int column = 0; column < FrameWidth; ++column)
      line[column] = row < litRows[column] ? value : 0;
  }
  std::memset(FrameBits + tallest * FrameWidth, 0, (FrameHeight - tallest) * FrameWidth);
}
