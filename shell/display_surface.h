// The Windows side of the frame: a palettised DIB section whose pixel memory
// is FrameBits, selected into a memory device context from which the frame is
// copied to the window. Also gives the Windows form of the presentation
// operations (visual/presentation.h) that the frame tick calls.
#pragma once

#include <windows.h>

extern HBITMAP FrameBitmap;  // the DIB section; 0 until created
extern HDC MemoryDC;         // holds FrameBitmap; 0 until created

// WM_CREATE: builds the bitmap from FramePalette and points FrameBits at it.
// FrameBits stays null when the bitmap cannot be created.
void CreateDisplaySurface();

// WM_CREATE, after the surface, and WM_DPICHANGED: the copies, the prompt's
// font and its place at `dpi` from the next copy on, the tick's and the
// paint's alike. The font made for the DPI before is deleted.
void SetSurfaceDpi(int dpi);

// WM_PAINT: copies the whole frame to the window. False when there is nothing
// to update, so that the default handling runs.
bool PaintWindow(HWND window);

// WM_DESTROY, once no tick can run any more: the device context, then the bitmap.
void ReleaseDisplaySurface();
