#include "visual/drawing.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

void DrawColumnRuns(const ColumnRuns& runs, const RowValues& rowValues, int firstRow, int lastRow) {
  for (int row = firstRow; row <= lastRow; ++row) {
    uint8_t* line = FrameBits + row * FrameWidth;
    const int8_t offsetRow = static_cast<int8_t>(row - 128);
    const uint8_t value = rowValues[row];
    int column = 0;
#if defined(__SSE2__)
    // Sixteen columns at a time: this loop writes every byte of the picture,
    // and byte by byte it runs several times slower than a memset of the frame.
    const __m128i rows = _mm_set1_epi8(offsetRow);
    const __m128i values = _mm_set1_epi8(static_cast<char>(value));
    // Two blocks per turn of the loop: measured 10-20 % faster than one.
#pragma GCC unroll 2
    for (; column + 16 <= FrameWidth; column += 16) {
      const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(runs.low + column));
      const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(runs.high + column));
      const __m128i offRun = _mm_or_si128(_mm_cmpgt_epi8(low, rows), _mm_cmpgt_epi8(rows, high));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(line + column), _mm_andnot_si128(offRun, values));
    }
#endif
    for (; column < FrameWidth; ++column) {
      const bool onRun = runs.low[column] <= offsetRow && offsetRow <= runs.high[column];
      line[column] = onRun ? value : 0;
    }
  }
}

namespace {
constexpr RowValues BarRowValues = [] {
  RowValues values{};
  for (int row = 0; row < FrameHeight; ++row) values[row] = static_cast<uint8_t>(row + 1);
  return values;
}();
}  // namespace

void DrawBars(const int16_t (&topRows)[FrameWidth]) {
  ColumnRuns runs;
  for (int column = 0; column < FrameWidth; ++column) {
    if (topRows[column] >= 0) runs.Set(column, 0, topRows[column]);
    else runs.SetEmpty(column);
  }
  const int tallest = *std::max_element(topRows, topRows + FrameWidth);
  DrawColumnRuns(runs, BarRowValues, 0, tallest);
  std::memset(FrameBits + (tallest + 1) * FrameWidth, 0, (FrameHeight - 1 - tallest) * FrameWidth);
}
