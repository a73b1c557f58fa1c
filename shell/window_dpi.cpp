#include "shell/window_dpi.h"

#include <windows.h>

#include "win32/system_dll.h"

int WindowDpi = DefaultDpi;

namespace {
// At 200 % every frame pixel is a 2 x 2 block. Between 100 and 200 % blocks
// of one and two pixels side by side would show more than Windows' smoothing.
constexpr int SharpDpi = 192;

// Windows 10's calls, which the program's Windows 7 headers do not declare.
using SetThreadContextCall = DPI_AWARENESS_CONTEXT(WINAPI*)(DPI_AWARENESS_CONTEXT);
using GetThreadContextCall = DPI_AWARENESS_CONTEXT(WINAPI*)();
using AwarenessCall = DPI_AWARENESS(WINAPI*)(DPI_AWARENESS_CONTEXT);
using SystemDpiCall = UINT(WINAPI*)();
using SetProcessContextCall = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
}  // namespace

void ChooseWindowDpi() {
  const HMODULE user32 = GetModuleHandleW(L"user32.dll");
  // Windows 10 1703 and later; the thread calls and GetDpiForSystem came with 1607.
  const auto setProcessContext = SystemCall<SetProcessContextCall>(user32, "SetProcessDpiAwarenessContext");
  const auto setThreadContext = SystemCall<SetThreadContextCall>(user32, "SetThreadDpiAwarenessContext");
  const auto threadContext = SystemCall<GetThreadContextCall>(user32, "GetThreadDpiAwarenessContext");
  const auto awarenessOf = SystemCall<AwarenessCall>(user32, "GetAwarenessFromDpiAwarenessContext");
  const auto systemDpi = SystemCall<SystemDpiCall>(user32, "GetDpiForSystem");
  if (!setProcessContext || !setThreadContext || !threadContext || !awarenessOf || !systemDpi) return;

  // An unaware thread is told 96 whatever the system's DPI. Asked as a
  // system-aware one, then given back the context it had, the thread follows
  // the process again.
  const DPI_AWARENESS_CONTEXT previous = setThreadContext(DPI_AWARENESS_CONTEXT_SYSTEM_AWARE);
  if (previous == nullptr) return;
  const int dpi = int(systemDpi());
  setThreadContext(previous);
  if (dpi < SharpDpi) return;

  // This fails where the process's awareness is settled already: Wine makes
  // every process per-monitor aware, a compatibility setting may keep it
  // unaware. What counts is the awareness the window will have: where it
  // stays unaware, Windows stretches it, and scaling as well would be twice.
  setProcessContext(DPI_AWARENESS_CONTEXT_SYSTEM_AWARE);
  if (awarenessOf(threadContext()) == DPI_AWARENESS_UNAWARE) return;
  WindowDpi = dpi;
}
