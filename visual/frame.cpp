#include "visual/frame.h"

#include <cstring>

uint8_t* FrameBits = nullptr;
PaletteEntry FramePalette[PaletteSize] = {};

void ClearFrame() {
  if (FrameBits == nullptr) return;  // no surface: nothing to clear, nothing to show
  std::memset(FrameBits, 0, FrameSize);
}

void FillPalette() {
  for (int index = 1; index < PaletteSize; ++index) FramePalette[index].green = 255;
}
