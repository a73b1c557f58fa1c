// The frame every view is drawn into: 736 x 255 bytes of palette indices,
// bottom row first, and the 256-colour table it is shown through.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int FrameWidth = 736;
constexpr int FrameHeight = 255;
constexpr std::size_t FrameSize = std::size_t(FrameWidth) * FrameHeight;  // 187,680 bytes

// The byte for column j, row r is FrameBits[r * FrameWidth + j]; row 0 is the
// bottom line. On Windows this is the display surface's pixel memory, null
// until the surface exists (and for good if it could not be created).
extern uint8_t* FrameBits;

// One colour-table entry, in the byte order the display surface expects.
struct PaletteEntry {
  uint8_t blue;
  uint8_t green;
  uint8_t red;
  uint8_t reserved;
};
constexpr int PaletteSize = 256;
extern PaletteEntry FramePalette[PaletteSize];

// Sets every byte of the frame to 0 (black).
void ClearFrame();

// Index 0 stays black; indices 1..255 all become pure green.
void FillPalette();
