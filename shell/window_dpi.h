// The DPI the window is drawn at. On Windows 10 1703 and later the program is
// per-monitor DPI aware: the window is drawn at its own monitor's DPI and
// follows it from monitor to monitor. On older Windows, or where the program
// is kept unaware, Windows stretches its 96-dpi window as it always has.
#pragma once

#include <windows.h>

constexpr int DefaultDpi = 96;

// DefaultDpi, or the DPI the window is drawn at. Written on the GUI thread:
// before the window exists, and then under FrameLock (WM_CREATE,
// WM_DPICHANGED), so the tick reads it under FrameLock.
extern int WindowDpi;

// The DPI the system's stock font was made for: 96 where the program is
// unaware, the system's where it is aware. Written once before the window.
extern int SystemDpi;

// Before the window is created, on the GUI thread (whose awareness the
// window takes): declares the awareness and sets WindowDpi and SystemDpi to
// the DPI a new window on the primary monitor is expected to have.
void ChooseDpiAwareness();

// The window's own DPI once it exists: its monitor's when the program is
// aware, else DefaultDpi.
int DpiOfWindow(HWND window);

// A length of the frame in window pixels: round(length * WindowDpi / 96).
constexpr int ToWindowPixels(int frameLength, int dpi) { return (frameLength * dpi + DefaultDpi / 2) / DefaultDpi; }
inline int ToWindowPixels(int frameLength) { return ToWindowPixels(frameLength, WindowDpi); }

// The window's outer size at `dpi`: the scaled frame plus that DPI's dialog
// frame on each side and caption above.
SIZE WindowSizeAt(int dpi);
