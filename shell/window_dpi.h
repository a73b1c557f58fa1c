// The DPI the window is drawn at. From 200 % up, on Windows 10 1703 and
// later, the program is system-DPI aware and shows every frame pixel as a
// block of whole pixels; below 200 % and on older Windows it stays unaware,
// and Windows stretches its 96-dpi window as it always has.
#pragma once

constexpr int DefaultDpi = 96;

// DefaultDpi, or the system's DPI once the program draws at it. Written once
// on the GUI thread before the window exists, read-only afterwards.
extern int WindowDpi;

// Before the window is created, on the GUI thread (whose awareness the
// window takes).
void ChooseWindowDpi();

// A length of the frame in window pixels: round(length * WindowDpi / 96).
constexpr int ToWindowPixels(int frameLength, int dpi) { return (frameLength * dpi + DefaultDpi / 2) / DefaultDpi; }
inline int ToWindowPixels(int frameLength) { return ToWindowPixels(frameLength, WindowDpi); }
