// The frame enlarged by a factor between 1 and 2 without blur: each frame
// pixel covers the same k x k area of the window, a window pixel wholly inside
// one frame pixel shows its colour exactly, and only a window pixel on an edge
// between frame pixels mixes their colours, in proportion to the area it
// covers of each. (Nearest neighbour would make some frame pixels one window
// pixel wide and others two; a smooth stretch blurs every line.)
#pragma once

#include <cstdint>

#include "visual/frame.h"

// Writes the frame `frame` (bottom row first), shown through `palette`, into
// `window`: `width` x `height` pixels, top row first, each 0x00RRGGBB (a
// 32-bit DIB's layout). The sizes lie between the frame's and twice it.
void ScaleFrameSharp(const uint8_t* frame, const PaletteEntry* palette, uint32_t* window, int width, int height);
