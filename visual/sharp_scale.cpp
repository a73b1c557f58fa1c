#include "visual/sharp_scale.h"

#include <cstring>
#include <vector>

namespace {
constexpr int WeightOne = 256;

// Where window pixel i of `target` lies over the `source` frame pixels: in
// pixel `first`, with `weightOfNext` (of WeightOne) of its area in the next.
struct Tap {
  int first;
  int weightOfNext;
};

std::vector<Tap> Taps(int source, int target) {
  std::vector<Tap> taps(target);
  // In units of 1/target of a frame pixel, window pixel i spans
  // [i * source, (i + 1) * source).
  for (int i = 0; i < target; ++i) {
    const int first = i * source / target;
    const int over = (i + 1) * source - (first + 1) * target;
    taps[i] = {first, over > 0 ? (over * WeightOne + source / 2) / source : 0};
  }
  return taps;
}

uint32_t Mix(uint32_t a, uint32_t b, int weightOfB) {
  if (a == b || weightOfB == 0) return a;
  uint32_t mixed = 0;
  for (int shift = 0; shift < 24; shift += 8) {
    const uint32_t channel = (((a >> shift) & 0xFF) * (WeightOne - weightOfB) + ((b >> shift) & 0xFF) * weightOfB +
                              WeightOne / 2) / WeightOne;
    mixed |= channel << shift;
  }
  return mixed;
}

// One frame row, counted from the top, widened to the window's width.
void WidenRow(const uint8_t* frame, const uint32_t* colours, const std::vector<Tap>& columns, int rowFromTop,
              uint32_t* out) {
  const uint8_t* row = frame + (FrameHeight - 1 - rowFromTop) * FrameWidth;
  for (std::size_t x = 0; x < columns.size(); ++x) {
    const Tap tap = columns[x];
    const uint32_t colour = colours[row[tap.first]];
    out[x] = tap.weightOfNext == 0 ? colour : Mix(colour, colours[row[tap.first + 1]], tap.weightOfNext);
  }
}
}  // namespace

void ScaleFrameSharp(const uint8_t* frame, const PaletteEntry* palette, uint32_t* window, int width, int height) {
  uint32_t colours[PaletteSize];
  for (int i = 0; i < PaletteSize; ++i) {
    colours[i] = uint32_t(palette[i].red) << 16 | uint32_t(palette[i].green) << 8 | palette[i].blue;
  }
  const std::vector<Tap> columns = Taps(FrameWidth, width);
  const std::vector<Tap> rows = Taps(FrameHeight, height);
  auto sameRows = [frame](int rowFromTop) {  // this row and the one below it
    const uint8_t* row = frame + (FrameHeight - 1 - rowFromTop) * FrameWidth;
    return std::memcmp(row, row - FrameWidth, FrameWidth) == 0;
  };
  // Each frame row is widened once, and not at all when it repeats the one
  // above (the black above the bars, most of the time). Window rows step
  // through the frame's rows one at a time: `upper` is frame row `upperRow`
  // widened, `lower` the row below it.
  std::vector<uint32_t> widened[2] = {std::vector<uint32_t>(width), std::vector<uint32_t>(width)};
  const uint32_t* upper = nullptr;
  const uint32_t* lower = nullptr;
  int upperRow = -1;
  for (int y = 0; y < height; ++y) {
    const Tap tap = rows[y];
    if (tap.first != upperRow) {
      upperRow = tap.first;
      if (lower == nullptr) {
        WidenRow(frame, colours, columns, upperRow, widened[0].data());
        upper = widened[0].data();
      } else {
        upper = lower;
      }
      if (upperRow + 1 < FrameHeight) {
        if (sameRows(upperRow)) {
          lower = upper;
        } else {
          uint32_t* free = upper == widened[0].data() ? widened[1].data() : widened[0].data();
          WidenRow(frame, colours, columns, upperRow + 1, free);
          lower = free;
        }
      }
    }
    uint32_t* out = window + std::size_t(y) * width;
    if (tap.weightOfNext == 0 || upper == lower) {
      std::memcpy(out, upper, width * sizeof(uint32_t));
    } else {
      for (int x = 0; x < width; ++x) out[x] = Mix(upper[x], lower[x], tap.weightOfNext);
    }
  }
}
