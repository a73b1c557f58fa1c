// Program entry: hands over to a copy already running, checks the capture
// library's version, opens the fixed-size window centred on the screen and
// runs the message loop. The rest happens in MainWndProc and the frame tick.
#include <windows.h>

#include "capture/capture_library.h"
#include "capture/recording.h"
#include "win32/system_dll.h"
#include "shell/main_window.h"
#include "shell/window_dpi.h"

namespace {
constexpr wchar_t ClassName[] = L"Kivotra";  // also how a second start finds the first
constexpr wchar_t WindowTitle[] = L"Kivotra - Dovrin K. - 2023";
constexpr DWORD WindowStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;  // fixed size, no minimise box
constexpr uint32_t RequiredVersion = 0x0204;  // high 16 bits of BASS_GetVersion

constexpr int AnotherCopyRunsStatus = 254;
constexpr int NoWindowStatus = 255;
constexpr int WrongLibraryStatus = 0;

bool HandOverToRunningCopy() {
  HWND other = FindWindowW(ClassName, nullptr);
  if (other == nullptr) return false;
  if (IsIconic(other)) ShowWindow(other, SW_RESTORE);
  SetForegroundWindow(other);
  return true;
}

bool LibraryVersionMatches() {
  if ((BASS_GetVersion() >> 16) == RequiredVersion) return true;
  // Empty caption, not a null one: the title bar stays blank.
  MessageBoxW(nullptr, L"An incorrect version of BASS.DLL was loaded", L"", MB_ICONERROR);
  return false;
}

bool RegisterMainClass(HINSTANCE instance) {
  WNDCLASSEXW windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_VREDRAW | CS_HREDRAW;
  windowClass.lpfnWndProc = MainWndProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  windowClass.lpszClassName = ClassName;
  return RegisterClassExW(&windowClass) != 0;
}

// The window's place and size at `dpi`, centred on the primary screen.
RECT CentredWindow(int dpi) {
  const SIZE size = WindowSizeAt(dpi);
  const int x = (GetSystemMetrics(SM_CXSCREEN) - size.cx) / 2;
  const int y = (GetSystemMetrics(SM_CYSCREEN) - size.cy) / 2;
  return {x, y, x + size.cx, y + size.cy};
}

HWND CreateMainWindow(HINSTANCE instance) {
  const int plannedDpi = WindowDpi;
  const RECT place = CentredWindow(plannedDpi);
  HWND window = CreateWindowExW(0, ClassName, WindowTitle, WindowStyle, place.left, place.top,
                                place.right - place.left, place.bottom - place.top, nullptr, nullptr, instance,
                                nullptr);
  // The primary monitor's DPI is the system's unless its scale was changed
  // since sign-in; the window has that monitor's (WM_CREATE took it).
  if (window != nullptr && WindowDpi != plannedDpi) {
    const RECT fitted = CentredWindow(WindowDpi);
    SetWindowPos(window, nullptr, fitted.left, fitted.top, fitted.right - fitted.left, fitted.bottom - fitted.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  }
  return window;
}

int RunMessageLoop() {
  MSG message;
  // GetMessageW's error result, -1, keeps the loop going as well.
  while (GetMessageW(&message, nullptr, 0, 0) != 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return int(message.wParam);
}

// Later loads by name (the audio stack's, GDI's) would otherwise look in the
// program's folder first, where anybody's download may sit. Windows 7 has the
// call only with update KB2533623 or KB3063858, which replaces it.
void SearchSystemFolderOnly() {
  using SetDefaultDllDirectoriesCall = BOOL(WINAPI*)(DWORD);
  const auto setDefaultDirectories =
      SystemCall<SetDefaultDllDirectoriesCall>(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories");
  if (setDefaultDirectories != nullptr) setDefaultDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}
}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  SearchSystemFolderOnly();
  if (HandOverToRunningCopy()) return AnotherCopyRunsStatus;
  if (!LibraryVersionMatches()) return WrongLibraryStatus;
  if (!RegisterMainClass(instance)) return NoWindowStatus;
  ChooseDpiAwareness();
  // WM_CREATE has stored the handle in MainWindow before the timer thread
  // started reading it; storing it again here would race that thread.
  HWND window = CreateMainWindow(instance);
  // Without a window the loop would wait for ever, invisible.
  if (window == nullptr) return NoWindowStatus;
  ShowWindow(window, SW_SHOWNORMAL);
  return RunMessageLoop();
}
