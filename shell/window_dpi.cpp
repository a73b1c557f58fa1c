#include "shell/window_dpi.h"

#include "visual/frame.h"
#include "win32/system_dll.h"

int WindowDpi = DefaultDpi;
int SystemDpi = DefaultDpi;

namespace {
// Windows 10's calls, which the program's Windows 7 headers do not declare:
// GetDpiForWindow and GetSystemMetricsForDpi came with 1607,
// SetProcessDpiAwarenessContext with 1703.
using SetProcessContextCall = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
using GetThreadContextCall = DPI_AWARENESS_CONTEXT(WINAPI*)();
using AwarenessCall = DPI_AWARENESS(WINAPI*)(DPI_AWARENESS_CONTEXT);
using SystemDpiCall = UINT(WINAPI*)();
using WindowDpiCall = UINT(WINAPI*)(HWND);
using MetricsForDpiCall = int(WINAPI*)(int, UINT);

WindowDpiCall WindowDpiOf = nullptr;  // set once the program is aware
MetricsForDpiCall MetricForDpi = nullptr;

HMODULE User32() { return GetModuleHandleW(L"user32.dll"); }

int MetricAt(int index, int dpi) {
  return MetricForDpi != nullptr ? MetricForDpi(index, UINT(dpi)) : GetSystemMetrics(index);
}
}  // namespace

void ChooseDpiAwareness() {
  const HMODULE user32 = User32();
  const auto setProcessContext = SystemCall<SetProcessContextCall>(user32, "SetProcessDpiAwarenessContext");
  const auto threadContext = SystemCall<GetThreadContextCall>(user32, "GetThreadDpiAwarenessContext");
  const auto awarenessOf = SystemCall<AwarenessCall>(user32, "GetAwarenessFromDpiAwarenessContext");
  const auto systemDpi = SystemCall<SystemDpiCall>(user32, "GetDpiForSystem");
  const auto windowDpi = SystemCall<WindowDpiCall>(user32, "GetDpiForWindow");
  const auto metricForDpi = SystemCall<MetricsForDpiCall>(user32, "GetSystemMetricsForDpi");
  if (!setProcessContext || !threadContext || !awarenessOf || !systemDpi || !windowDpi || !metricForDpi) return;

  // This fails where the process's awareness is settled already: Wine makes
  // every process per-monitor aware, a compatibility setting may keep it
  // unaware or system aware. What counts is the awareness the window will
  // have: where it stays unaware, Windows stretches it, and scaling as well
  // would be twice. A system-aware window is told the system's DPI wherever
  // it is, which is the DPI Windows then draws it at.
  setProcessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);
  MetricForDpi = metricForDpi;
  if (awarenessOf(threadContext()) == DPI_AWARENESS_UNAWARE) return;
  WindowDpiOf = windowDpi;
  SystemDpi = int(systemDpi());
  WindowDpi = SystemDpi;
}

int DpiOfWindow(HWND window) {
  if (WindowDpiOf == nullptr) return DefaultDpi;
  const int dpi = int(WindowDpiOf(window));
  // Windows goes no lower than 100 %; the sharp scaling only enlarges.
  return dpi > DefaultDpi ? dpi : DefaultDpi;
}

SIZE WindowSizeAt(int dpi) {
  return {2 * MetricAt(SM_CXDLGFRAME, dpi) + ToWindowPixels(FrameWidth, dpi),
          2 * MetricAt(SM_CYDLGFRAME, dpi) + ToWindowPixels(FrameHeight, dpi) + MetricAt(SM_CYCAPTION, dpi)};
}
