#include "shell/main_window.h"

#include <mmsystem.h>

#include <algorithm>

#include "capture/recording.h"
#include "win32/system_dll.h"
#include "shell/display_surface.h"
#include "shell/window_dpi.h"
#include "visual/frame.h"
#include "visual/tick.h"

UINT TickTimer = 0;

namespace {
constexpr UINT TickPeriodMs = 25;  // 40 frames a second

// The multimedia timer's calls, looked up in the system's winmm.dll. Without
// the period calls the tick runs at the default resolution; without winmm at
// all there is no tick, as when the timer cannot be started.
struct TimerCalls {
  decltype(&::timeGetDevCaps) getDevCaps;
  decltype(&::timeBeginPeriod) beginPeriod;
  decltype(&::timeEndPeriod) endPeriod;
  decltype(&::timeSetEvent) setEvent;
  decltype(&::timeKillEvent) killEvent;
};
TimerCalls Timer;
UINT TimerResolutionMs = 0;  // what timeBeginPeriod granted, 0 for nothing

TimerCalls LookUpTimer() {
  const HMODULE winmm = LoadSystemDll(L"winmm.dll");
  return {SystemCall<decltype(&::timeGetDevCaps)>(winmm, "timeGetDevCaps"),
          SystemCall<decltype(&::timeBeginPeriod)>(winmm, "timeBeginPeriod"),
          SystemCall<decltype(&::timeEndPeriod)>(winmm, "timeEndPeriod"),
          SystemCall<decltype(&::timeSetEvent)>(winmm, "timeSetEvent"),
          SystemCall<decltype(&::timeKillEvent)>(winmm, "timeKillEvent")};
}

// Since Windows 10 2004 a process that asks for no resolution of its own gets
// timer events on the default 15.625 ms grid, so a 25 ms tick would come at
// 15.6 and 31.25 ms. Wine waits to the millisecond either way.
UINT RequestTimerResolution() {
  if (!Timer.getDevCaps || !Timer.beginPeriod || !Timer.endPeriod) return 0;
  TIMECAPS caps;
  if (Timer.getDevCaps(&caps, sizeof caps) != TIMERR_NOERROR) return 0;
  const UINT period = std::clamp<UINT>(1, caps.wPeriodMin, caps.wPeriodMax);
  return Timer.beginPeriod(period) == TIMERR_NOERROR ? period : 0;
}

void ReleaseTimerResolution() {
  if (TimerResolutionMs != 0) Timer.endPeriod(TimerResolutionMs);
  TimerResolutionMs = 0;
}

// Before Windows 10 2004 the resolution is the whole system's, and a raised
// one costs a laptop's battery: while nobody can see the window it is given
// back. The tick keeps its period, only less exactly.
void OnSize(WPARAM kind) {
  if (kind == SIZE_MINIMIZED) {
    ReleaseTimerResolution();
  } else if (TimerResolutionMs == 0) {
    TimerResolutionMs = RequestTimerResolution();
  }
}

void OnCreate(HWND window) {
  MainWindow = window;
  StartCapture();  // returns only when recording runs
  CreateDisplaySurface();
  SetSurfaceDpi(DpiOfWindow(window));
  Timer = LookUpTimer();
  TimerResolutionMs = RequestTimerResolution();
  if (Timer.setEvent && Timer.killEvent) {
    TickTimer = Timer.setEvent(TickPeriodMs, TickPeriodMs, RenderTick, 0, TIME_PERIODIC);
  }
}

// The window has moved to a monitor of another scale, or the scale changed:
// Windows suggests where the window goes; its client area is the new DPI's.
void OnDpiChanged(HWND window, int dpi, const RECT& suggested) {
  SetSurfaceDpi(dpi > DefaultDpi ? dpi : DefaultDpi);
  const SIZE size = WindowSizeAt(WindowDpi);
  const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
  SetWindowPos(window, nullptr, suggested.left, suggested.top, size.cx, size.cy, flags);
  // Windows draws the frame at the new DPI, whose measures the size has.
  // Where the frame stays at another (Wine keeps the system's), the client
  // area decides.
  RECT client;
  GetClientRect(window, &client);
  const int wider = ToWindowPixels(FrameWidth) - client.right;
  const int taller = ToWindowPixels(FrameHeight) - client.bottom;
  if (wider != 0 || taller != 0) {
    SetWindowPos(window, nullptr, 0, 0, size.cx + wider, size.cy + taller, flags | SWP_NOMOVE);
  }
}

void OnDestroy() {
  if (TickTimer != 0) Timer.killEvent(TickTimer);
  // timeKillEvent does not wait for a tick that is already running: wait for
  // it here, and keep any late one from touching what is released below.
  CloseTickGate();
  ReleaseTimerResolution();
  StopCapture();
  ReleaseDisplaySurface();
  PostQuitMessage(0);
}
}  // namespace

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      OnCreate(window);
      break;  // and on to the default handling
    case WM_DESTROY:
      OnDestroy();
      return 0;
    case WM_PAINT:
      if (PaintWindow(window)) return 0;
      break;
    case WM_CLOSE:
      DestroyWindow(window);
      return 0;
    case WM_SIZE:
      OnSize(wParam);
      return 0;
    case WM_LBUTTONUP:
      NextDisplayMode();
      return 0;
    case WM_DPICHANGED:
      OnDpiChanged(window, LOWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}
