#include "visual/drawing.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

void DrawColumnRuns(const ColumnRuns& runs, const RowValues& rowValues, int firstRow, int lastRow) {
  for (int row = firstRow; row <= lastRow; ++row) {
    uint8_t* line = FrameBits + row * FrameWidth;
    const uint8_t rowIndex = static_cast<uint8_t>(row);
    const uint8_t value = rowValues[row];
    int column = 0;
#if defined(__SSE2__)
    // Sixteen columns at a time: this loop writes every byte of the picture,
    // and plain byte code runs several times slower than a memset of the frame.
    const __m128i rows = _mm_set1_epi8(static_cast<char>(rowIndex));
    const __m128i values = _mm_set1_epi8(static_cast<char>(value));
    for (; column + 16 <= FrameWidth; column += 16) {
      const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(runs.low + column));
      const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(runs.high + column));
      // Unsigned low <= row and row <= high, from min/max and equality.
      const __m128i aboveLow = _mm_cmpeq_epi8(_mm_min_epu8(low, rows), low);
      const __m128i belowHigh = _mm_cmpeq_epi8(_mm_max_epu8(high, rows), high);
      const __m128i onRun = _mm_and_si128(aboveLow, belowHigh);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(line + column), _mm_and_si128(onRun, values));
    }
#endif
    for (; column < FrameWidth; ++column) {
      const bool onRun = runs.low[column] <= rowIndex && rowIndex <= runs.high[column];
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
    const bool lit = topRows[column] >= 0;
    runs.low[column] = lit ? 0 : 1;
    runs.high[column] = static_cast<uint8_t>(lit ? topRows[column] : 0);
  }
  const int tallest = *std::max_element(topRows, topRows + FrameWidth);
  DrawColumnRuns(runs, BarRowValues, 0, tallest);
  std::memset(FrameBits + (tallest + 1) * FrameWidth, 0, (FrameHeight - 1 - tallest) * FrameWidth);
}
