#include <algorithm>

#include "visual/drawing.h"
#include "visual/renderers.h"

namespace {
constexpr int LinearBinCount = 368;   // bins 1..368, one per even column
constexpr double HeightScale = 10 * 255;  // from about 0.0996 (254 / 2550) a bar reaches the top
constexpr int32_t HeightLimit = 255;
}  // namespace

void DrawLinearSpectrum(const float* bins) {
  // DrawBars rewrites every byte, which clears the frame as it goes.
  int16_t topRows[FrameWidth];
  std::fill(topRows, topRows + FrameWidth, -1);
  int32_t previous = 0;
  for (int x = 0; x < LinearBinCount; ++x) {
    // float x 2550 is exact in double, so the truncation sees the true product.
    const int32_t height = TruncClamped(Audible(bins[x + 1]) * HeightScale, HeightLimit);
    const int32_t average = (height + previous) / 2;
    if (x > 0 && average > 0) topRows[2 * x - 1] = static_cast<int16_t>(TopRow(average));
    previous = height;
    topRows[2 * x] = static_cast<int16_t>(TopRow(height));  // height 0 still lights row 0
  }
  DrawBars(topRows);
}
