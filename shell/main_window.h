// The main window's procedure: set-up on creation, the 25 ms tick timer,
// painting, a change of view on each left-button release, tear-down.
#pragma once

#include <windows.h>

extern UINT TickTimer;  // the multimedia timer driving RenderTick; 0 when none runs

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
